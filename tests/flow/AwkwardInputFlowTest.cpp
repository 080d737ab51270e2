// Input that arrives at awkward moments of a race's end: keys still held when a question
// opens, the text of the key that answered, and requests made while the result is sent.
#include "context/GameState.h"
#include "engine/platform/KeyCodes.h"
#include "engine/platform/Platform.h"
#include "flow/FlowGame.h"
#include "flow/ScorePayload.h"
#include "menus/Menus.h"
#include "net/TestServer.h"
#include "race/Race.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {
constexpr int kMenuIntroTicks = 1000;
// Music and sound off; no table check, so the default table (500 is its tenth score).
const std::string kOptionsFile = "0\r\n0\r\n0\r\n_______\r\n\r\n";
constexpr int32_t kQualifyingScore = 4200;

class AwkwardInputFlowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TGameFixture::DataAvailable()) {
            GTEST_SKIP() << "the game data has not been generated under " << TGameFixture::GeneratedDataDir();
        }
        Game.Files().WriteSave("options", kOptionsFile);
    }

    TFlowGame Game;
};

// The server answers after a moment, so that what the player does meanwhile reaches the
// game while it waits.
TTestServer::THandler SlowHandler() {
    return [](TTestServer::TConn& conn) {
        if (conn.ReadRequest().empty()) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        conn.Send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK");
        conn.WaitForClose();
    };
}
} // namespace

// The tick can see the Y down in the key table before the form has handled the Y's
// key-down and its text (the desktop delivers the events a moment later). The answer opens
// the name entry in that tick; the late key-down and the "y" it types belong to the answer.
TEST_F(AwkwardInputFlowTest, TheAnsweringKeySeenBeforeItsEventsTypesNothing) {
    Game.Start("http://127.0.0.1:9");
    ASSERT_NO_FATAL_FAILURE(Game.StartRaceFromMenu());
    Game.Race().Score = kQualifyingScore;
    Game.TapKey(vk::Escape);
    ASSERT_EQ(Game.TickView().MessageMode, msgFinishRace);

    Game.Platform().SetKey('Y', true); // the key table only, no event yet
    Game.Tick();
    ASSERT_EQ(Game.TickView().MessageMode, msgEnterName);
    Game.Platform().PushKey('Y', true);
    Game.Platform().PushText("y", true);
    Game.Platform().SetKey('Y', false);
    Game.Platform().PushKey('Y', false);
    Game.Pump();
    Game.Tick();
    EXPECT_EQ(Game.Shell().PlayerName, "") << "the answering Y typed into the name";

    // Later presses of the same key type as usual.
    Game.TypeText("ACE");
    Game.KeyDown('Y');
    Game.Platform().PushText("y", true);
    Game.Pump();
    Game.KeyUp('Y');
    EXPECT_EQ(Game.Shell().PlayerName, "ACEy");
}

// Y held past the key-repeat delay after answering "Finish race?": its repeats type nothing into
// the name until it has been let go.
TEST_F(AwkwardInputFlowTest, TheAnsweringKeyHeldDownTypesNothingUntilLetGo) {
    Game.Start("http://127.0.0.1:9");
    ASSERT_NO_FATAL_FAILURE(Game.StartRaceFromMenu());
    Game.Race().Score = kQualifyingScore;
    Game.TapKey(vk::Escape);
    ASSERT_EQ(Game.TickView().MessageMode, msgFinishRace);
    Game.KeyDown('Y');
    Game.Platform().PushText("y", true);
    Game.Tick();
    ASSERT_EQ(Game.TickView().MessageMode, msgEnterName);
    for (int repeat = 0; repeat < 12; ++repeat) {
        Game.KeyDown('Y', false, true);
        Game.Platform().PushText("y", true);
        Game.Tick(2);
    }
    EXPECT_EQ(Game.Shell().PlayerName, "") << "the held Y typed its repeats";
    Game.KeyUp('Y');
    Game.TypeText("ACE");
    Game.KeyDown('Y');
    Game.Platform().PushText("y", true);
    Game.Pump();
    Game.KeyUp('Y');
    EXPECT_EQ(Game.Shell().PlayerName, "ACEy") << "a fresh press types";
}

// The close box while the name is being typed is not dropped: once the race's end is through,
// the exit question asks.
TEST_F(AwkwardInputFlowTest, ACloseDuringTheNameEntryIsAskedAfterwards) {
    Game.Start("http://127.0.0.1:9");
    ASSERT_NO_FATAL_FAILURE(Game.StartRaceFromMenu());
    Game.Race().Score = kQualifyingScore;
    Game.TapKey(vk::Escape);
    Game.TapKey('Y');
    ASSERT_EQ(Game.TickView().MessageMode, msgEnterName);
    Game.PushEvent(TPlatformEventKind::CloseRequest);
    Game.Tick(3);
    EXPECT_EQ(Game.TickView().MessageMode, msgEnterName) << "the close must not break into the name entry";
    Game.TypeText("Kim");
    Game.PressKey(vk::Return);
    ASSERT_EQ(Game.TickView().MessageMode, msgSendResult);
    Game.Tick();
    Game.TapKey('N');
    Game.Tick();
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu);
    EXPECT_EQ(Game.TickView().MessageMode, msgExitGame) << "the close request was dropped";
}

// The close box during the pause asks "Finish race?"; no goes back to the pause, not on racing.
TEST_F(AwkwardInputFlowTest, NoToFinishRaceAskedOverThePauseReturnsToThePause) {
    Game.Start("http://127.0.0.1:9");
    ASSERT_NO_FATAL_FAILURE(Game.StartRaceFromMenu());
    Game.TapKey('P');
    ASSERT_EQ(Game.TickView().MessageMode, msgPause);
    Game.PushEvent(TPlatformEventKind::CloseRequest);
    Game.Tick();
    ASSERT_EQ(Game.TickView().MessageMode, msgFinishRace);
    Game.TapKey('N');
    EXPECT_EQ(Game.TickView().MessageMode, msgPause);
    Game.TapKey(vk::Escape);
    EXPECT_EQ(Game.TickView().MessageMode, msgNone) << "the pause ends as usual";

    // Asked from the race itself, no resumes it as before.
    Game.TapKey(vk::Escape);
    ASSERT_EQ(Game.TickView().MessageMode, msgFinishRace);
    Game.TapKey('N');
    EXPECT_EQ(Game.TickView().MessageMode, msgNone);
    EXPECT_EQ(Game.TickView().GameScreen, gsRace);
}

// A racer holds an arrow when Esc opens "Finish race?": the held arrow must not step the
// highlight to yes, so the usual Enter resumes the race. A fresh press steps as usual.
class HeldArrowTest : public AwkwardInputFlowTest, public ::testing::WithParamInterface<int> {};

TEST_P(HeldArrowTest, AnArrowHeldWhenTheFinishQuestionOpensDoesNotStepIt) {
    const int arrow = GetParam();
    Game.Start("http://127.0.0.1:9");
    ASSERT_NO_FATAL_FAILURE(Game.StartRaceFromMenu());
    Game.KeyDown(vk::Up);
    Game.KeyDown(arrow);
    Game.Tick(5);
    Game.TapKey(vk::Escape);
    ASSERT_EQ(Game.TickView().MessageMode, msgFinishRace);
    Game.Tick(10);
    EXPECT_EQ(Game.Screen().ActiveButton, 2) << "the held arrow stepped the question";
    Game.KeyUp(arrow);
    Game.KeyUp(vk::Up);
    Game.Tick();
    EXPECT_EQ(Game.Screen().ActiveButton, 2);
    Game.PressKey(vk::Return);
    EXPECT_EQ(Game.TickView().MessageMode, msgNone) << "Enter on no resumes the race";
    EXPECT_EQ(Game.TickView().GameScreen, gsRace);

    // Stepping works again once the arrows were let go.
    Game.TapKey(vk::Escape);
    ASSERT_EQ(Game.TickView().MessageMode, msgFinishRace);
    Game.TapKey(arrow);
    EXPECT_EQ(Game.Screen().ActiveButton, 1);
}

INSTANTIATE_TEST_SUITE_P(Arrows, HeldArrowTest, ::testing::Values(vk::Left, vk::Right), [](const auto& info) {
    return std::string(info.param == vk::Left ? "Left" : "Right");
});

// The same for the menus' exit question: an arrow held on the menu does not step it.
TEST_F(AwkwardInputFlowTest, AnArrowHeldWhenTheExitQuestionOpensDoesNotStepIt) {
    Game.Start("http://127.0.0.1:9");
    ASSERT_TRUE(Game.RunUntil([&] { return Game.Screen().MenuIntroPhase == 0; }, kMenuIntroTicks));
    Game.Tick(2); // the menu arms its stepping
    Game.KeyDown(vk::Right);
    Game.PushEvent(TPlatformEventKind::CloseRequest);
    ASSERT_EQ(Game.TickView().MessageMode, msgExitGame);
    Game.Tick(10);
    EXPECT_EQ(Game.Screen().ActiveButton, 12);
    Game.KeyUp(vk::Right);
    Game.Tick();
    Game.TapKey(vk::Right);
    EXPECT_EQ(Game.Screen().ActiveButton, 11);
}

// A close request and Alt+Enter that arrive while the result is being sent are acted on
// once the request is over: the menu asks "Exit the game?" and the display switches.
TEST_F(AwkwardInputFlowTest, CloseAndFullScreenDuringSendingAreKeptForAfterwards) {
    TTestServer server(SlowHandler());
    Game.Start(server.Base());
    ASSERT_NO_FATAL_FAILURE(Game.StartRaceFromMenu());
    Game.Race().Score = kQualifyingScore;
    Game.TapKey(vk::Escape);
    Game.TapKey('Y');
    ASSERT_EQ(Game.TickView().MessageMode, msgEnterName);
    Game.TypeText("Kim");
    Game.PressKey(vk::Return);
    ASSERT_EQ(Game.TickView().MessageMode, msgSendResult);
    Game.Tick();
    const bool fullScreenBefore = Game.Shell().GameOptions.FullScreen;

    // Enter sends; what is queued behind it arrives while the request runs.
    Game.Platform().PushKey(vk::Return, true);
    Game.Platform().PushKey(vk::Return, false);
    TPlatformEvent close;
    close.Kind = TPlatformEventKind::CloseRequest;
    Game.Platform().Push(close);
    Game.Platform().PushKey(vk::Return, true, true);
    Game.Platform().PushKey(vk::Return, false);
    Game.Platform().PushClick(400, 300);
    Game.Pump();

    EXPECT_EQ(CountScoreRequests(server.Requests()), 1u);
    // The switch happens as soon as the request is over; the close waits for the outcome's notice.
    EXPECT_NE(Game.Shell().GameOptions.FullScreen, fullScreenBefore) << "Alt+Enter was lost";
    EXPECT_EQ(Game.Platform().IsFullScreen(), !fullScreenBefore);
    EXPECT_EQ(Game.TickView().MessageMode, msgSending);
    ASSERT_TRUE(Game.RunUntil([&] { return Game.TickView().MessageMode != msgSending; }, 400));
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu);
    EXPECT_EQ(Game.TickView().MessageMode, msgExitGame) << "the close request was lost";
    EXPECT_EQ(Game.Form().Menus().Table.Entry(3).EntryName, "Kim");
}
