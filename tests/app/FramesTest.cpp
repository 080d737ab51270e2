// What the window shows: a window sent only the parts of each frame that changed shows exactly
// the frame the game composed, through a whole session of screens; leaving out frames that
// repeat the last one changes no picture; a menu at rest draws and sends nothing; a frame is
// cleared whenever no opaque background covers it.
#include "app/GameFixture.h"
#include "context/InterfaceSprites.h"
#include "engine/display/GameDraw.h"
#include "engine/gfx/ImageList.h"
#include "engine/platform/KeyCodes.h"
#include "engine/sprite/Sprite.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// The main-menu column at rest: X 556, buttons 1..6 from Y 114 down.
constexpr int kColumnX = 560;
constexpr int kButtonY[7] = {0, 120, 180, 243, 305, 367, 429};

// A window that is sent only the changed parts of every presented frame.
class TPartialWindow {
  public:
    explicit TPartialWindow(TGameFixture& game) : m_game(game), m_pixels(800 * 600, 0xDEAD) {}

    // One tick, then what the window would show against the frame the game composed. A tick
    // that presents nothing (the timer rests between screens) leaves the window as it was.
    void TickAndCompare(const std::string& step) {
        const int presents = m_game.PresentCount();
        m_game.Tick();
        const int presented = m_game.PresentCount() - presents;
        ASSERT_LE(presented, 1) << step << ": a tick presents one frame at most";
        const TDirectDrawSurface& composed = *m_game.Form().MDraw().Surface();
        if (presented == 1) {
            for (const TPresentRect& r : m_game.Platform().ChangedRects())
                for (int y = r.Y; y < r.Y + r.Height; ++y)
                    for (int x = r.X; x < r.X + r.Width; ++x)
                        m_pixels[static_cast<size_t>(y) * 800 + x] = composed.PixelAt(x, y);
        }
        int wrong = 0;
        int firstX = -1, firstY = -1;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const uint16_t shown = m_pixels[static_cast<size_t>(y) * 800 + x];
                if (shown != m_game.Pixel(x, y) || (presented == 1 && shown != composed.PixelAt(x, y))) {
                    if (wrong++ == 0) {
                        firstX = x;
                        firstY = y;
                    }
                }
            }
        EXPECT_EQ(wrong, 0) << step << ": first wrong pixel at " << firstX << "," << firstY;
        m_presented += presented;
    }
    int Presented() const { return m_presented; }

  private:
    TGameFixture& m_game;
    std::vector<uint16_t> m_pixels;
    int m_presented = 0;
};

// A session through the screens: the menu's intro and rest, pointing and keys, the options with
// the full-screen switch, the table, help pages, the exit question, the boats, a race driven,
// paused and given up, and the way back. Every tick is compared through a partial window; the
// pictures presented are returned tick by tick.
std::vector<std::vector<uint16_t>> PlaySession(TGameFixture& game) {
    std::vector<std::vector<uint16_t>> shown;
    TPartialWindow window(game);
    std::string step;
    auto tick = [&] {
        window.TickAndCompare(step);
        shown.push_back(game.Platform().Frame());
    };
    // A key tapped as a player does: down for a tick, then up.
    auto tap = [&](int key) {
        game.KeyDown(key);
        tick();
        game.KeyUp(key);
        tick();
    };
    struct Step {
        const char* Name;
        std::function<void()> Act; // once, then the ticks
        int Ticks;
    };
    const std::vector<Step> steps = {
        {"the intro", [] {}, 150},
        {"the menu at rest", [] {}, 30},
        {"pointing down the column",
         [&] {
             for (int i = 1; i <= 6; ++i)
                 game.MouseMove(kColumnX, kButtonY[i]);
         },
         3},
        {"keys step the highlight", [&] { tap(vk::Up); }, 3},
        {"options", [&] { game.Click(kColumnX, kButtonY[2]); }, 10},
        {"full screen on",
         [&] {
             game.KeyDown(vk::Return, true);
             game.KeyUp(vk::Return);
         },
         5},
        {"full screen off",
         [&] {
             game.KeyDown(vk::F11);
             game.KeyUp(vk::F11);
         },
         5},
        {"the high-score table", [&] { game.Click(kColumnX, kButtonY[3]); }, 10},
        {"help", [&] { game.Click(kColumnX, kButtonY[4]); }, 5},
        {"the next help pages",
         [&] {
             tap(vk::Right);
             tap(vk::Right);
         },
         5},
        {"the exit question", [&] { game.Click(kColumnX, kButtonY[6]); }, 10},
        {"no, stay", [&] { tap('N'); }, 5},
        {"the boats", [&] { game.Click(kColumnX, kButtonY[1]); }, 5},
        {"a boat: the race", [&] { game.Click(40, 200); }, 120},
        {"full throttle", [&] { game.KeyDown(vk::Up); }, 150},
        {"steering", [&] { game.KeyDown(vk::Left); }, 30},
        {"straight again", [&] { game.KeyUp(vk::Left); }, 30},
        {"pause", [&] { tap('P'); }, 10},
        {"resume", [&] { tap('P'); }, 30},
        {"finish the race?", [&] { tap(vk::Escape); }, 10},
        {"yes",
         [&] {
             game.KeyUp(vk::Up);
             tap('Y');
         },
         20},
        {"declining what follows",
         [&] {
             tap('N');
             tap('N');
         },
         200},
    };
    for (const Step& s : steps) {
        step = s.Name;
        s.Act();
        for (int i = 0; i < s.Ticks && !::testing::Test::HasFailure(); ++i)
            tick();
        if (::testing::Test::HasFailure())
            break;
    }
    EXPECT_GT(window.Presented(), 600) << "most ticks presented a frame";
    EXPECT_EQ(game.TickView().GameScreen, gsHighScores) << "the session ran its course, back to the table";
    return shown;
}

// The same session played twice, once drawing and sending every frame in full: the player sees
// the same pictures, tick for tick, either way.
TEST(Frames, LeavingOutRepeatedFramesChangesNoPicture) {
    if (!TGameFixture::DataAvailable())
        GTEST_SKIP() << "the generated data is missing";
    std::vector<std::vector<uint16_t>> full, reused;
    int leftOut = 0;
    {
        TGameFixture game;
        game.Start();
        game.Form().MDraw().ReuseFrames = false;
        full = PlaySession(game);
        EXPECT_EQ(game.Platform().UnchangedPresentCount(), 0);
    }
    ASSERT_FALSE(::testing::Test::HasFailure());
    {
        TGameFixture game;
        game.Start();
        reused = PlaySession(game);
        leftOut = game.Platform().UnchangedPresentCount();
    }
    ASSERT_EQ(reused.size(), full.size());
    for (size_t i = 0; i < full.size(); ++i)
        ASSERT_TRUE(reused[i] == full[i]) << "tick " << i + 1 << " shows another picture";
    EXPECT_GE(leftOut, 25) << "the menu at rest repeats its frames";
}

// Once the intro is over nothing on the main menu moves: every tick still presents its frame,
// and the window is sent nothing until the pointer lights another button.
TEST_F(GameTest, TheMainMenuAtRestSendsNothing) {
    ASSERT_TRUE(Game.RunUntil([&] { return Game.Screen().MenuIntroPhase == 0; }, 1000));
    Game.Tick(2);
    const int presents = Game.PresentCount();
    const int leftOut = Game.Platform().UnchangedPresentCount();
    for (int i = 0; i < 30; ++i) {
        Game.Tick();
        EXPECT_TRUE(Game.Platform().ChangedRects().empty()) << "tick " << i;
    }
    EXPECT_EQ(Game.PresentCount(), presents + 30);
    EXPECT_EQ(Game.Platform().UnchangedPresentCount(), leftOut + 30) << "nor is anything drawn";

    Game.MouseMove(kColumnX, kButtonY[4]);
    Game.Tick();
    const std::vector<TPresentRect>& changed = Game.Platform().ChangedRects();
    ASSERT_FALSE(changed.empty());
    int sent = 0;
    for (const TPresentRect& r : changed)
        sent += r.Width * r.Height;
    EXPECT_LT(sent, 800 * 600 / 2) << "a new highlight and its caption are a part of the picture";
}

// A sprite that hides another while the tree moves.
class THider : public TSprite {
  public:
    THider(TSprite* root, TSprite& victim) : TSprite(root), m_victim(victim) {}
    void Step(int) override { m_victim.Visible = false; }

  private:
    TSprite& m_victim;
};

TEST_F(GameTest, AFrameIsClearedWhenItsBackgroundGoesAwayDuringTheMove) {
    ASSERT_TRUE(Game.RunUntil([&] { return Game.Screen().MenuIntroPhase == 0; }, 1000));
    Game.Tick();
    TSpriteEngine& root = Game.Form().MSpriteEngine().Engine();
    ASSERT_TRUE(root.DrawCoversViewport()) << "the menu's background is opaque and covers the window";
    // A spot where the frame shows the background's own picture.
    const TPictureCollectionItem& picture = *Game.Form().ScrollBack().Image;
    const TDirectDrawSurface& back = *picture.PatternSurface(0);
    int spotX = -1, spotY = -1;
    for (int y = 300; y < 600 && spotX < 0; y += 7)
        for (int x = 100; x < 500 && spotX < 0; x += 7)
            if (Game.Pixel(x, y) != 0 && Game.Pixel(x, y) == back.PixelAt(x, y)) {
                spotX = x;
                spotY = y;
            }
    ASSERT_GE(spotX, 0);

    auto* hider = new THider(&root, Game.Form().ScrollBack());
    Game.Tick();
    EXPECT_EQ(Game.Pixel(spotX, spotY), 0) << "cleared to black where the background was";
    delete hider;
    Game.Form().ScrollBack().Visible = true;
    Game.Tick();
    EXPECT_EQ(Game.Pixel(spotX, spotY), back.PixelAt(spotX, spotY));
}

} // namespace
