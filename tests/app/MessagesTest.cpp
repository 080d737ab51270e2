// The message overlays over a running race, through the headless game.
#include "app/Messages.h"
#include "app/GameFixture.h"
#include "context/GameText.h"
#include "context/InterfaceSprites.h"
#include "engine/platform/KeyCodes.h"
#include "race/Race.h"

#include <gtest/gtest.h>

#include <string>

namespace {
constexpr int kColumnX = 560;
constexpr int kStartButtonY = 120;

class MessagesTest : public GameTest {
  protected:
    // Start button, the first boat, the level banner gone: the race runs.
    void StartRace() {
        ASSERT_TRUE(Game.RunUntil([&] { return Game.Screen().MenuIntroPhase == 0; }, 1000));
        Game.Tick();
        Game.Click(kColumnX, kStartButtonY);
        ASSERT_EQ(Game.TickView().GameScreen, gsBoatSelect);
        Game.Tick();
        Game.Click(40, 200);
        ASSERT_EQ(Game.TickView().GameScreen, gsRace);
        ASSERT_TRUE(Game.RunUntil([&] { return Game.TickView().MessageMode == msgNone; }, 400));
    }
};
} // namespace

// The cursor sits at half the centred name's width right of the centre, to the fraction: an
// odd width must not be rounded down.
TEST_F(MessagesTest, NameCursorFollowsTheRightEndOfTheCentredName) {
    StartRace();
    Game.Form().Race().Score = 9999;
    Game.Messages().OpenMessage(msgEnterName);
    TCaptionSprite* cursor = Game.Messages().TextCursor;
    ASSERT_NE(cursor, nullptr);
    bool oddWidthSeen = false;
    for (const char* c : {"W", "i", "l", "m", "W", "i", "1"}) {
        Game.TypeText(c);
        Game.Tick();
        Game.Form().Text().SetTextFont(12);
        const int width = Game.Form().Text().TextWidth(Game.Shell().PlayerName);
        oddWidthSeen = oddWidthSeen || width % 2 != 0;
        EXPECT_DOUBLE_EQ(cursor->X, width / 2.0 + 400) << '"' << Game.Shell().PlayerName << '"';
    }
    EXPECT_TRUE(oddWidthSeen) << "no name of odd width was tried";
    Game.KeyDown(vk::Back);
    Game.KeyUp(vk::Back);
    Game.Tick();
    Game.Form().Text().SetTextFont(12);
    EXPECT_DOUBLE_EQ(cursor->X, Game.Form().Text().TextWidth(Game.Shell().PlayerName) / 2.0 + 400);
}
