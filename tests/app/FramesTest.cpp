// What the window shows: a window sent only the parts of each frame that changed shows exactly
// the frame the game composed, through a whole session of screens; a menu at rest sends nothing;
// a frame is cleared whenever no opaque background covers it.
#include "app/GameFixture.h"
#include "app/InterfaceSprites.h"
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

TEST_F(GameTest, APartialWindowShowsEveryFrameOfASessionExactly) {
    TPartialWindow window(Game);
    // A key tapped as a player does: down for a tick, then up; those ticks are compared too.
    std::string step;
    auto tap = [&](int key) {
        Game.KeyDown(key);
        window.TickAndCompare(step + ", key down");
        Game.KeyUp(key);
        window.TickAndCompare(step + ", key up");
    };
    // Each step acts once, then runs its ticks, every one of them compared.
    struct Step {
        const char* Name;
        std::function<void()> Act;
        int Ticks;
    };
    const std::vector<Step> steps = {
        {"the intro", [] {}, 90},
        {"the menu at rest", [] {}, 10},
        {"pointing down the column",
         [&] {
             for (int i = 1; i <= 6; ++i)
                 Game.MouseMove(kColumnX, kButtonY[i]);
         },
         3},
        {"keys step the highlight", [&] { tap(vk::Up); }, 3},
        {"options", [&] { Game.Click(kColumnX, kButtonY[2]); }, 10},
        {"full screen on",
         [&] {
             Game.KeyDown(vk::Return, true);
             Game.KeyUp(vk::Return);
         },
         5},
        {"full screen off",
         [&] {
             Game.KeyDown(vk::F11);
             Game.KeyUp(vk::F11);
         },
         5},
        {"the high-score table", [&] { Game.Click(kColumnX, kButtonY[3]); }, 10},
        {"help", [&] { Game.Click(kColumnX, kButtonY[4]); }, 5},
        {"the next help page",
         [&] {
             tap(vk::Right);
             tap(vk::Right);
         },
         5},
        {"the exit question", [&] { Game.Click(kColumnX, kButtonY[6]); }, 10},
        {"no, stay", [&] { tap('N'); }, 5},
        {"the boats", [&] { Game.Click(kColumnX, kButtonY[1]); }, 5},
        {"a boat: the race", [&] { Game.Click(40, 200); }, 120},
        {"full throttle", [&] { Game.KeyDown(vk::Up); }, 150},
        {"steering", [&] { Game.KeyDown(vk::Left); }, 30},
        {"straight again", [&] { Game.KeyUp(vk::Left); }, 30},
        {"pause", [&] { tap('P'); }, 10},
        {"resume", [&] { tap('P'); }, 30},
        {"finish the race?", [&] { tap(vk::Escape); }, 10},
        {"yes",
         [&] {
             Game.KeyUp(vk::Up);
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
        for (int i = 0; i < s.Ticks && !HasFailure(); ++i)
            window.TickAndCompare(step);
        if (HasFailure())
            return;
    }
    EXPECT_GT(window.Presented(), 600) << "most ticks presented a frame";
    EXPECT_EQ(Game.Shell().GameScreen, gsHighScores) << "the session ran its course, back to the table";
}

// Once the intro is over nothing on the main menu moves: every tick still presents its frame,
// and the window is sent nothing until the pointer lights another button.
TEST_F(GameTest, TheMainMenuAtRestSendsNothing) {
    ASSERT_TRUE(Game.RunUntil([&] { return Game.Screen().MenuIntroPhase == 0; }, 1000));
    Game.Tick(2);
    const int presents = Game.PresentCount();
    for (int i = 0; i < 30; ++i) {
        Game.Tick();
        EXPECT_TRUE(Game.Platform().ChangedRects().empty()) << "tick " << i;
    }
    EXPECT_EQ(Game.PresentCount(), presents + 30);

    Game.MouseMove(kColumnX, kButtonY[4]);
    Game.Tick();
    const std::vector<TPresentRect>& changed = Game.Platform().ChangedRects();
    ASSERT_FALSE(changed.empty());
    int sent = 0;
    for (const TPresentRect& r : changed)
        sent += r.Width * r.Height;
    EXPECT_LT(sent, 800 * 600 / 4) << "a new highlight and its caption are a small part of the picture";
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
    const TPictureCollectionItem& picture = *Game.Form().ScrollBack()->Image;
    const TDirectDrawSurface& back = *picture.PatternSurface(0);
    int spotX = -1, spotY = -1;
    for (int y = 300; y < 600 && spotX < 0; y += 7)
        for (int x = 100; x < 500 && spotX < 0; x += 7)
            if (Game.Pixel(x, y) != 0 && Game.Pixel(x, y) == back.PixelAt(x, y)) {
                spotX = x;
                spotY = y;
            }
    ASSERT_GE(spotX, 0);

    auto* hider = new THider(&root, *Game.Form().ScrollBack());
    Game.Tick();
    EXPECT_EQ(Game.Pixel(spotX, spotY), 0) << "cleared to black where the background was";
    delete hider;
    Game.Form().ScrollBack()->Visible = true;
    Game.Tick();
    EXPECT_EQ(Game.Pixel(spotX, spotY), back.PixelAt(spotX, spotY));
}

} // namespace
