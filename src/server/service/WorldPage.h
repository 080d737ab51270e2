#pragma once

#include "server/service/Period.h"
#include "server/store/ScoreStore.h"

#include <cstdint>
#include <optional>
#include <string>

// What one world-list page shows.
struct TWorldPageView {
    TPeriod Period = TPeriod::All;
    std::int64_t Page = 1; // from 1
    int PageSize = 100;
    TScorePage Scores;
    // A search by name: the entries found (Scores.Entries) instead of a page of the list.
    std::optional<std::string> Search;
    // "Where am I": the place this score would take, marked on its page.
    std::optional<std::int32_t> Score;
    std::int64_t ScoreRank = 0;
    // Only entries a replay has verified, ranked among themselves.
    bool Verified = false;
    // Whether the page offers the choice (not when the server lists verified results only).
    bool VerifiedChoice = true;
};

// A whole number with thousands separators: 1,234,567.
std::string GroupedDigits(std::int64_t n);

// The world high-score page: a self-contained HTML document in the game's colours, with the
// game's icon inside it, readable on a phone, without scripts and without anything loaded
// from elsewhere. Every text from a player is escaped.
class TWorldPage {
  public:
    TWorldPage();
    std::string Render(const TWorldPageView& view) const;

    // The address of a page, relative to the page itself.
    static std::string Link(TPeriod period, std::int64_t page, bool verified = false);

  private:
    std::string m_head; // up to and including the header band
    std::string m_inlineIcon;
};
