// The overlays and the end of the race on a small context: the real menus, race and overlays,
// with the form's own requests written down instead of acted on.
#include "app/EndOfRace.h"
#include "app/Messages.h"
#include "app/Seat.h"

#include "context/InterfaceSprites.h"
#include "context/TestGameContext.h"
#include "menus/HighScores.h"
#include "menus/Menus.h"
#include "race/Race.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kData = SPRAYDASH_GENERATED_DATA_DIR;

using Requests = std::vector<std::string>;

// The form's side of the seat: what was asked of it, in order.
class TRecordedForm : public IFormRequests {
  public:
    bool RaceOver() override {
        Asked.emplace_back("RaceOver");
        return !PlayingReplay;
    }
    void NameEntered() override { Asked.emplace_back("NameEntered"); }
    const TReplay& RecordedRace() const override { return Replay; }
    void ExitGame() override { Asked.emplace_back("ExitGame"); }
    void ActOnRequestsHeldWhileBusy() override { Asked.emplace_back("ActOnRequestsHeldWhileBusy"); }
    void IgnoreTextOfKeysPressedSoFar() override { Asked.emplace_back("IgnoreTextOfKeysPressedSoFar"); }
    void PlayInputs(uint16_t) override {}
    void PlayEvent(const TReplayEvent&) override {}
    std::string GameVersion() const override { return "test"; }
    uint64_t RaceDataHash() override { return 0; }

    Requests Asked;
    bool PlayingReplay = false;
    TReplay Replay;
};

class OverlayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(kData / "Res" / "Res1.dxg") ||
            !std::filesystem::exists(kData / "Res" / "Res3.dxg")) {
            GTEST_SKIP() << "the pictures have not been generated under " << kData;
        }
        m_saveDir =
            std::filesystem::temp_directory_path() /
            ("spraydash-overlay-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_saveDir);
        std::filesystem::create_directories(m_saveDir / "Save");

        context = std::make_unique<TTestGameContext>(
            7, gsRace, "Land", [](TGameImageList& menu, TGameImageList& race) {
                menu.Items.LoadFromFile((kData / "Res" / "Res1.dxg").string());
                race.Items.LoadFromFile((kData / "Res" / "Res3.dxg").string());
            });
        context->MutableConfig().DataDir = m_saveDir.string();
        menus = std::make_unique<TMenus>(*context);
        race = std::make_unique<TRace>(*context);
        seat = std::make_unique<TSeat>(TSeat{*context, context->Platform(), *menus, *race, form});
        messages = std::make_unique<TMessages>(*seat, context->MutableTickView().MessageMode);
        // As the form does: overlays open through the game's overlays, clicks answer the open one.
        context->OnOpenMessage = [this](TMessageMode mode) { messages->OpenMessage(mode); };
        context->OnButtonClick = [this] { messages->AnswerMessage(); };
    }

    void TearDown() override {
        if (messages) {
            messages->CloseMessage();
        }
        if (race && race->SpritesBuilt()) {
            race->FreeRaceSprites();
        }
        messages.reset();
        seat.reset();
        race.reset();
        menus.reset();
        context.reset();
        std::filesystem::remove_all(m_saveDir);
    }

    // A race under way, its level banner gone.
    void StartRace() {
        race->SelectedBoat = 1;
        race->RaceSeed = 99;
        race->StartRace();
        ASSERT_EQ(Mode(), msgLevel);
        messages->CloseMessage();
        context->Requests.clear();
    }

    bool InTable(const std::string& name, int32_t score) const {
        for (int n = 1; n <= THighScoreTable::kEntries; ++n) {
            if (menus->Table.Entry(n).EntryName == name && menus->Table.Entry(n).EntryScore == score) {
                return true;
            }
        }
        return false;
    }

    TMessageMode Mode() { return context->TickView().MessageMode; }

    // One tick of the open overlay, with the given key edges.
    void Tick(bool pause = false, bool esc = false, bool yes = false, bool no = false) {
        TTickView& view = context->MutableTickView();
        view.PausePressed = pause;
        view.EscPressed = esc;
        view.YesPressed = yes;
        view.NoPressed = no;
        messages->DrawMessages(1);
        view.PausePressed = view.EscPressed = view.YesPressed = view.NoPressed = false;
    }

    // A click on a button of the open overlay.
    void Click(int slot) {
        context->Screen().ActiveButton = slot;
        messages->AnswerMessage();
    }

    std::unique_ptr<TTestGameContext> context;
    std::unique_ptr<TMenus> menus;
    std::unique_ptr<TRace> race;
    TRecordedForm form;
    std::unique_ptr<TSeat> seat;
    std::unique_ptr<TMessages> messages;

  private:
    std::filesystem::path m_saveDir;
};

TEST_F(OverlayTest, PauseEndsOnPOrEscAndNothingElse) {
    for (bool esc : {false, true}) {
        SCOPED_TRACE(esc ? "Esc" : "P");
        StartRace();
        messages->OpenMessage(msgPause);
        Tick(false, false, true, true);
        EXPECT_EQ(Mode(), msgPause) << "Y and N do not end the pause";
        Tick(!esc, esc);
        EXPECT_EQ(Mode(), msgNone);
        race->FreeRaceSprites();
    }
}

// "Finish race?": no goes back to where it was asked (the race, or the pause it was asked over);
// yes ends the race, which leads to the name entry only when the score enters the table and the
// race was not a replay being played.
TEST_F(OverlayTest, FinishRaceAnswers) {
    struct Case {
        const char* Name;
        bool OverPause;
        bool Yes;
        int32_t Score;
        bool PlayingReplay;
        TMessageMode After;
        Requests Asked;
    };
    const Case cases[] = {
        {"no over the race", false, false, 0, false, msgNone, {}},
        {"no over the pause", true, false, 0, false, msgPause, {}},
        {"yes, a score for the table",
         false,
         true,
         5000,
         false,
         msgEnterName,
         {"RaceOver", "IgnoreTextOfKeysPressedSoFar"}},
        {"yes, a replay being played", false, true, 5000, true, msgNone, {"RaceOver"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        StartRace();
        form.Asked.clear();
        form.PlayingReplay = c.PlayingReplay;
        if (c.OverPause) {
            messages->OpenMessage(msgPause);
        }
        messages->OpenMessage(msgFinishRace);
        ASSERT_EQ(Mode(), msgFinishRace);
        EXPECT_EQ(context->Screen().ActiveButton, ScreenSlot::RaceNo) << "no is highlighted";
        race->Score = c.Score;
        Click(c.Yes ? ScreenSlot::RaceYes : ScreenSlot::RaceNo);
        EXPECT_EQ(Mode(), c.After);
        EXPECT_EQ(form.Asked, c.Asked);
        messages->CloseMessage();
        if (race->SpritesBuilt()) {
            race->FreeRaceSprites();
        }
    }
}

TEST_F(OverlayTest, EscResumesFromFinishRaceLikeNo) {
    StartRace();
    messages->OpenMessage(msgPause);
    messages->OpenMessage(msgFinishRace);
    Tick(false, true);
    EXPECT_EQ(Mode(), msgPause);
    EXPECT_TRUE(form.Asked.empty());
}

// Game over stands for its time, then the race ends: a score below the table goes straight back
// to the main menu, which opens on the table.
TEST_F(OverlayTest, GameOverEndsTheRaceOnceItsTimeIsUp) {
    StartRace();
    race->Score = 0;
    messages->OpenMessage(msgGameOver);
    int ticks = 0;
    while (Mode() == msgGameOver && ticks < 1000) {
        Tick();
        ++ticks;
    }
    const int expected = 2000 / context->TickView().TickMs;
    EXPECT_NEAR(ticks, expected, 2);
    EXPECT_EQ(form.Asked, (Requests{"RaceOver", "ActOnRequestsHeldWhileBusy"}));
    EXPECT_FALSE(race->SpritesBuilt()) << "the race is torn down";
    EXPECT_EQ(context->TickView().GameScreen, gsMainMenu);
}

// The name goes into the table, the send question follows with yes lit, and no to it goes back to
// the menu.
TEST_F(OverlayTest, NameEntryThenNoToSending) {
    StartRace();
    race->Score = 4321;
    messages->OpenMessage(msgEnterName);
    context->Shell().PlayerName = "Ada";
    Tick();
    Click(context->Screen().ActiveButton);
    EXPECT_EQ(Mode(), msgSendResult);
    EXPECT_EQ(context->Screen().ActiveButton, ScreenSlot::RaceYes);
    EXPECT_TRUE(InTable("Ada", 4321));
    Tick(false, false, false, true); // N
    EXPECT_EQ(Mode(), msgNone);
    EXPECT_EQ(context->TickView().GameScreen, gsMainMenu);
    EXPECT_EQ(form.Asked,
              (Requests{"IgnoreTextOfKeysPressedSoFar", "NameEntered", "ActOnRequestsHeldWhileBusy"}));
}

// Typing reaches only the name entry; it stops at the table's name length and Backspace takes one
// back.
TEST_F(OverlayTest, OnlyTheNameEntryTakesTyping) {
    StartRace();
    context->Shell().PlayerName.clear();
    messages->OpenMessage(msgPause);
    messages->TypeKey('A');
    EXPECT_EQ(context->Shell().PlayerName, "");
    messages->OpenMessage(msgEnterName);
    for (char c : std::string("Abcdefghijklmnop")) {
        messages->TypeKey(c);
    }
    const std::string full = std::string("Abcdefghijklmnop").substr(0, THighScoreTable::kNameMax);
    EXPECT_EQ(context->Shell().PlayerName, full);
    messages->TypeKey('\b');
    messages->TypeKey('\x01'); // a control character types nothing
    EXPECT_EQ(context->Shell().PlayerName, full.substr(0, full.size() - 1));
}

// The questions over a menu screen: no is lit, the screen's selection comes back after a no, and
// yes does what was asked.
TEST_F(OverlayTest, MenuQuestions) {
    context->MutableTickView().GameScreen = gsHighScores;
    context->Screen().ActiveButton = ScreenSlot::ClearTable;
    context->Screen().ButtonCount = 3;

    messages->OpenMessage(msgExitGame);
    EXPECT_EQ(context->Screen().ActiveButton, ScreenSlot::MenuNo);
    Tick();
    Click(ScreenSlot::MenuNo);
    EXPECT_EQ(Mode(), msgNone);
    EXPECT_EQ(context->Screen().ActiveButton, ScreenSlot::ClearTable);
    EXPECT_EQ(context->Screen().ButtonCount, 3);
    EXPECT_TRUE(form.Asked.empty());

    messages->OpenMessage(msgExitGame);
    Tick(false, false, true); // Y
    EXPECT_EQ(form.Asked, Requests{"ExitGame"});

    messages->CloseMessage();
    context->Shell().PlayerName = "Bo";
    menus->CommitNameEntry(9000);
    ASSERT_TRUE(InTable("Bo", 9000));
    messages->OpenMessage(msgClearTable);
    Click(ScreenSlot::MenuYes);
    EXPECT_EQ(Mode(), msgNone);
    EXPECT_FALSE(InTable("Bo", 9000)) << "the table is cleared";
}

} // namespace
