// The end of a race through the whole game: "Finish race?" or game over, the name entry,
// the table, the send question, and the score request against a server on 127.0.0.1.
#include "app/EndOfRace.h"
#include "app/Messages.h"
#include "context/GameState.h"
#include "context/GameText.h"
#include "engine/platform/KeyCodes.h"
#include "engine/platform/Platform.h"
#include "flow/FlowGame.h"
#include "flow/ScorePayload.h"
#include "menus/Menus.h"
#include "net/TestServer.h"
#include "race/Race.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {
using namespace std::chrono_literals;

constexpr int kColumnX = 560;
constexpr int kStartButtonY = 120;
constexpr int kMenuTicks = 1000;
constexpr int kGameOverTicks = 400;
// The outcome of a request stands for at most 3 s.
constexpr int kOutcomeTicks = 400;
// Music and sound off, a free text with a space in it; no table check, so the default table.
const std::string kOptionsFile = "0\r\n0\r\n0\r\nLake crew\r\n\r\n";
const std::string kAddInfo = "Lake crew";
// The yellow of the notices' font.
constexpr int kYellowR = 255, kYellowG = 241, kYellowB = 0;
// How long the test server holds a request before answering: long enough for a tick to have
// come due many times over on the game's clock if the wait let one run.
constexpr auto kHoldRequest = 800ms;

// What the server saw while the game was blocked in the request.
struct TServerView {
    std::string Head;
    uint8_t ModeOnArrival = 0;
    int PresentsOnArrival = -1;
    int PresentsAfterHold = -1;
    uint8_t ModeAfterHold = 0;
    std::vector<uint16_t> Frame;
};

// A port on 127.0.0.1 where nothing listens: bound once, then closed again.
int ClosedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

class RaceEndFlowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TGameFixture::DataAvailable()) {
            GTEST_SKIP() << "the game data has not been generated under " << TGameFixture::GeneratedDataDir();
        }
        Game.Files().WriteSave("options", kOptionsFile);
    }

    // The server answers 200 after holding the request; meanwhile it looks at the blocked game.
    TTestServer::THandler ObservingHandler() {
        return [this](TTestServer::TConn& conn) {
            const std::string head = conn.ReadRequest();
            if (head.empty()) {
                return;
            }
            if (!head.starts_with("GET ")) {
                // The replay that follows the result, sent while the game goes on.
                conn.ReadBody(head);
                conn.Send("HTTP/1.1 202 Accepted\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}");
                return;
            }
            TServerView view;
            view.Head = head;
            // The game's thread sits in the request's wait: nothing it owns changes until the reply.
            view.ModeOnArrival = Game.TickView().MessageMode;
            view.PresentsOnArrival = Game.Platform().PresentCount();
            view.Frame = Game.Platform().Frame();
            std::this_thread::sleep_for(kHoldRequest);
            view.PresentsAfterHold = Game.Platform().PresentCount();
            view.ModeAfterHold = Game.TickView().MessageMode;
            {
                std::lock_guard lock(m_viewMutex);
                m_views.push_back(std::move(view));
            }
            conn.Send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\nConnection: "
                      "close\r\n\r\nOK");
            conn.WaitForClose();
        };
    }

    std::vector<TServerView> Views() {
        std::lock_guard lock(m_viewMutex);
        return m_views;
    }

    // A race from the menu, its score set, ended by "Finish race?" answered with Y.
    void FinishRaceWithScore(int32_t score) {
        ASSERT_NO_FATAL_FAILURE(Game.StartRaceFromMenu());
        Game.Race().Score = score;
        Game.TapKey(vk::Escape);
        ASSERT_EQ(Game.TickView().MessageMode, msgFinishRace);
        EXPECT_EQ(Game.Screen().ActiveButton, 2) << "the finish question opens with no highlighted";
        const std::string nameBefore = Game.Shell().PlayerName;
        Game.TapKey('Y');
        ASSERT_EQ(Game.TickView().MessageMode, msgEnterName);
        ASSERT_EQ(Game.TickView().GameScreen, gsRace);
        // The Y that answered types a "y" too, which the desktop may deliver only now.
        Game.Platform().PushText("y", true);
        Game.Pump();
        ASSERT_EQ(Game.Shell().PlayerName, nameBefore) << "the answering key typed into the name";
    }

    // Enter commits the typed name: the send question opens, drawn once, yes highlighted.
    void CommitName() {
        Game.PressKey(vk::Return);
        ASSERT_EQ(Game.TickView().MessageMode, msgSendResult);
        Game.Tick();
        ASSERT_EQ(Game.TickView().MessageMode, msgSendResult);
        ASSERT_EQ(Game.Screen().ActiveButton, 1);
    }

    // After the request: how it went stands in the window for a moment, then the menu follows.
    void ExpectOutcome(bool sent, const std::string& reason = "") {
        ASSERT_EQ(Game.TickView().MessageMode, msgSending);
        const auto& outcome = Game.Messages().Sending().Outcome();
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(outcome->Sent(), sent);
        EXPECT_EQ(outcome->Reason, reason);
        Game.Tick(10);
        EXPECT_EQ(Game.TickView().MessageMode, msgSending) << "the outcome must stay long enough to be read";
        EXPECT_TRUE(Game.RunUntil([&] { return Game.TickView().MessageMode != msgSending; }, kOutcomeTicks));
    }

    // After the send question: the menu is rebuilt and its intro ends on the high-score screen.
    void ExpectBackToHighScores() {
        EXPECT_EQ(Game.TickView().MessageMode, msgNone);
        ASSERT_EQ(Game.TickView().GameScreen, gsMainMenu);
        EXPECT_EQ(Game.Screen().MenuFollowUp, 3);
        EXPECT_EQ(Game.Screen().MenuIntroPhase, 1);
        EXPECT_TRUE(Game.RunUntil([&] { return Game.TickView().GameScreen == gsHighScores; }, kMenuTicks));
        EXPECT_TRUE(Game.Platform().FatalErrors().empty());
    }

    TFlowGame Game;

  private:
    std::mutex m_viewMutex;
    std::vector<TServerView> m_views;
};

TEST_F(RaceEndFlowTest, FinishedRaceEntersTheTableAndSendsTheResult) {
    TTestServer server(ObservingHandler());
    Game.Start(server.Base());
    ASSERT_EQ(Game.Shell().GameOptions.AddInfo, kAddInfo);
    ASSERT_NO_FATAL_FAILURE(FinishRaceWithScore(4200));

    // The first entry of a run starts empty; editing happens at the end of the name.
    EXPECT_EQ(Game.Shell().PlayerName, "");
    Game.TypeText("Jo");
    Game.PressKey(vk::Back);
    EXPECT_EQ(Game.Shell().PlayerName, "J");
    Game.TypeText("o\xC3\xAB|=Ray"); // "ë" arrives as UTF-8 and is kept as one byte
    Game.TypeText("ch");
    Game.TypeText("X");
    const std::string name = "Jo\xEB|=Raych";
    ASSERT_EQ(Game.Shell().PlayerName, name) << "ten characters; the eleventh is ignored";
    Game.Tick(3);
    EXPECT_EQ(Game.TickView().MessageMode, msgEnterName);

    ASSERT_NO_FATAL_FAILURE(CommitName());
    const THighScoreTable& table = Game.Form().Menus().Table;
    EXPECT_EQ(table.Entry(2).EntryScore, 4500);
    EXPECT_EQ(table.Entry(3).EntryName, name);
    EXPECT_EQ(table.Entry(3).EntryScore, 4200);
    EXPECT_EQ(table.Entry(4).EntryScore, 4000);
    EXPECT_EQ(table.Entry(11).EntryScore, 500) << "the old tenth entry drops into the spare";

    // The extent the "Sending..." line must have, measured in its own font.
    Game.Form().Text().SetTextFont(7);
    const int sendingWidth = Game.Form().Text().TextWidth("Sending...");
    ASSERT_GT(sendingWidth, 50);

    const int presentsBefore = Game.Platform().PresentCount();
    const uint32_t clockBefore = Game.Platform().Ticks();
    Game.KeyDown('Y');
    Game.Tick(); // the Y edge: the request runs inside this tick
    Game.KeyUp('Y');

    ASSERT_EQ(CountScoreRequests(server.Requests()), 1u);
    const auto views = Views();
    ASSERT_EQ(views.size(), 1u);
    const TServerView& view = views[0];

    // Exactly the request the score server expects.
    const std::string target = RequestTarget(view.Head);
    const auto symbols = ScoreSymbolsOfTarget(target);
    ASSERT_TRUE(symbols) << target;
    EXPECT_EQ(symbols->size() % 8, 0u);
    const auto payload = DecodeScoreText(*symbols);
    ASSERT_TRUE(payload) << *symbols;
    EXPECT_EQ(*payload, "type=0|name=Jo\xEB|=Raych|score=4200|key=Q|p=|add=Lake crew|z=0");
    EXPECT_NE(view.Head.find("\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n"),
              std::string::npos)
        << view.Head;

    // While it ran: the "Sending..." frame was shown and kept painting, and no tick ran.
    EXPECT_EQ(view.ModeOnArrival, msgSending);
    EXPECT_EQ(view.ModeAfterHold, msgSending);
    EXPECT_GT(view.PresentsOnArrival, presentsBefore);
    EXPECT_GT(view.PresentsAfterHold, view.PresentsOnArrival) << "the window stood still during the wait";
    EXPECT_GT(Game.Platform().Ticks() - clockBefore, 2u * TGameFixture::kTickMs)
        << "the wait kept the window's loop going while ticks came due";

    // The yellow text in the window's middle band spans "Sending..." centred on x 400, and no more.
    const uint16_t yellow = TGameFixture::Rgb565(kYellowR, kYellowG, kYellowB);
    int minX = 800, maxX = -1;
    for (int y = 277; y < 277 + 40; ++y) {
        for (int x = 215; x < 585; ++x) {
            if (view.Frame[static_cast<size_t>(y) * 800 + x] == yellow) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
            }
        }
    }
    ASSERT_GE(maxX, 0) << "no yellow text pixel in the window";
    EXPECT_NEAR(minX, 400 - sendingWidth / 2, 4);
    // The measured width ends with the last dot's advance, a few pixels past its ink.
    EXPECT_LE(maxX, 400 + sendingWidth / 2 + 1);
    EXPECT_GE(maxX, 400 + sendingWidth / 2 - 10);

    ASSERT_NO_FATAL_FAILURE(ExpectOutcome(true));
    ExpectBackToHighScores();
    EXPECT_EQ(Game.Shell().PlayerName, name);
}

// Game over opens the entry too; a click commits; N sends nothing. The next race's entry
// starts from the last name, and Enter on the send question sends.
TEST_F(RaceEndFlowTest, GameOverThenASecondRaceStartsFromTheLastName) {
    TTestServer server(ObservingHandler());
    Game.Start(server.Base());
    ASSERT_NO_FATAL_FAILURE(Game.StartRaceFromMenu());
    Game.Race().Score = 5200;
    Game.Race().Lives = 1;
    Game.Race().TimeLeftMs = 0;
    ASSERT_TRUE(Game.RunUntil([&] { return Game.TickView().MessageMode == msgGameOver; }, 300));
    ASSERT_TRUE(Game.RunUntil([&] { return Game.TickView().MessageMode != msgGameOver; }, kGameOverTicks));
    ASSERT_EQ(Game.TickView().MessageMode, msgEnterName);
    EXPECT_EQ(Game.Race().Lives, 0);

    Game.TypeText("ACE");
    Game.Click(20, 580); // anywhere on the display
    ASSERT_EQ(Game.TickView().MessageMode, msgSendResult);
    Game.Tick();
    EXPECT_EQ(Game.Screen().ActiveButton, 1);
    EXPECT_EQ(Game.Form().Menus().Table.Entry(1).EntryName, "ACE");
    Game.TapKey('N');
    EXPECT_EQ(server.Accepted(), 0);
    ASSERT_NO_FATAL_FAILURE(ExpectBackToHighScores());

    Game.PressKey(vk::Escape);
    ASSERT_EQ(Game.TickView().GameScreen, gsMainMenu);
    Game.Tick();
    Game.Click(kColumnX, kStartButtonY);
    ASSERT_EQ(Game.TickView().GameScreen, gsBoatSelect);
    Game.Tick();
    Game.PressKey(vk::Return);
    ASSERT_EQ(Game.TickView().GameScreen, gsRace);
    ASSERT_TRUE(Game.RunUntil([&] { return Game.TickView().MessageMode == msgNone; }, 300));
    Game.Race().Score = 1234; // beats the tenth entry, now 1000
    Game.TapKey(vk::Escape);
    Game.TapKey('Y');
    ASSERT_EQ(Game.TickView().MessageMode, msgEnterName);
    EXPECT_EQ(Game.Shell().PlayerName, "ACE");
    Game.PressKey(vk::Back);
    Game.TypeText("e 2");
    ASSERT_NO_FATAL_FAILURE(CommitName());
    Game.PressKey(vk::Return); // Enter on the highlighted yes

    ASSERT_EQ(CountScoreRequests(server.Requests()), 1u);
    const auto views = Views();
    ASSERT_EQ(views.size(), 1u);
    const auto symbols = ScoreSymbolsOfTarget(RequestTarget(views[0].Head));
    ASSERT_TRUE(symbols);
    EXPECT_EQ(DecodeScoreText(*symbols), "type=0|name=ACe 2|score=1234|key=Q|p=|add=Lake crew|z=0");
    ASSERT_NO_FATAL_FAILURE(ExpectOutcome(true));
    ExpectBackToHighScores();
    const THighScoreTable& table = Game.Form().Menus().Table;
    EXPECT_EQ(table.Entry(1).EntryName, "ACE");
    EXPECT_EQ(table.Entry(10).EntryName, "ACe 2");
    EXPECT_EQ(table.Entry(10).EntryScore, 1234);
}

// A termination asked for while the request runs (a signal, the session ending) ends the game at
// once, without waiting for the server; the new entry is on disk already.
TEST_F(RaceEndFlowTest, TerminationDuringTheRequestEndsTheGameAtOnce) {
    TTestServer server([](TTestServer::TConn& conn) {
        if (!conn.ReadRequest().empty()) {
            conn.WaitForClose();
        }
    });
    Game.Start(server.Base());
    ASSERT_NO_FATAL_FAILURE(FinishRaceWithScore(4700));
    Game.TypeText("Ola");
    ASSERT_NO_FATAL_FAILURE(CommitName());
    EXPECT_NE(Game.Files().ReadSave("hs").find("Ola\r\n4700\r\n"), std::string::npos)
        << "the entry reaches the disk when it is made";

    // Enter is acted on as its event is handled, so the termination queued behind it
    // arrives while the request runs.
    Game.Platform().PushKey(vk::Return, true);
    TPlatformEvent terminate;
    terminate.Kind = TPlatformEventKind::Terminate;
    terminate.Signal = SIGTERM;
    Game.Platform().Push(terminate);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(Game.Form().PumpOnce(false));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s) << "the silent server held the game";

    EXPECT_TRUE(Game.Form().Terminated());
    Game.Form().FormDestroy();
    EXPECT_EQ(Game.Form().ExitCode(), 128 + SIGTERM);
    EXPECT_NE(Game.Files().ReadSave("hs").find("Ola\r\n4700\r\n"), std::string::npos);
}

// A failed request leaves the result in the local table, says in a few words why it was not sent,
// and goes on to the menu.
struct TDeadServerCase {
    const char* Name;
    bool Listening; // accepts and reads the request but never answers
    const char* Reason;
};

void PrintTo(const TDeadServerCase& c, std::ostream* os) {
    *os << c.Name;
}

class DeadServerTest : public RaceEndFlowTest, public ::testing::WithParamInterface<TDeadServerCase> {};

TEST_P(DeadServerTest, TheGameSaysWhyAndReturnsToTheMenu) {
    std::optional<TTestServer> server;
    std::string base = "http://127.0.0.1:" + std::to_string(ClosedPort());
    if (GetParam().Listening) {
        server.emplace([](TTestServer::TConn& conn) {
            if (!conn.ReadRequest().empty()) {
                conn.WaitForClose();
            }
        });
        base = server->Base();
    }
    Game.Start(base);
    ASSERT_NO_FATAL_FAILURE(FinishRaceWithScore(9000));
    Game.TypeText("Kim");
    ASSERT_NO_FATAL_FAILURE(CommitName());

    const uint32_t clockBefore = Game.Platform().Ticks();
    const auto started = std::chrono::steady_clock::now();
    Game.KeyDown('Y');
    Game.Tick();
    Game.KeyUp('Y');
    const auto took = std::chrono::steady_clock::now() - started;

    // The client's whole-request limit is 10 s; the connection's is 5 s.
    EXPECT_LT(took, 12s);
    if (server) {
        EXPECT_EQ(CountScoreRequests(server->Requests()), 1u);
        EXPECT_GT(took, 1s) << "the request should have waited for the silent server";
        // The window's loop ran all along: the wait advanced the game's clock step by step.
        EXPECT_GT(Game.Platform().Ticks() - clockBefore, 100u);
    }
    ASSERT_NO_FATAL_FAILURE(ExpectOutcome(false, GetParam().Reason));
    ExpectBackToHighScores();
    EXPECT_EQ(Game.Form().Menus().Table.Entry(1).EntryName, "Kim");
    EXPECT_EQ(Game.Form().Menus().Table.Entry(1).EntryScore, 9000);
}

INSTANTIATE_TEST_SUITE_P(
    Flow, DeadServerTest,
    ::testing::Values(TDeadServerCase{"NoServer", false, "the server could not be reached"},
                      TDeadServerCase{"NeverAnswers", true, "the server did not answer"}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
