// The race notices and the HUD read-outs as the game's own text path draws them (font slots,
// the font aliases, the canvas) onto the back surface: every word and mark must leave ink,
// and every text must fit the place it is drawn in.
#include "context/GameText.h"
#include "app/GameFixture.h"
#include "app/MForm.h"
#include "engine/display/GameDraw.h"
#include "engine/gfx/Canvas.h"
#include "engine/gfx/Draw.h"
#include "engine/gfx/Surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int kNoticeSlot = 13;
constexpr int kCentreX = 400;
// The water of the river on screen; notices are drawn over it.
constexpr int kRiverLeft = 177, kRiverRight = 609;

struct TBox {
    int Left = 0, Top = 0, Right = -1, Bottom = -1; // inclusive; empty when Right < Left
    bool Empty() const { return Right < Left; }
    int Width() const { return Empty() ? 0 : Right - Left + 1; }
};

// Words and the punctuation marks after them, each on its own: "again," gives "again" and ",".
std::vector<std::string> WordsAndMarks(const std::string& text) {
    std::vector<std::string> pieces;
    std::string word;
    auto flush = [&] {
        if (!word.empty())
            pieces.push_back(word);
        word.clear();
    };
    for (char c : text) {
        if (c == ' ') {
            flush();
        } else if (c == '.' || c == ',' || c == '!' || c == '?' || c == ':') {
            flush();
            pieces.emplace_back(1, c);
        } else {
            word += c;
        }
    }
    flush();
    return pieces;
}

class GameTextTest : public GameTest {
  protected:
    TDirectDrawSurface& Surface() {
        TDirectDrawSurface* surface = Game.Form().MDraw().Surface();
        EXPECT_NE(surface, nullptr);
        return *surface;
    }

    void Clear() { FillRect(Surface(), Bounds(0, 0, Surface().Width(), Surface().Height()), 0); }

    // Everything drawn on a cleared surface.
    TBox Ink() {
        TDirectDrawSurface& s = Surface();
        TBox box{s.Width(), s.Height(), -1, -1};
        for (int y = 0; y < s.Height(); ++y)
            for (int x = 0; x < s.Width(); ++x)
                if (s.PixelAt(x, y) != 0) {
                    box.Left = std::min(box.Left, x);
                    box.Right = std::max(box.Right, x);
                    box.Top = std::min(box.Top, y);
                    box.Bottom = std::max(box.Bottom, y);
                }
        return box;
    }

    TBox Draw(int slot, const std::string& text, int x, int y, bool centred = false) {
        Clear();
        Game.Form().Text().SetTextFont(slot);
        Game.Form().Text().DrawText(text, x, y, centred);
        return Ink();
    }

    void ExpectEveryPieceDraws(int slot, const std::string& text) {
        for (const std::string& piece : WordsAndMarks(text))
            EXPECT_GT(Draw(slot, piece, 100, 100).Width(), 0)
                << "\"" << piece << "\" of \"" << text << "\" in slot " << slot << " draws nothing";
    }
};

struct TNotice {
    const char* Text;
    int Y;
};
// Every text of the slot the notices use, at the heights they are drawn at.
const TNotice kNotices[] = {
    {"Level 1", 268},
    {"Level 99", 268},
    {"Pause", 268},
    {"Your time is over.", 249},
    {"Try again, please!", 307},
    {"Game over", 273},
};

TEST_F(GameTextTest, NoticesShowEveryWordAndMarkWithRealSpacesAndFitOverTheRiver) {
    for (const TNotice& n : kNotices) {
        SCOPED_TRACE(n.Text);
        ExpectEveryPieceDraws(kNoticeSlot, n.Text);

        // A word space as wide as text faces make it (a fifth to a third of the line height),
        // not a sliver between glyph cells.
        Game.Form().Text().SetTextFont(kNoticeSlot);
        const int lineHeight = Game.Form().MDraw().Surface()->Canvas().TextHeight(n.Text);
        const std::vector<std::string> pieces = WordsAndMarks(n.Text);
        for (size_t i = 0; i + 1 < pieces.size(); ++i) {
            const std::string pair = pieces[i] + " " + pieces[i + 1];
            if (std::string(n.Text).find(pair) == std::string::npos)
                continue; // a mark and its word, no space between them
            const int space = Game.Form().Text().TextWidth(pair) - Game.Form().Text().TextWidth(pieces[i]) -
                              Game.Form().Text().TextWidth(pieces[i + 1]);
            EXPECT_GE(space, lineHeight / 6)
                << "between \"" << pieces[i] << "\" and \"" << pieces[i + 1] << "\"";
        }

        const TBox box = Draw(kNoticeSlot, n.Text, kCentreX, n.Y, true);
        EXPECT_GE(box.Left, kRiverLeft);
        EXPECT_LE(box.Right, kRiverRight);
    }
    // The two lines of the time-over notice stay apart.
    const TBox first = Draw(kNoticeSlot, "Your time is over.", kCentreX, 249, true);
    const TBox second = Draw(kNoticeSlot, "Try again, please!", kCentreX, 307, true);
    EXPECT_LT(first.Bottom, second.Top);
}

// Notices are written straight over bright water: the letters carry a dark rim.
TEST_F(GameTextTest, NoticesHaveADarkRimAroundTheLetters) {
    Draw(kNoticeSlot, "Pause", kCentreX, 268, true);
    const uint16_t yellow = TGameFixture::Rgb565(255, 241, 0);
    int letters = 0, rim = 0;
    for (int y = 240; y < 340; ++y)
        for (int x = 250; x < 550; ++x) {
            const uint16_t p = Surface().PixelAt(x, y);
            letters += p == yellow;
            rim += p != 0 && p != yellow && (p >> 11) < 8; // dark: little red
        }
    EXPECT_GT(letters, 100);
    EXPECT_GT(rim, letters / 2);
}

// The read-outs draw every digit and the clock's colon.
TEST_F(GameTextTest, ReadOutsDrawEveryDigitAndTheColon) {
    for (int slot : {2, 4, 5, 6})
        ExpectEveryPieceDraws(slot, "0 1 2 3 4 5 6 7 8 9 :");
}

// Each read-out stays inside its window of the panel pictures, at the place the HUD draws it
// (right-aligned by DigitCount with a fixed step per digit).
TEST_F(GameTextTest, ReadOutsFitTheirWindows) {
    struct TCase {
        const char* What;
        int Slot;
        std::string Text;
        int X, Y;
        TBox Window;
    };
    auto at = [](int base, int step, int value) { return base - step * TGameText::DigitCount(value); };
    const TBox level{30, 75, 93, 108}, score{8, 166, 116, 197}, time{20, 256, 103, 291},
        lives{30, 346, 93, 381};
    const TBox power{767, 401, 793, 452}; // right of the power-up picture
    const TCase cases[] = {
        {"level 1", 5, "1", at(52, 5, 1), 80, level},
        {"level 88", 5, "88", at(52, 5, 88), 80, level},
        {"score 0", 2, "0", at(52, 4, 0), 172, score},
        {"score 88888", 2, "88888", at(52, 4, 88888), 172, score},
        {"minutes, tens", 4, "8", 28, 263, time},
        {"minutes, units", 4, "8", 43, 263, time},
        {"separator", 4, ":", 58, 261, time},
        {"seconds, tens", 4, "8", 64, 263, time},
        {"seconds, units", 4, "8", 79, 263, time},
        {"lives 3", 4, "3", at(52, 5, 3), 353, lives},
        {"power-up 8", 6, "8", at(771, 4, 8), 419, power},
        {"power-up 10", 6, "10", at(771, 4, 10), 419, power},
    };
    for (const TCase& c : cases) {
        const TBox ink = Draw(c.Slot, c.Text, c.X, c.Y);
        ASSERT_FALSE(ink.Empty()) << c.What;
        EXPECT_GE(ink.Left, c.Window.Left) << c.What;
        EXPECT_LE(ink.Right, c.Window.Right) << c.What;
        EXPECT_GE(ink.Top, c.Window.Top) << c.What;
        EXPECT_LE(ink.Bottom, c.Window.Bottom) << c.What;
    }
    // The clock's five texts do not run into each other.
    const int clockX[] = {28, 43, 58, 64, 79};
    for (int i = 0; i + 1 < 5; ++i) {
        const TBox left = Draw(4, i == 2 ? ":" : "8", clockX[i], i == 2 ? 261 : 263);
        const TBox right = Draw(4, i + 1 == 2 ? ":" : "8", clockX[i + 1], i + 1 == 2 ? 261 : 263);
        EXPECT_LT(left.Right, right.Left) << "clock texts " << i << " and " << i + 1;
    }
}

} // namespace
