// The program spine: start-up, the frame tick's input edges, the window's events (close box,
// minimise, focus, termination), the full-screen chord and how keys and clicks reach buttons.
#include "app/GameFixture.h"
#include "app/GameMain.h"
#include "app/Messages.h"
#include "context/InterfaceSprites.h"
#include "engine/archive/WaveArchive.h"
#include "engine/platform/KeyCodes.h"
#include "engine/sprite/Sprite.h"
#include "menus/Menus.h"
#include "race/Race.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
// The main-menu column at rest: X 556, buttons 1..6 from Y 114 down.
constexpr int kColumnX = 560;
constexpr int kButtonY[7] = {0, 120, 180, 243, 305, 367, 429};

void FinishIntro(TGameFixture& game) {
    ASSERT_TRUE(game.RunUntil([&] { return game.Screen().MenuIntroPhase == 0; }, 1000));
    game.Tick(); // the first idle tick highlights the start button
}

// Start button, a boat: the race is running.
void StartRace(TGameFixture& game) {
    FinishIntro(game);
    game.Click(kColumnX, kButtonY[1]);
    ASSERT_EQ(game.TickView().GameScreen, gsBoatSelect);
    game.Tick();
    game.Click(40, 200); // the first boat
    ASSERT_EQ(game.TickView().GameScreen, gsRace);
}
} // namespace

TEST_F(GameTest, StartUpShowsTheMainMenuAndPresentsFrames) {
    EXPECT_EQ(Game.Platform().WindowTitle(), "Spraydash");
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu);
    EXPECT_EQ(Game.TickView().TickMs, 15);
    EXPECT_DOUBLE_EQ(Game.TickView().SpeedScale, 0.5);
    int before = Game.PresentCount();
    Game.Tick(3);
    EXPECT_EQ(Game.PresentCount(), before + 3);
    EXPECT_EQ(Game.Platform().FrameWidth(), 800);
    EXPECT_EQ(Game.Platform().FrameHeight(), 600);
}

// ---- Input edges --------------------------------------------------------------------

struct EdgeCase {
    const char* name;
    int key;
    bool TTickView::*pressed;
};

class InputEdgeTest : public GameTest, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(InputEdgeTest, PressedOnlyInTheTickOfTheTransition) {
    const EdgeCase& c = GetParam();
    FinishIntro(Game);
    Game.KeyDown(c.key);
    Game.Tick();
    EXPECT_TRUE(Game.TickView().*c.pressed) << "the tick in which the key went down";
    for (int i = 0; i < 5; ++i) {
        Game.Tick();
        EXPECT_FALSE(Game.TickView().*c.pressed) << "held, tick " << i;
    }
    Game.KeyUp(c.key);
    Game.Tick();
    EXPECT_FALSE(Game.TickView().*c.pressed);
    Game.KeyDown(c.key);
    Game.Tick();
    EXPECT_TRUE(Game.TickView().*c.pressed) << "pressed again";
    Game.KeyUp(c.key);
}

INSTANTIATE_TEST_SUITE_P(Keys, InputEdgeTest,
                         ::testing::Values(EdgeCase{"Pause", 'P', &TTickView::PausePressed},
                                           EdgeCase{"Esc", vk::Escape, &TTickView::EscPressed},
                                           EdgeCase{"Yes", 'Y', &TTickView::YesPressed},
                                           EdgeCase{"No", 'N', &TTickView::NoPressed}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Window events ------------------------------------------------------------------

TEST_F(GameTest, CloseBoxOnAMenuScreenAsksToExitAndKeepsTheWindowOpen) {
    FinishIntro(Game);
    Game.PushEvent(TPlatformEventKind::CloseRequest);
    EXPECT_EQ(Game.TickView().MessageMode, msgExitGame);
    EXPECT_EQ(Game.Screen().ActiveButton, 12) << "no is highlighted";
    EXPECT_FALSE(Game.Form().Terminated());
    Game.Tick(5);
    EXPECT_FALSE(Game.Form().Terminated());
    EXPECT_GE(Game.Platform().CursorCount(), 0) << "the pointer shows while the question is open";

    // The same from a sub-screen.
    Game.KeyDown('N');
    Game.Tick();
    Game.KeyUp('N');
    EXPECT_EQ(Game.TickView().MessageMode, msgNone);
    Game.Click(kColumnX, kButtonY[3]);
    ASSERT_EQ(Game.TickView().GameScreen, gsHighScores);
    Game.PushEvent(TPlatformEventKind::CloseRequest);
    EXPECT_EQ(Game.TickView().MessageMode, msgExitGame);
    EXPECT_FALSE(Game.Form().Terminated());
}

TEST_F(GameTest, CloseBoxInARaceAsksToFinishTheRace) {
    StartRace(Game);
    Game.Tick(3);
    Game.PushEvent(TPlatformEventKind::CloseRequest);
    EXPECT_EQ(Game.TickView().MessageMode, msgFinishRace);
    EXPECT_EQ(Game.Screen().ActiveButton, 2) << "no is highlighted";
    Game.Tick(3);
    EXPECT_FALSE(Game.Form().Terminated());
    EXPECT_EQ(Game.TickView().GameScreen, gsRace);
}

TEST_F(GameTest, MinimisingPausesARaceButNotTheMenus) {
    FinishIntro(Game);
    Game.PushEvent(TPlatformEventKind::Minimized);
    EXPECT_EQ(Game.TickView().MessageMode, msgNone);
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu);

    Game.Tick();
    Game.Click(kColumnX, kButtonY[1]);
    Game.Tick();
    Game.Click(40, 200);
    ASSERT_EQ(Game.TickView().GameScreen, gsRace);
    // Let the level banner go first: it would be replaced all the same.
    Game.RunUntil([&] { return Game.TickView().MessageMode == msgNone; }, 400);
    Game.PushEvent(TPlatformEventKind::Minimized);
    EXPECT_EQ(Game.TickView().MessageMode, msgPause);
}

struct RaceStepCase {
    const char* name;
    TMessageMode mode;
    TPlatformEventKind event;
    TMessageMode after; // the overlay the event leaves open
};

class RaceStepWindowEventTest : public GameTest, public ::testing::WithParamInterface<RaceStepCase> {};

// While a level restarts or the race ends, the close box and minimising leave the step alone:
// resuming from a pause or "Finish race?" would run on a race that is over.
TEST_P(RaceStepWindowEventTest, LeavesTheStepOpen) {
    const RaceStepCase& c = GetParam();
    StartRace(Game);
    ASSERT_TRUE(Game.RunUntil([&] { return Game.TickView().MessageMode == msgNone; }, 400));
    Game.Form().Race().Score = 9999;
    if (c.mode != msgNone) {
        Game.Messages().OpenMessage(c.mode);
    }
    const int lives = Game.Form().Race().Lives;
    Game.PushEvent(c.event);
    EXPECT_EQ(Game.TickView().MessageMode, c.after);
    EXPECT_EQ(Game.TickView().GameScreen, gsRace);
    EXPECT_EQ(Game.Form().Race().Lives, lives);
    EXPECT_FALSE(Game.Form().Terminated());
    if (c.after == msgFinishRace) {
        EXPECT_GT(Game.Platform().CursorCount(), 0) << "the pointer is raised above 0 for the question";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RaceStepWindowEventTest,
    ::testing::Values(
        RaceStepCase{"RacingClose", msgNone, TPlatformEventKind::CloseRequest, msgFinishRace},
        RaceStepCase{"RacingMinimise", msgNone, TPlatformEventKind::Minimized, msgPause},
        RaceStepCase{"LevelClose", msgLevel, TPlatformEventKind::CloseRequest, msgFinishRace},
        RaceStepCase{"TimeOverClose", msgTimeOver, TPlatformEventKind::CloseRequest, msgTimeOver},
        RaceStepCase{"TimeOverMinimise", msgTimeOver, TPlatformEventKind::Minimized, msgTimeOver},
        RaceStepCase{"GameOverClose", msgGameOver, TPlatformEventKind::CloseRequest, msgGameOver},
        RaceStepCase{"GameOverMinimise", msgGameOver, TPlatformEventKind::Minimized, msgGameOver},
        RaceStepCase{"NameClose", msgEnterName, TPlatformEventKind::CloseRequest, msgEnterName},
        RaceStepCase{"NameMinimise", msgEnterName, TPlatformEventKind::Minimized, msgEnterName},
        RaceStepCase{"SendClose", msgSendResult, TPlatformEventKind::CloseRequest, msgSendResult},
        RaceStepCase{"SendMinimise", msgSendResult, TPlatformEventKind::Minimized, msgSendResult}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GameTest, NoTickRunsAfterTheFocusIsLost) {
    Game.Tick(5); // the panels are sliding in
    TSprite* upper = Game.Screen().ScreenSprites.UpperPanel;
    ASSERT_NE(upper, nullptr);
    ASSERT_LT(upper->Y, 0);

    Game.LoseFocus();
    const double y = upper->Y;
    const int presents = Game.PresentCount();
    Game.KeyDown(vk::Down);
    Game.Tick(40);
    EXPECT_EQ(upper->Y, y) << "nothing moves";
    EXPECT_EQ(Game.PresentCount(), presents) << "no frame is composed";
    Game.KeyUp(vk::Down);

    Game.GainFocus();
    Game.Tick();
    EXPECT_EQ(Game.PresentCount(), presents + 1);
    EXPECT_DOUBLE_EQ(upper->Y, y + 1.75) << "one step per tick, no catch-up for the time away";
}

TEST_F(GameTest, TerminationRequestSavesTheOptionsAndTheTable) {
    FinishIntro(Game);
    Game.Shell().GameOptions.AddInfo = "HELLO";
    Game.Menus().Table.Entry(1).EntryName = "WINNER";
    Game.Menus().Table.Entry(1).EntryScore = 9000;
    TPlatformEvent terminate;
    terminate.Kind = TPlatformEventKind::Terminate;
    Game.Platform().Push(terminate);
    EXPECT_FALSE(Game.Form().PumpOnce(false)) << "the message loop ends";
    Game.Stop(); // what the program does after its loop

    std::string options = Game.ReadSave("options");
    EXPECT_NE(options.find("\r\nHELLO\r\n"), std::string::npos) << options;
    std::string hs = Game.ReadSave("hs");
    EXPECT_EQ(hs.rfind("WINNER\r\n9000\r\n0\r\n0\r\n", 0), 0u) << hs;

    // The next start keeps the edited table: its check string was saved with it.
    Game.Start();
    EXPECT_EQ(Game.Menus().Table.Entry(1).EntryName, "WINNER");
    EXPECT_EQ(Game.Shell().GameOptions.AddInfo, "HELLO");
}

// ---- Exit question ------------------------------------------------------------------

class ExitGameTest : public GameTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ExitGameTest, YesSavesTheOptionsThenOpensThePlayLinkOnlyWhenItExists) {
    const bool playUrl = GetParam();
    if (playUrl) {
        std::ofstream(Game.Dir() / "play.url") << "[InternetShortcut]\r\nURL=http://play.example/next\r\n";
    }
    FinishIntro(Game);
    Game.Click(kColumnX, kButtonY[6]);
    ASSERT_EQ(Game.TickView().MessageMode, msgExitGame);
    Game.KeyDown('Y');
    Game.Tick();
    EXPECT_TRUE(Game.Form().Terminated());
    EXPECT_TRUE(Game.SaveExists("options")) << "written before the program ends";
    const auto& urls = Game.Platform().OpenedUrls();
    if (playUrl) {
        ASSERT_EQ(urls.size(), 1u);
        EXPECT_EQ(urls[0], "http://play.example/next") << "the page the shortcut names, not the file";
    } else {
        EXPECT_TRUE(urls.empty());
    }
    Game.Stop();
    EXPECT_TRUE(Game.SaveExists("hs"));
}

INSTANTIATE_TEST_SUITE_P(PlayUrl, ExitGameTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Present" : "Absent"; });

// ---- Full screen --------------------------------------------------------------------

struct ChordCase {
    const char* name;
    int key;
    bool alt;
};

class FullScreenChordTest : public GameTest, public ::testing::WithParamInterface<ChordCase> {};

TEST_P(FullScreenChordTest, TogglesTheDisplayAndTheOptionWithoutClicking) {
    const ChordCase& c = GetParam();
    FinishIntro(Game);
    ASSERT_EQ(Game.Screen().ActiveButton, 1);
    ASSERT_FALSE(Game.Platform().IsFullScreen());

    Game.KeyDown(c.key, c.alt);
    EXPECT_TRUE(Game.Shell().GameOptions.FullScreen);
    EXPECT_TRUE(Game.Platform().IsFullScreen());
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu) << "the chord's Enter is no click on the start button";
    // A held chord repeats: the repeats change nothing.
    for (int i = 0; i < 3; ++i) {
        Game.KeyDown(c.key, c.alt, true);
        Game.Tick();
    }
    EXPECT_TRUE(Game.Platform().IsFullScreen());
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu);
    Game.KeyUp(c.key);

    int presents = Game.PresentCount();
    Game.Tick();
    EXPECT_EQ(Game.PresentCount(), presents + 1) << "the timer runs again after the switch";

    Game.Stop();
    EXPECT_EQ(Game.ReadSave("options").substr(0, 3), "1\r\n") << "the option is saved";

    Game.Start();
    EXPECT_TRUE(Game.Platform().IsFullScreen()) << "the next start opens in full screen";
    FinishIntro(Game);
    Game.KeyDown(c.key, c.alt);
    Game.KeyUp(c.key);
    EXPECT_FALSE(Game.Shell().GameOptions.FullScreen);
    EXPECT_FALSE(Game.Platform().IsFullScreen());
}

INSTANTIATE_TEST_SUITE_P(Chords, FullScreenChordTest,
                         ::testing::Values(ChordCase{"AltEnter", vk::Return, true},
                                           ChordCase{"F11", vk::F11, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Keys and clicks on the main menu -----------------------------------------------

TEST_F(GameTest, EscOnTheMainMenuDoesNothing) {
    FinishIntro(Game);
    Game.KeyDown(vk::Escape);
    Game.Tick();
    Game.KeyUp(vk::Escape);
    Game.Tick();
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu);
    EXPECT_EQ(Game.TickView().MessageMode, msgNone);
    EXPECT_EQ(Game.Screen().ActiveButton, 1);
}

struct ActivateCase {
    const char* name;
    int key; // 0: a mouse click
    bool clickSound;
};

class ActivateButtonTest : public GameTest, public ::testing::WithParamInterface<ActivateCase> {};

TEST_P(ActivateButtonTest, ClicksTheHighlightedButton) {
    const ActivateCase& c = GetParam();
    FinishIntro(Game);
    Game.MouseMove(kColumnX, kButtonY[3]);
    Game.Tick();
    ASSERT_EQ(Game.Screen().ActiveButton, 3);
    Game.SilenceSound("B_Act");

    if (c.key) {
        Game.KeyDown(c.key);
        Game.KeyUp(c.key);
    } else {
        Game.Click(kColumnX, kButtonY[3]);
    }
    EXPECT_EQ(Game.TickView().GameScreen, gsHighScores);
    EXPECT_EQ(Game.SoundPlaying("B_Act"), c.clickSound);
}

INSTANTIATE_TEST_SUITE_P(Ways, ActivateButtonTest,
                         ::testing::Values(ActivateCase{"Enter", vk::Return, false},
                                           ActivateCase{"Backspace", vk::Back, false},
                                           ActivateCase{"MouseClick", 0, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GameTest, ClicksDuringTheIntroAreIgnored) {
    Game.Tick(10);
    ASSERT_NE(Game.Screen().MenuIntroPhase, 0);
    Game.KeyDown(vk::Return);
    Game.KeyUp(vk::Return);
    Game.Click(799, kButtonY[1]);
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu);
    EXPECT_EQ(Game.TickView().MessageMode, msgNone);
}

// ---- Start-up failures --------------------------------------------------------------

struct MissingDataCase {
    const char* name;
    const char* file;
    bool corrupt; // present but not an archive
};

class MissingDataTest : public GameTest, public ::testing::WithParamInterface<MissingDataCase> {
  protected:
    void SetUp() override {
        StartInSetUp = false;
        GameTest::SetUp();
    }
};

TEST_P(MissingDataTest, StopsStartUpNamingTheFileAndTouchesNoSaveFile) {
    const MissingDataCase& c = GetParam();
    // A Data/Res of our own: links to every generated file but the one under test.
    const fs::path res = Game.Dir() / "Data" / "Res";
    fs::remove(res);
    fs::create_directory(res);
    for (const char* f : {"Res1.dxg", "Res3.dxg", "Sounds.dxw"}) {
        if (std::string(f) != c.file) {
            fs::create_symlink(TGameFixture::GeneratedDataDir() / "Res" / f, res / f);
        } else if (c.corrupt) {
            std::ofstream(res / f, std::ios::binary) << "not an archive at all";
        }
    }
    const std::string hs = "SOMEONE\r\n123\r\n0\r\n0\r\n";
    const std::string options = "0\r\n0\r\n0\r\nKEEP\r\nxyz\r\n";
    Game.WriteSave("hs", hs);
    Game.WriteSave("options", options);

    THeadlessPlatform platform;
    TFormConfig config;
    config.RandomSeed = 1;
    EXPECT_NE(RunGame(platform, config), 0);
    ASSERT_EQ(platform.FatalErrors().size(), 1u);
    EXPECT_NE(platform.FatalErrors()[0].find(c.file), std::string::npos) << platform.FatalErrors()[0];

    EXPECT_EQ(Game.ReadSave("hs"), hs);
    EXPECT_EQ(Game.ReadSave("options"), options);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(Game.Dir() / "Data" / "Save")) {
        ++files;
    }
    EXPECT_EQ(files, 2) << "no temporary or new file";
}

INSTANTIATE_TEST_SUITE_P(Files, MissingDataTest,
                         ::testing::Values(MissingDataCase{"MenuPicturesMissing", "Res1.dxg", false},
                                           MissingDataCase{"RacePicturesMissing", "Res3.dxg", false},
                                           MissingDataCase{"SoundsMissing", "Sounds.dxw", false},
                                           MissingDataCase{"MenuPicturesCorrupt", "Res1.dxg", true},
                                           MissingDataCase{"SoundsCorrupt", "Sounds.dxw", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A fault in a tick (here an effect missing from a damaged sound archive, wanted when the
// first menu button lights up) ends the game with its message, but the run's options and
// table still reach their files.
class FaultDuringGameTest : public GameTest {
  protected:
    void SetUp() override {
        StartInSetUp = false;
        GameTest::SetUp();
    }
};

TEST_F(FaultDuringGameTest, IsShownAndTheSaveFilesAreWritten) {
    const fs::path res = Game.Dir() / "Data" / "Res";
    fs::remove(res);
    fs::create_directory(res);
    for (const char* f : {"Res1.dxg", "Res3.dxg"}) {
        fs::create_symlink(TGameFixture::GeneratedDataDir() / "Res" / f, res / f);
    }
    std::vector<TWaveArchiveItem> sounds =
        ReadWaveArchive((TGameFixture::GeneratedDataDir() / "Res" / "Sounds.dxw").string());
    std::erase_if(sounds, [](const TWaveArchiveItem& item) { return item.Name == "B_Act"; });
    WriteWaveArchiveFile((res / "Sounds.dxw").string(), sounds);
    Game.WriteSave("options", "0\r\n0\r\n1\r\nKEEP ME\r\n\r\n");

    THeadlessPlatform platform;
    platform.TerminateAt(60'000); // the intro is over long before
    TFormConfig config;
    config.RandomSeed = 1;
    EXPECT_EQ(RunGame(platform, config), 1);
    ASSERT_EQ(platform.FatalErrors().size(), 1u);
    EXPECT_NE(platform.FatalErrors()[0].find("B_Act"), std::string::npos) << platform.FatalErrors()[0];
    ASSERT_TRUE(Game.SaveExists("hs"));
    EXPECT_EQ(Game.ReadSave("hs").substr(0, 17), "ANONYMOUS\r\n5000\r\n");
    EXPECT_EQ(Game.ReadSave("options").substr(0, 18), "0\r\n0\r\n1\r\nKEEP ME\r\n");
}
