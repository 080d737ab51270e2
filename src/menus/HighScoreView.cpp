#include "menus/HighScoreView.h"
#include "context/DataNames.h"

#include "context/Frame.h"
#include "context/GameContext.h"
#include "context/GameText.h"
#include "engine/display/GameImageList.h"
#include "engine/gfx/ImageList.h"
#include "menus/Menus.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kTableFont = 1;
constexpr char kEllipsis = '\x85'; // Windows-1252
// More characters than any column holds even in the narrowest letters: only these are measured.
constexpr size_t kLongestShown = 128;
} // namespace

void DrawTextInColumn(TGameText& text, std::string_view s, int centreX, int left, int right, int y) {
    const int room = right - left;
    std::string shown(s.substr(0, kLongestShown));
    if (s.size() > kLongestShown || text.TextWidth(shown) > room) {
        // The longest beginning that fits with the ellipsis, found in a few measurements however
        // long the text (a name from a hand-made file can be).
        size_t fits = 0, tooLong = shown.size();
        while (tooLong - fits > 1) {
            const size_t mid = fits + (tooLong - fits) / 2;
            if (text.TextWidth(shown.substr(0, mid) + kEllipsis) <= room)
                fits = mid;
            else
                tooLong = mid;
        }
        shown = shown.substr(0, fits) + kEllipsis;
    }
    const int width = text.TextWidth(shown);
    int x = static_cast<int>(std::trunc(centreX - width / 2.0));
    x = std::min(x, right - width);
    x = std::max(x, left);
    text.DrawText(shown, x, y, false);
}

void TMenus::DrawHighScoreTable() {
    using L = THighScoreLayout;
    // The medals belong to the rows: whatever hides the table's text (the clear question) hides
    // them too.
    if (TPictureCollectionItem* medals = m_context.MImageList().Items.TryFind(PictureName::Medals)) {
        for (int n = 1; n <= std::min(L::kMedals, medals->PatternCount()); ++n) {
            medals->Draw(m_context.Frame().Surface(), L::kMedalX, L::RowY(n) + L::kMedalDy, n - 1);
        }
    }
    TGameText& text = m_context.Text();
    text.SetTextFont(kTableFont);
    for (int n = 1; n <= THighScoreTable::kEntries; ++n) {
        const int y = L::RowY(n);
        const THighScore& e = Table.Entry(n);
        text.DrawText(std::to_string(n), L::kRankX, y, true);
        DrawTextInColumn(text, e.EntryName, L::kNameX, L::kNameLeft, L::kNameRight, y);
        DrawTextInColumn(text, std::to_string(e.EntryScore), L::kPointsX, L::kPointsLeft, L::kPointsRight, y);
    }
}
