#pragma once

#include <string>
#include <string_view>

class TGameText;

// Where the high-score table's texts go on its frame (the frame sits at (12, 106)): rank, name and
// points of each row, each kept inside its own column.
struct THighScoreLayout {
    static constexpr int kFirstRowY = 152;
    static constexpr int kRowStep = 32;
    // The centres the columns' texts are written on.
    static constexpr int kRankX = 62;
    static constexpr int kNameX = 214;
    static constexpr int kPointsX = 435;
    // The columns' inner edges, a few pixels clear of the medals, of the line between names and
    // points, and of the table's right border.
    static constexpr int kNameLeft = 84;
    static constexpr int kNameRight = 362;
    static constexpr int kPointsLeft = 374;
    static constexpr int kPointsRight = 532;
    // The medals of the first three rows, left of the rank.
    static constexpr int kMedalX = 30;
    static constexpr int kMedalDy = 4;
    static constexpr int kMedals = 3;

    static int RowY(int n) { return kFirstRowY - kRowStep + kRowStep * n; }
};

// Draws text centred on centreX where it fits between left and right; a text too wide for that is
// moved in just far enough, and one wider than the whole column is cut short with an ellipsis.
void DrawTextInColumn(TGameText& text, std::string_view s, int centreX, int left, int right, int y);
