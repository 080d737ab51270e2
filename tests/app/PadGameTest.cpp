// A controller with a known mapping in the whole game: what its buttons stand for on each screen,
// and a virtual pad that plays through the menus and a race.
#include "app/GameFixture.h"
#include "app/MForm.h"
#include "app/PadControls.h"
#include "app/RaceReplays.h"
#include "app/ReplayVerify.h"
#include "context/GameText.h"
#include "context/ScreenState.h"
#include "engine/input/GameInput.h"
#include "engine/platform/KeyCodes.h"
#include "race/Race.h"
#include "replay/ReplayGame.h"

#include <gtest/gtest.h>

namespace {

constexpr int kNone = TGamePad::kNoState;
constexpr int kP = InputButton(4);
constexpr int kEsc = InputButton(5);
constexpr int kYes = InputButton(6);
constexpr int kNo = InputButton(7);
constexpr int kFire = InputButton(8);

TEST(PadControls, EachButtonStandsForWhatTheKeyboardUsesWhereTheGameIs) {
    struct Case {
        const char* where;
        TGameScreen screen;
        TMessageMode mode;
        int aState, bState;
        int aKey, bKey;
    };
    const Case cases[] = {
        {"racing", gsRace, msgNone, kFire, kEsc, 0, 0},
        {"finish race?", gsRace, msgFinishRace, kYes, kNo, 0, 0},
        {"send the result?", gsRace, msgSendResult, kYes, kNo, 0, 0},
        {"pause", gsRace, msgPause, kNone, kEsc, vk::Return, 0},
        {"level banner", gsRace, msgLevel, kNone, kEsc, vk::Return, 0},
        {"name entry", gsRace, msgEnterName, kNone, kEsc, vk::Return, 0},
        {"main menu", gsMainMenu, msgNone, kNone, kNone, vk::Return, vk::Escape},
        {"boat choice", gsBoatSelect, msgNone, kNone, kNone, vk::Return, vk::Escape},
        {"options", gsOptions, msgNone, kNone, kNone, vk::Return, vk::Escape},
        {"exit the game?", gsMainMenu, msgExitGame, kYes, kNo, 0, 0},
        {"clear the table?", gsHighScores, msgClearTable, kYes, kNo, 0, 0},
    };
    for (const Case& c : cases) {
        TTickView view;
        view.GameScreen = c.screen;
        view.MessageMode = c.mode;
        const auto binds = PadBinds(view);
        EXPECT_EQ(binds[pbA], c.aState) << c.where;
        EXPECT_EQ(binds[pbB], c.bState) << c.where;
        EXPECT_EQ(binds[pbStart], kP) << c.where;
        EXPECT_EQ(PadKey(pbA, view), c.aKey) << c.where;
        EXPECT_EQ(PadKey(pbB, view), c.bKey) << c.where;
        // A button is never both a held state and a key press: it would act twice.
        for (int b = 0; b < kPadButtonCount; ++b) {
            EXPECT_FALSE(binds[static_cast<size_t>(b)] != kNone &&
                         PadKey(static_cast<TPadButton>(b), view) != 0)
                << c.where << ", button " << b;
        }
        EXPECT_EQ(binds[pbX], kNone) << c.where;
        EXPECT_EQ(binds[pbDpadUp], kNone) << "directions come from the pad itself";
    }
}

TEST(PadControls, TheNoticeNamesTheDeviceInWhatTheFontsDraw) {
    EXPECT_EQ(PadNotice(true, "Virtual Pad"), "Connected: Virtual Pad");
    EXPECT_EQ(PadNotice(false, "Virtual Pad"), "Removed: Virtual Pad");
    EXPECT_EQ(PadNotice(true, ""), "Connected: Controller");
    EXPECT_EQ(PadNotice(true, "Pad\n\x01\tOne"), "Connected: PadOne");
    EXPECT_EQ(PadNotice(true, "Caf\xC3\xA9 Pad"), "Connected: Caf\xE9 Pad");
    EXPECT_EQ(PadNotice(true, std::string(100, 'x')), "Connected: " + std::string(32, 'x') + "...");
    // Shortened further until it fits.
    auto fitsIn = [](size_t n) { return [n](const std::string& line) { return line.size() <= n; }; };
    EXPECT_EQ(PadNotice(false, "Very Long Pad Name", fitsIn(20)), "Removed: Very Lon...");
    EXPECT_EQ(PadNotice(false, "Pad", fitsIn(12)), "Removed: Pad");
}

class PadGameTest : public GameTest {
  protected:
    void Press(TPadButton button) {
        Game.Platform().SetPadButton(button, true);
        Game.Tick();
    }
    void Release(TPadButton button) {
        Game.Platform().SetPadButton(button, false);
        Game.Tick();
    }
    void Tap(TPadButton button) {
        Press(button);
        Release(button);
    }
    bool Shows(TGameScreen screen) { return Game.TickView().GameScreen == screen; }
};

TEST_F(PadGameTest, APadThatComesAndGoesIsToldOfWithItsName) {
    Game.Platform().PlugPad("Virtual Pad");
    Game.Pump();
    EXPECT_EQ(Game.Form().ShortNotice(), "Connected: Virtual Pad");
    Game.Tick(200); // three seconds
    EXPECT_EQ(Game.Form().ShortNotice(), "");
    Game.Platform().UnplugPad();
    Game.Pump();
    EXPECT_EQ(Game.Form().ShortNotice(), "Removed: Virtual Pad");
    // The longest name a notice shows fits across the picture, in the notices' font.
    Game.Platform().PlugPad(std::string(100, 'W'));
    Game.Pump();
    TGameText& text = Game.Form().Text();
    text.SetTextFont(TMForm::kShortNoticeFont);
    EXPECT_LE(text.TextWidth(Game.Form().ShortNotice()), kScreenWidth - 20);
    Game.Platform().UnplugPad();

    // A pad plugged in again works again, without a restart.
    Game.Platform().PlugPad("Virtual Pad");
    Game.Tick();
    Game.Platform().SetPadButton(pbDpadDown, true);
    Game.Tick();
    EXPECT_TRUE(Game.Form().MInput().IsOn(isDown));
}

TEST_F(PadGameTest, APadPlaysThroughTheMenusAndARaceAndTheRaceReplays) {
    Game.Platform().PlugPad("Virtual Pad");
    ASSERT_TRUE(Game.RunUntil([&] { return Shows(gsMainMenu) && Game.Screen().MenuIntroPhase == 0; }, 1000));
    Game.Tick();
    ASSERT_EQ(Game.Screen().ActiveButton, 1);

    // The d-pad and the stick step the highlight as the arrow keys do; B on the main menu does nothing.
    Tap(pbDpadDown);
    EXPECT_EQ(Game.Screen().ActiveButton, 2);
    Game.Platform().SetPadAxis(paLeftY, -32768);
    Game.Tick();
    Game.Platform().SetPadAxis(paLeftY, 0);
    Game.Tick();
    EXPECT_EQ(Game.Screen().ActiveButton, 1);
    Tap(pbB);
    EXPECT_TRUE(Shows(gsMainMenu));

    // A: the boat choice, where right picks the next boat and B goes back.
    Tap(pbA);
    ASSERT_TRUE(Shows(gsBoatSelect));
    Tap(pbB);
    ASSERT_TRUE(Shows(gsMainMenu));
    Game.Tick();
    Tap(pbA);
    ASSERT_TRUE(Shows(gsBoatSelect));
    const int first = Game.Screen().ActiveButton;
    Tap(pbDpadRight);
    const int chosen = Game.Screen().ActiveButton;
    EXPECT_NE(chosen, first);
    Tap(pbA);
    ASSERT_TRUE(Shows(gsRace));
    ASSERT_TRUE(Game.RunUntil([&] { return Game.TickView().MessageMode == msgNone; }, 300));

    // Throttle with the stick, steer with the d-pad, fire with A.
    Game.Platform().SetPadAxis(paLeftY, -30000);
    Game.Platform().SetPadButton(pbDpadLeft, true);
    Press(pbA);
    const TGameInput& input = Game.Form().MInput();
    EXPECT_TRUE(input.IsOn(isUp));
    EXPECT_TRUE(input.IsOn(isLeft));
    EXPECT_TRUE(input.IsOn(kFire));
    Game.Tick(40);
    Release(pbA);
    Game.Platform().SetPadButton(pbDpadLeft, false);
    EXPECT_FALSE(input.IsOn(kFire));

    // Start pauses and resumes.
    Tap(pbStart);
    ASSERT_EQ(Game.TickView().MessageMode, msgPause);
    Tap(pbStart);
    ASSERT_EQ(Game.TickView().MessageMode, msgNone);
    // B asks "Finish race?"; held on, it does not answer it too.
    Press(pbB);
    ASSERT_EQ(Game.TickView().MessageMode, msgFinishRace);
    Game.Tick(10);
    ASSERT_EQ(Game.TickView().MessageMode, msgFinishRace);
    Release(pbB);
    // B again: no, the race goes on.
    Tap(pbB);
    ASSERT_EQ(Game.TickView().MessageMode, msgNone);
    ASSERT_TRUE(Shows(gsRace));
    Tap(pbB);
    ASSERT_EQ(Game.TickView().MessageMode, msgFinishRace);
    Game.Platform().SetPadAxis(paLeftY, 0);
    Tap(pbA); // yes
    ASSERT_TRUE(Game.RunUntil([&] { return !Shows(gsRace); }, 2000));
    EXPECT_EQ(Game.Form().Race().SelectedBoat, chosen - ScreenSlot::FirstBoat + 1);

    // The race came to the same input states as from the keys: its replay re-runs to its result.
    const TReplay& replay = Game.Form().Recorder().Replay();
    ASSERT_TRUE(replay.Claim);
    EXPECT_EQ(replay.Claim->End, TRaceEnd::Finished);
    const TReplayVerdict verdict = VerifyReplay(replay.Encode(), replay_test::Options(false));
    EXPECT_TRUE(verdict.Matches) << verdict.Mismatch;

    // Back to the main menu with B.
    ASSERT_TRUE(Game.RunUntil([&] { return Shows(gsHighScores); }, 2000));
    Game.Tick(100);
    Tap(pbB);
    EXPECT_TRUE(Shows(gsMainMenu));
}

} // namespace
