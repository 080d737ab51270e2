// What the player sees of the questions, the options' text field, the high-score table and the
// race's speed dial, read back from the presented frames of the headless game.
#include "app/GameFixture.h"
#include "app/Messages.h"
#include "context/GameText.h"
#include "context/InterfaceSprites.h"
#include "context/ScreenState.h"
#include "engine/gfx/ImageList.h"
#include "engine/gfx/Surface.h"
#include "engine/platform/KeyCodes.h"
#include "menus/HighScoreView.h"
#include "menus/Menus.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"
#include "race/RaceHud.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

constexpr int kColumnX = 556; // the main menu's button column, icons first
constexpr int kStartButtonY = 120;

struct TRgb {
    int R, G, B;
};

TRgb Rgb(uint16_t p) {
    return {(p >> 11) * 255 / 31, ((p >> 5) & 63) * 255 / 63, (p & 31) * 255 / 31};
}

bool Near(uint16_t p, TRgb want, int tolerance = 24) {
    const TRgb c = Rgb(p);
    return std::abs(c.R - want.R) <= tolerance && std::abs(c.G - want.G) <= tolerance &&
           std::abs(c.B - want.B) <= tolerance;
}

int Brightness(uint16_t p) {
    const TRgb c = Rgb(p);
    return c.R + c.G + c.B;
}

// The columns of a button's pattern that are not its colour key, placed at the button's X.
std::pair<int, int> DrawnColumns(const TMenuButton& button) {
    const TDirectDrawSurface* pattern = button.Image->PatternSurface(static_cast<int>(button.FramePos));
    int left = pattern->Width(), right = -1;
    for (int y = 0; y < pattern->Height(); ++y)
        for (int x = 0; x < pattern->Width(); ++x)
            if (pattern->PixelAt(x, y) != pattern->ColorKey()) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return {static_cast<int>(button.X) + left, static_cast<int>(button.X) + right};
}

class PresentationTest : public GameTest {
  protected:
    // With SPRAYDASH_SHOTS_DIR set, the frame a test looks at is also written there (PPM), for a
    // person to look at.
    void SaveFrame(const std::string& name) {
        const char* dir = std::getenv("SPRAYDASH_SHOTS_DIR");
        if (dir == nullptr)
            return;
        std::ofstream out(std::string(dir) + "/" + name + ".ppm", std::ios::binary);
        out << "P6\n" << kScreenWidth << " " << kScreenHeight << "\n255\n";
        for (int y = 0; y < kScreenHeight; ++y)
            for (int x = 0; x < kScreenWidth; ++x) {
                const TRgb c = Rgb(Game.Pixel(x, y));
                out.put(static_cast<char>(c.R)).put(static_cast<char>(c.G)).put(static_cast<char>(c.B));
            }
    }
    void WaitForMenu() {
        ASSERT_TRUE(Game.RunUntil([&] { return Game.Screen().MenuIntroPhase == 0; }, 1000));
        Game.Tick();
    }
    void OpenHighScores() {
        WaitForMenu();
        Game.Menus().OpenHighScoreScreen();
        Game.Tick();
        ASSERT_EQ(Game.TickView().GameScreen, gsHighScores);
    }
    // Start button, the first boat, the level banner gone: the race runs.
    void StartRace() {
        WaitForMenu();
        Game.Click(kColumnX + 4, kStartButtonY);
        ASSERT_EQ(Game.TickView().GameScreen, gsBoatSelect);
        Game.Tick();
        Game.Click(40, 200);
        ASSERT_EQ(Game.TickView().GameScreen, gsRace);
        ASSERT_TRUE(Game.RunUntil([&] { return Game.TickView().MessageMode == msgNone; }, 400));
        Game.Tick();
    }
};

} // namespace

// The needle turns about the dial's centre, and the dial's rim is whole: it is met as far below
// the centre as above and to the right, and the panel shows again before the bottom edge.
TEST_F(PresentationTest, TheSpeedDialIsWholeAndCentredOnTheNeedle) {
    StartRace();
    const TRgb rim{10, 22, 48};
    auto rimDistance = [&](int dx, int dy) {
        for (int d = 1; d < 60; ++d) {
            const int x = kSpeedDialX + dx * d, y = kSpeedDialY + dy * d;
            if (y >= kScreenHeight)
                return -1;
            if (d > 20 && Near(Game.Pixel(x, y), rim, 16))
                return d;
        }
        return -1;
    };
    const int up = rimDistance(0, -1);
    const int down = rimDistance(0, 1);
    const int right = rimDistance(1, 0);
    ASSERT_GT(up, 0);
    EXPECT_NEAR(down, up, 1) << "the rim is not met below the centre before the bottom edge";
    EXPECT_NEAR(right, up, 1);
    // Past the rim's width the panel itself shows, still on the screen.
    int y = kSpeedDialY + up;
    while (y < kScreenHeight && Near(Game.Pixel(kSpeedDialX, y), rim, 16))
        ++y;
    EXPECT_LT(y, kScreenHeight - 1) << "the rim runs into the bottom edge";
}

// Ten of the widest letters the field takes, and the cursor after them, stay inside the field: just
// right of the cursor the field's own dark fill still shows.
TEST_F(PresentationTest, TheInfoFieldHoldsTenWideLettersAndTheCursor) {
    WaitForMenu();
    Game.Menus().OpenOptionsScreen();
    Game.Screen().ActiveButton = ScreenSlot::TextLine;
    Game.Tick();
    Game.Menus().StartTextEditing();
    Game.Shell().GameOptions.AddInfo = "WWWWWWWWWW";
    TCaptionSprite* cursor = Game.Menus().OptionsCursor;
    ASSERT_NE(cursor, nullptr);
    ASSERT_TRUE(
        Game.RunUntil([&] { return cursor->Visible && Game.TickView().GameScreen == gsOptions; }, 200));
    Game.Tick();
    ASSERT_TRUE(cursor->Visible);
    const TRgb field{6, 13, 31};
    const int right = static_cast<int>(cursor->X) + cursor->Width;
    const int y = static_cast<int>(cursor->Y) + 1;
    EXPECT_TRUE(Near(Game.Pixel(right + 3, y), field, 12)) << "cursor ends at " << right;
    EXPECT_TRUE(Near(Game.Pixel(right + 3, y - 12), field, 12)) << "beside the letters";
}

// However long the numbers and the names (a hand-made file can hold thousands of letters), every
// text stays inside its column: the line between names and points, and the table's right border,
// look exactly as they do with the default table.
TEST_F(PresentationTest, ExtremeScoresAndLongNamesStayInTheirColumns) {
    OpenHighScores();
    using L = THighScoreLayout;
    auto columns = [&] {
        std::string pixels;
        for (int n = 1; n <= THighScoreTable::kEntries; ++n)
            for (int y = L::RowY(n); y < L::RowY(n) + L::kRowStep - 4; ++y)
                for (int x : {365, 366, 367, 368, 369, 370, 371, 535, 536, 537, 538})
                    pixels += std::to_string(Game.Pixel(x, y)) + ",";
        return pixels;
    };
    const std::string plain = columns();
    const std::array<int32_t, THighScoreTable::kEntries> scores{
        2147483647, -2147483648, 999999999, -999999999, 1111111111, -1111111111, 0, 8, 88888888, -2000000000};
    for (int n = 1; n <= THighScoreTable::kEntries; ++n) {
        Game.Menus().Table.Entry(n).EntryScore = scores[static_cast<size_t>(n - 1)];
        Game.Menus().Table.Entry(n).EntryName = n % 2 ? "WWWWWWWWWW" : std::string(n == 2 ? 5000 : 40, 'M');
    }
    Game.Tick();
    EXPECT_EQ(columns(), plain);
    SaveFrame("highscores_extreme");
}

// The clear question hides the rows' medals with the rows: the first row beside its medal looks
// like the fifth (a plain row without one) only while the question is open.
TEST_F(PresentationTest, TheClearQuestionHidesTheMedalsWithTheNames) {
    OpenHighScores();
    using L = THighScoreLayout;
    auto medalPixels = [&](int n) {
        std::string pixels;
        for (int dy = 5; dy < 15; ++dy)
            for (int dx = 4; dx < 14; ++dx)
                pixels += std::to_string(Game.Pixel(L::kMedalX + dx, L::RowY(n) + L::kMedalDy + dy)) + ",";
        return pixels;
    };
    EXPECT_NE(medalPixels(1), medalPixels(5)) << "no medal on the first row";
    Game.Screen().ActiveButton = ScreenSlot::ClearTable;
    Game.Form().ButtonClick(false);
    ASSERT_EQ(Game.TickView().MessageMode, msgClearTable);
    Game.Tick();
    EXPECT_EQ(medalPixels(1), medalPixels(5));
}

// "Clear table" stands on the centre line of "World high scores" below it.
TEST_F(PresentationTest, TheTwoTableButtonsShareOneCentreLine) {
    OpenHighScores();
    const auto clear = DrawnColumns(*Game.Screen().ScreenSprites.Button(ScreenSlot::ClearTable));
    const auto world = DrawnColumns(*Game.Screen().ScreenSprites.Button(ScreenSlot::WorldTable));
    EXPECT_NEAR(clear.first + clear.second, world.first + world.second, 2);
}

// A question dims the menu behind it, leaves the main menu's column (its icons first) out of its
// window, and gives its lines room on both sides.
TEST_F(PresentationTest, AMenuQuestionDimsTheMenuAndKeepsOffTheButtonColumn) {
    WaitForMenu();
    const uint16_t behind = Game.Pixel(20, 580);
    const uint16_t column = Game.Pixel(kColumnX + 30, 140);
    Game.Form().OpenMessage(msgExitGame);
    Game.Tick();
    const TCaptionSprite* window = Game.Messages().OverlayWindow;
    ASSERT_NE(window, nullptr);
    EXPECT_LT(window->X + window->Width, kColumnX) << "the window covers the button column";
    EXPECT_LT(Brightness(Game.Pixel(20, 580)), Brightness(behind) * 3 / 4) << "not dimmed";
    EXPECT_LT(Brightness(Game.Pixel(kColumnX + 30, 140)), Brightness(column)) << "the column is not dimmed";
    for (int slot : {ScreenSlot::MenuYes, ScreenSlot::MenuNo}) {
        const TMenuButton* button = Game.Screen().ScreenSprites.Button(slot);
        ASSERT_NE(button, nullptr);
        EXPECT_GE(button->X, window->X);
        EXPECT_LE(button->X + button->Width, window->X + window->Width);
    }
}

// The questions of a race dim the river, keep the HUD as it is, and the longest lines of all the
// questions leave a margin each side inside the window.
TEST_F(PresentationTest, RaceQuestionsDimTheRiverAndLeaveRoomAroundTheirLines) {
    StartRace();
    const uint16_t water = Game.Pixel(200, 580);
    const uint16_t hud = Game.Pixel(60, 20);
    Game.Form().Race().Score = 12345;
    Game.Form().OpenMessage(msgEnterName);
    Game.Shell().PlayerName = "WWWWWWWWWW";
    Game.Tick();
    const TCaptionSprite* window = Game.Messages().OverlayWindow;
    ASSERT_NE(window, nullptr);
    EXPECT_LT(Brightness(Game.Pixel(200, 580)), Brightness(water) * 3 / 4) << "the river is not dimmed";
    EXPECT_EQ(Game.Pixel(60, 20), hud) << "the HUD changed";
    constexpr int kMargin = 24;
    struct TLine {
        int Font;
        const char* Text;
    };
    for (const TLine& line :
         {TLine{12, "Please, enter your name:"}, TLine{12, "WWWWWWWWWW"}, TLine{12, "Highscores page?"},
          TLine{10, "the High Score Table?"}, TLine{7, "Finish race?"}, TLine{7, "Exit the game?"}}) {
        Game.Form().Text().SetTextFont(line.Font);
        EXPECT_LE(Game.Form().Text().TextWidth(line.Text) + 2 * kMargin, window->Width) << line.Text;
    }
}

// The gun's shots are seen all the way: tracer rounds fly up the water far past the muzzle flash,
// where nothing of the gun showed before.
TEST_F(PresentationTest, AShotIsSeenAllTheWayUpTheRiver) {
    StartRace();
    TRace& race = Game.Form().Race();
    TMyCarSprite& boat = *race.PlayerBoat;
    race.Track().FreeAllWalls();
    boat.GainPowerUp(puGun);
    auto fiery = [&] {
        int n = 0;
        const int cx = static_cast<int>(boat.CentreX);
        for (int y = 10; y < static_cast<int>(boat.CentreY) - 70; ++y)
            for (int x = cx - 5; x <= cx + 5; ++x) {
                const TRgb c = Rgb(Game.Pixel(x, y));
                n += c.R > 220 && c.G > 120 && c.B < 140;
            }
        return n;
    };
    Game.Tick();
    EXPECT_EQ(fiery(), 0) << "something fiery on the water before the shot";
    Game.KeyDown(vk::Space);
    Game.Tick(3);
    ASSERT_TRUE(boat.ShotFired);
    EXPECT_FALSE(boat.ShotHit);
    EXPECT_GT(fiery(), 60);
    SaveFrame("race_shot");
    Game.KeyUp(vk::Space);
    Game.Tick(2);
    EXPECT_EQ(fiery(), 0) << "the tracer stays after the fire is let go";
}

// A jump casts the boat's shadow on the water, beside and below it, further off as it rises; the
// landing throws up foam around it, which settles again.
TEST_F(PresentationTest, AJumpCastsAShadowAndLandsInASplash) {
    StartRace();
    TRace& race = Game.Form().Race();
    TMyCarSprite& boat = *race.PlayerBoat;
    race.Track().FreeAllWalls();
    // Standing still, so the river under the boat stays the same from frame to frame.
    auto brightness = [&](int left, int right, int top, int bottom) {
        long sum = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                sum += Brightness(Game.Pixel(x, y));
        return sum / ((right - left) * (bottom - top));
    };
    // Beside the flying boat's right side, below the middle of it (the light comes from the top left).
    const int cx = static_cast<int>(boat.CentreX);
    const int cy = static_cast<int>(boat.CentreY);
    const int shadeLeft = cx + 25, shadeRight = cx + 33, shadeTop = cy, shadeBottom = cy + 30;
    // Foam counted round the hull: the near-white pixels outside the boat's own box.
    auto foam = [&] {
        int n = 0;
        for (int y = cy - 76; y < std::min(cy + 76, kScreenHeight); ++y)
            for (int x = cx - 56; x < cx + 56; ++x)
                if (std::abs(x - cx) > 19 || std::abs(y - cy) > 41)
                    n += Brightness(Game.Pixel(x, y)) > 3 * 225;
        return n;
    };
    const long open = brightness(shadeLeft, shadeRight, shadeTop, shadeBottom);
    const int calm = foam();
    SaveFrame("race_before_jump");
    boat.StartJump();
    ASSERT_TRUE(Game.RunUntil([&] { return boat.JumpMs <= kJumpMs / 2; }, 100));
    Game.Tick();
    ASSERT_TRUE(boat.Jumping);
    ASSERT_EQ(boat.Speed, 0);
    ASSERT_EQ(static_cast<int>(boat.CentreX), cx);
    EXPECT_LT(brightness(shadeLeft, shadeRight, shadeTop, shadeBottom), open * 4 / 5)
        << "no shadow beside the boat";
    SaveFrame("race_jump");

    ASSERT_TRUE(Game.RunUntil([&] { return !boat.Jumping; }, 100));
    Game.Tick();
    const int landing = foam();
    SaveFrame("race_landing");
    EXPECT_GT(landing, calm + 150) << "no foam thrown up round the boat when it lands";
    Game.Tick(40);
    EXPECT_LT(foam(), calm + 20) << "the foam does not settle";
}
