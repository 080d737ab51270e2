#include "menus/HighScoreView.h"

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
} // namespace

void DrawTextInColumn(TGameText& text, std::string_view s, int centreX, int left, int right, int y) {
    std::string shown(s);
    if (text.TextWidth(shown) > right - left) {
        while (!shown.empty() && text.TextWidth(shown + kEllipsis) > right - left) {
            shown.pop_back();
        }
        shown += kEllipsis;
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
    if (TPictureCollectionItem* medals = m_context.MImageList().Items.TryFind("Medals")) {
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
