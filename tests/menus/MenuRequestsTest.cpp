// The menus alone, in a small context of their own: what each click and tick asks of the game.
#include "menus/Menus.h"

#include "context/InterfaceSprites.h"
#include "context/TestGameContext.h"
#include "engine/platform/KeyCodes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kMenuPictures =
    std::filesystem::path(SPRAYDASH_GENERATED_DATA_DIR) / "Res" / "Res1.dxg";

class MenuRequestsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(kMenuPictures)) {
            GTEST_SKIP() << "the menu pictures have not been generated: " << kMenuPictures;
        }
        Fresh();
    }
    // The menus anew, in a context of their own, on the main menu's screen.
    void Fresh() {
        menus.reset();
        context.reset();
        context = std::make_unique<TTestGameContext>(
            1, gsMainMenu, "MMBackground",
            [](TGameImageList& menu, TGameImageList&) { menu.Items.LoadFromFile(kMenuPictures.string()); });
        context->MutableConfig().HomeUrl = "http://home.example/";
        context->MutableConfig().ScoreServer = "http://scores.example:8080/";
        menus = std::make_unique<TMenus>(*context);
    }
    void TearDown() override {
        menus.reset();
        context.reset();
    }

    // A click on a button of the open screen, as the form passes it on.
    std::vector<std::string> Click(int32_t slot) {
        context->Requests.clear();
        context->Screen().ActiveButton = slot;
        menus->MenuButtonClick(false);
        return context->Requests;
    }
    TMenuButton* Button(int32_t slot) { return context->Screen().ScreenSprites.Button(slot); }

    std::unique_ptr<TTestGameContext> context;
    std::unique_ptr<TMenus> menus;
};

using Requests = std::vector<std::string>;

TEST_F(MenuRequestsTest, TheMainMenuButtonsOpenTheirScreensOrAskTheGame) {
    struct Case {
        int32_t Slot;
        TGameScreen Screen;
        Requests Asked;
    };
    const Case cases[] = {
        {ScreenSlot::Start, gsBoatSelect, {}},
        {ScreenSlot::Options, gsOptions, {}},
        {ScreenSlot::HighScores, gsHighScores, {}},
        {ScreenSlot::Help, gsHelp, {}},
        {ScreenSlot::WebSite, gsMainMenu, {"OpenUrl http://home.example/"}},
        {ScreenSlot::Exit, gsMainMenu, {"OpenMessage 9"}},
        {ScreenSlot::NoButton, gsMainMenu, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Slot);
        Fresh();
        context->MutableTickView().GameScreen = gsMainMenu;
        EXPECT_EQ(Click(c.Slot), c.Asked);
        EXPECT_EQ(context->TickView().GameScreen, c.Screen);
        if (c.Screen != gsMainMenu) {
            EXPECT_TRUE(context->TimerEnabled) << "a screen builder enables the frame timer";
        }
    }
}

TEST_F(MenuRequestsTest, ABoatStartsTheRaceOnceTheMenuIsGone) {
    for (int32_t boat = 1; boat <= 3; ++boat) {
        SCOPED_TRACE(boat);
        Fresh();
        menus->OpenBoatScreen();
        ASSERT_NE(Button(ScreenSlot::FirstBoat + boat - 1), nullptr);
        EXPECT_EQ(Click(ScreenSlot::FirstBoat + boat - 1),
                  (Requests{"BuildMainMenu partial 0", "FreeMainMenu", "StartRace " + std::to_string(boat)}));
        EXPECT_EQ(context->Screen().ScreenSprites.BoatTitle, nullptr);
        for (int32_t slot = ScreenSlot::FirstBoat; slot <= ScreenSlot::LastBoat; ++slot) {
            EXPECT_EQ(Button(slot), nullptr);
        }
    }
}

TEST_F(MenuRequestsTest, AnotherMainButtonLeavesASubScreenForThePartialMainMenu) {
    struct Case {
        void (TMenus::*Open)();
        void (TMenus::*Tick)(int);
        int32_t Other;
    };
    const Case cases[] = {
        {&TMenus::OpenOptionsScreen, &TMenus::OptionsTick, ScreenSlot::Help},
        {&TMenus::OpenHighScoreScreen, &TMenus::HighScoreTick, ScreenSlot::Start},
        {&TMenus::OpenHelpScreen, &TMenus::HelpTick, ScreenSlot::Options},
        {&TMenus::OpenBoatScreen, &TMenus::BoatSelectTick, ScreenSlot::Exit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Other);
        Fresh();
        (menus.get()->*c.Open)();
        context->Requests.clear();
        context->Screen().ActiveButton = c.Other;
        (menus.get()->*c.Tick)(1);
        EXPECT_EQ(context->Requests, Requests{"BuildMainMenu partial 0"});
        EXPECT_FALSE(context->TimerEnabled) << "the sub-screen's tear-down disables the timer";
        EXPECT_EQ(menus->SubScreenTitle, nullptr);
    }
}

TEST_F(MenuRequestsTest, TheHighScoreScreenAsksForTheQuestionOrTheWorldPage) {
    menus->OpenHighScoreScreen();
    EXPECT_EQ(Click(ScreenSlot::ClearTable), Requests{"OpenMessage 10"});
    EXPECT_EQ(Click(ScreenSlot::WorldTable),
              Requests{"OpenUrl http://scores.example:8080/cgi/version.pl?prg=Spraydash&show&type=0"});
    EXPECT_EQ(context->TickView().GameScreen, gsHighScores);
}

TEST_F(MenuRequestsTest, TheFullScreenRowSwitchesTheOptionAndAsksForTheDisplayMode) {
    menus->OpenOptionsScreen();
    EXPECT_EQ(Click(ScreenSlot::FullScreen), Requests{"ApplyDisplayMode"});
    EXPECT_TRUE(context->Shell().GameOptions.FullScreen);
    EXPECT_EQ(Click(ScreenSlot::FullScreen), Requests{"ApplyDisplayMode"});
    EXPECT_FALSE(context->Shell().GameOptions.FullScreen);
}

TEST_F(MenuRequestsTest, SteppingPastTheLastHelpPageClicksTheHighlightedButton) {
    menus->OpenHelpScreen();
    context->Requests.clear();
    context->Input().Keyboard.Assigns[isRight] = {vk::Right, 0, 0};
    context->Platform().SetKey(vk::Right, true);
    context->Input().Update();
    menus->NavReady = true;
    menus->HelpTick(1);
    EXPECT_EQ(context->Requests, Requests{"ButtonClick mouse"})
        << "Next is the last button: stepping on clicks it";
}

TEST_F(MenuRequestsTest, EscOnASubScreenClicksItsOwnMainButtonAndGoesBack) {
    struct Case {
        void (TMenus::*Open)();
        int32_t Own;
    };
    const Case cases[] = {
        {&TMenus::OpenOptionsScreen, ScreenSlot::Options},
        {&TMenus::OpenHighScoreScreen, ScreenSlot::HighScores},
        {&TMenus::OpenHelpScreen, ScreenSlot::Help},
        {&TMenus::OpenBoatScreen, ScreenSlot::Start},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Own);
        Fresh();
        (menus.get()->*c.Open)();
        context->Requests.clear();
        ASSERT_TRUE(menus->ScreenEscape()) << "Esc goes on as a click";
        EXPECT_EQ(context->Screen().ActiveButton, c.Own);
        menus->MenuButtonClick(true);
        EXPECT_EQ(context->Requests, Requests{"BuildMainMenu partial 0"});
        EXPECT_FALSE(context->TimerEnabled);
        EXPECT_EQ(menus->SubScreenTitle, nullptr);
        EXPECT_EQ(context->Screen().ScreenSprites.BoatTitle, nullptr);
    }
}

TEST_F(MenuRequestsTest, EscOnTheMainMenuAndOffTheMenusLeavesTheActiveButton) {
    struct Case {
        TGameScreen Screen;
        bool Clicks;
    };
    const Case cases[] = {{gsMainMenu, false}, {gsStartup, true}, {gsRace, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Screen);
        Fresh();
        context->MutableTickView().GameScreen = c.Screen;
        context->Screen().ActiveButton = ScreenSlot::Exit;
        EXPECT_EQ(menus->ScreenEscape(), c.Clicks);
        EXPECT_EQ(context->Screen().ActiveButton, ScreenSlot::Exit);
        EXPECT_EQ(TMenus::IsMenuScreen(c.Screen), c.Screen == gsMainMenu);
    }
}

// A key on the menu screens: Enter and Backspace click the highlighted button from the keyboard,
// Esc first makes the button it stands for the highlighted one (and does nothing on the main
// menu), a character does nothing. The options screen clicks as the mouse does, and types into
// its text field only while that is being edited.
TEST_F(MenuRequestsTest, KeysOnTheMenuScreens) {
    struct Case {
        const char* Name;
        void (TMenus::*Open)();
        char Key;
        Requests Asked;
    };
    const Case cases[] = {
        {"Enter on the main menu", nullptr, '\r', {"ButtonClick keyboard"}},
        {"Backspace on the main menu", nullptr, '\b', {"ButtonClick keyboard"}},
        {"Esc on the main menu", nullptr, '\x1b', {}},
        {"a letter on the main menu", nullptr, 'a', {}},
        {"Esc on the help", &TMenus::OpenHelpScreen, '\x1b', {"ButtonClick keyboard"}},
        {"a letter on the help", &TMenus::OpenHelpScreen, 'a', {}},
        {"Enter on the options", &TMenus::OpenOptionsScreen, '\r', {"ButtonClick mouse"}},
        {"Esc on the options", &TMenus::OpenOptionsScreen, '\x1b', {"ButtonClick mouse"}},
        {"a letter on the options, the field not edited", &TMenus::OpenOptionsScreen, 'a', {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Fresh();
        if (c.Open) {
            (menus.get()->*c.Open)();
        }
        const std::string addInfo = context->Shell().GameOptions.AddInfo;
        context->Requests.clear();
        menus->ScreenKeyPress(c.Key);
        EXPECT_EQ(context->Requests, c.Asked);
        EXPECT_EQ(context->Shell().GameOptions.AddInfo, addInfo);
    }

    Fresh();
    menus->OpenOptionsScreen();
    context->Screen().ActiveButton = ScreenSlot::TextLine;
    menus->StartTextEditing();
    context->Shell().GameOptions.AddInfo.clear();
    for (char key : std::string("ab1 c\b")) {
        menus->ScreenKeyPress(key);
    }
    EXPECT_EQ(context->Shell().GameOptions.AddInfo, "ab ")
        << "letters and spaces only; Backspace takes one back";
    menus->StopTextEditing();
}

TEST_F(MenuRequestsTest, OffTheMenusTicksAndClicksAskNothing) {
    for (TGameScreen screen : {gsStartup, gsRace}) {
        SCOPED_TRACE(screen);
        Fresh();
        context->MutableTickView().GameScreen = screen;
        context->Requests.clear();
        menus->ScreenTick(1);
        EXPECT_EQ(Click(ScreenSlot::Exit), Requests{});
        menus->CloseScreen();
        EXPECT_EQ(context->Requests, Requests{});
    }
}

TEST_F(MenuRequestsTest, TheMainMenuIgnoresClicksWhileItSlidesIn) {
    context->MutableTickView().GameScreen = gsMainMenu;
    for (TMenuIntroPhase phase : {ipPanels, ipButtons}) {
        SCOPED_TRACE(phase);
        context->Screen().MenuIntroPhase = phase;
        EXPECT_EQ(Click(ScreenSlot::Exit), Requests{});
        EXPECT_EQ(context->TickView().GameScreen, gsMainMenu);
    }
}

TEST_F(MenuRequestsTest, ClosingTheOpenSubScreenForAReplayLeavesNoWayBack) {
    const std::vector<void (TMenus::*)()> opens = {&TMenus::OpenOptionsScreen, &TMenus::OpenHighScoreScreen,
                                                   &TMenus::OpenHelpScreen, &TMenus::OpenBoatScreen};
    for (auto open : opens) {
        Fresh();
        (menus.get()->*open)();
        context->Requests.clear();
        menus->CloseScreen();
        for (const std::string& asked : context->Requests) {
            EXPECT_EQ(asked.find("BuildMainMenu"), std::string::npos) << asked;
        }
        EXPECT_FALSE(context->TimerEnabled);
        EXPECT_EQ(menus->SubScreenTitle, nullptr);
        EXPECT_EQ(context->Screen().ScreenSprites.BoatTitle, nullptr);
        for (int32_t slot = ScreenSlot::FirstBoat; slot <= ScreenSlot::TextLine; ++slot) {
            EXPECT_EQ(Button(slot), nullptr) << slot;
        }
    }
}

} // namespace
