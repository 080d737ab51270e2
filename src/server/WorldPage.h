#pragma once

#include "server/Period.h"
#include "server/ScoreStore.h"

#include <cstdint>
#include <string>

// What one world-list page shows.
struct TWorldPageView {
    TPeriod Period = TPeriod::All;
    std::int64_t Page = 1; // from 1
    int PageSize = 100;
    TScorePage Scores;
};

// The world high-score page: a self-contained HTML document in the game's colours, with the
// game's icon inside it, readable on a phone, without scripts and without anything loaded
// from elsewhere. Every text from a player is escaped.
class TWorldPage {
  public:
    TWorldPage();
    std::string Render(const TWorldPageView& view) const;

    // The address of a page, relative to the page itself.
    static std::string Link(TPeriod period, std::int64_t page);

  private:
    std::string m_head; // up to and including the header band
    std::string m_inlineIcon;
};
