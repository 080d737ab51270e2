// The menu screens driven as a player does: clicks, keys and ticks through the headless game.
#include "menus/Menus.h"
#include "app/GameFixture.h"
#include "app/Messages.h"
#include "context/InterfaceSprites.h"
#include "engine/gfx/ImageList.h"
#include "engine/platform/KeyCodes.h"

#include <gtest/gtest.h>

#include <string>

namespace {
constexpr int kColumnX = 560;
constexpr int kButtonY[7] = {0, 120, 180, 243, 305, 367, 429};
constexpr int kOptionRowY[4] = {186, 246, 306, 366};

TMenuButton* Button(TGameFixture& game, int slot) {
    return game.Screen().ScreenSprites.Button(slot);
}

class MenusTest : public GameTest {
  protected:
    void FinishIntro() {
        ASSERT_TRUE(Game.RunUntil([&] { return Game.Screen().MenuIntroPhase == 0; }, 1000));
        Game.Tick();
    }
    void OpenFromMainMenu(int button, int32_t screen) {
        FinishIntro();
        Game.Click(kColumnX, kButtonY[button]);
        ASSERT_EQ(Game.TickView().GameScreen, screen);
        Game.Tick();
    }
    void Press(int key) {
        Game.KeyDown(key);
        Game.Tick();
        Game.KeyUp(key);
        Game.Tick();
    }
    // Pixels of the high-score table's text colour in its rank column, which no overlay covers.
    int TableTextPixels() {
        const uint16_t ink = TGameFixture::Rgb565(3, 9, 255);
        int n = 0;
        for (int y = 150; y < 475; ++y) {
            for (int x = 40; x < 90; ++x) {
                n += Game.Pixel(x, y) == ink;
            }
        }
        return n;
    }
};
} // namespace

// ---- Intro ----------------------------------------------------------------------------

TEST_F(MenusTest, IntroSlidesThePanelsThenTheColumnAndHighlightsStart) {
    auto& s = Game.Screen();
    TSprite* upper = s.ScreenSprites.UpperPanel;
    TSprite* lower = s.ScreenSprites.LowerPanel;
    ASSERT_EQ(s.MenuIntroPhase, 1);
    EXPECT_EQ(upper->Y, -upper->Height);
    EXPECT_EQ(lower->Y, 600);

    Game.Tick();
    EXPECT_DOUBLE_EQ(upper->Y, -upper->Height + 1.75);
    EXPECT_DOUBLE_EQ(lower->Y, 600 - 7.0 / 6.0);
    EXPECT_EQ(s.ScreenSprites.Button(1)->X, 800) << "the column waits for the panels";

    ASSERT_TRUE(Game.RunUntil([&] { return s.MenuIntroPhase != 1; }, 1000));
    EXPECT_GE(upper->Y, 0);
    EXPECT_LE(lower->Y, 600 - lower->Height);
    // The tick that ends the panels also takes the column's first step.
    EXPECT_EQ(s.MenuIntroPhase, 3);
    EXPECT_EQ(s.ScreenSprites.Button(1)->X, 796);
    Game.Tick(60);
    EXPECT_EQ(s.MenuIntroPhase, 3);
    for (int i = 1; i <= 6; ++i) {
        EXPECT_EQ(s.ScreenSprites.Button(i)->X, 556) << "button " << i << " after 61 steps";
    }
    EXPECT_FALSE(Button(Game, 1)->Highlighted) << "no highlight during the intro";
    Game.Tick();
    EXPECT_EQ(s.MenuIntroPhase, 0);
    EXPECT_EQ(s.ScreenSprites.Button(1)->X, 556);
    Game.Tick();
    EXPECT_EQ(s.ActiveButton, 1);
    EXPECT_TRUE(Button(Game, 1)->Highlighted);
    EXPECT_TRUE(s.ScreenSprites.TitleCaption->Visible);
}

TEST_F(MenusTest, PointerRestingOnASlidingButtonDoesNotHighlightIt) {
    Game.MouseMove(kColumnX, kButtonY[4]); // before the column arrives
    FinishIntro();
    EXPECT_EQ(Game.Screen().ActiveButton, 1);
    Game.MouseMove(kColumnX + 1, kButtonY[4]);
    EXPECT_EQ(Game.Screen().ActiveButton, 4);
}

// ---- Keyboard stepping ----------------------------------------------------------------

TEST_F(MenusTest, OneStepPerPressWrappingAtBothEnds) {
    FinishIntro();
    auto& s = Game.Screen();
    Game.KeyDown(vk::Down);
    Game.Tick(10);
    EXPECT_EQ(s.ActiveButton, 2) << "held for ten ticks: one step";
    Game.KeyUp(vk::Down);
    Game.Tick();
    Press(vk::Down);
    EXPECT_EQ(s.ActiveButton, 3);
    Press(vk::Numpad8);
    EXPECT_EQ(s.ActiveButton, 2) << "numeric-pad 8 is Up too";
    Press(vk::Up);
    Press(vk::Up);
    EXPECT_EQ(s.ActiveButton, 6) << "Up from the first wraps to the last";
    Press(vk::Down);
    EXPECT_EQ(s.ActiveButton, 1) << "Down from the last wraps to the first";
}

TEST_F(MenusTest, TitleCaptionNamesTheHighlightedButton) {
    FinishIntro();
    const char* captions[7] = {nullptr, "StartC", "OptionsC", "HSC", "HelpC", "VisitWWWC", "ExitC"};
    auto* title = Game.Screen().ScreenSprites.TitleCaption;
    for (int i = 1; i <= 6; ++i) {
        Game.MouseMove(kColumnX, kButtonY[i]);
        Game.Tick();
        ASSERT_NE(title->Image, nullptr);
        EXPECT_EQ(title->Image->Name(), captions[i]);
        EXPECT_TRUE(title->Visible);
    }
}

struct NoSelectionCase {
    const char* name;
    int key;
    int expected;
};

class NoSelectionTest : public MenusTest, public ::testing::WithParamInterface<NoSelectionCase> {};

TEST_P(NoSelectionTest, StepsFromTheFirstButton) {
    FinishIntro();
    Game.Screen().ActiveButton = 0;
    Game.Tick();
    EXPECT_FALSE(Game.Screen().ScreenSprites.TitleCaption->Visible);
    Press(GetParam().key);
    EXPECT_EQ(Game.Screen().ActiveButton, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Keys, NoSelectionTest,
                         ::testing::Values(NoSelectionCase{"Down", vk::Down, 2},
                                           NoSelectionCase{"Up", vk::Up, 6}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MenusTest, HelpScreenStepsWithoutWrapAndTurnsThePageAtTheEnds) {
    OpenFromMainMenu(4, gsHelp);
    auto& s = Game.Screen();
    auto& menus = Game.Menus();
    ASSERT_EQ(s.ActiveButton, 8);
    ASSERT_EQ(menus.HelpPage, 1);

    Press(vk::Right);
    EXPECT_EQ(menus.HelpPage, 2) << "Right on Next turns the page";
    EXPECT_EQ(s.ActiveButton, 8);
    Press(vk::Right);
    Press(vk::Right);
    EXPECT_EQ(menus.HelpPage, 1) << "3 wraps to 1";

    Press(vk::Left);
    EXPECT_EQ(s.ActiveButton, 7) << "Left on Next only moves the highlight";
    EXPECT_EQ(menus.HelpPage, 1);
    Press(vk::Left);
    EXPECT_EQ(menus.HelpPage, 3) << "Left on Previous turns back, 1 wraps to 3";
    Press(vk::Right);
    EXPECT_EQ(s.ActiveButton, 8) << "Right on Previous only moves the highlight";
    EXPECT_EQ(menus.HelpPage, 3);
    EXPECT_EQ(Game.TickView().GameScreen, gsHelp);

    Press(vk::Escape);
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu);
    EXPECT_EQ(s.ActiveButton, 4) << "back with the screen's own button highlighted";
}

TEST_F(MenusTest, DoubleClickOnNextTurnsTwoPages) {
    OpenFromMainMenu(4, gsHelp);
    Game.Click(450, 515);
    TPlatformEvent second;
    second.Kind = TPlatformEventKind::MouseDblClick;
    second.X = 450;
    second.Y = 515;
    Game.Platform().Push(second);
    Game.Pump();
    EXPECT_EQ(Game.Menus().HelpPage, 3);
}

// ---- Leaving sub-screens ----------------------------------------------------------------

struct SubScreenCase {
    const char* name;
    int button;
    int32_t screen;
    int pointAt; // another main-menu button
};

class LeaveSubScreenTest : public MenusTest, public ::testing::WithParamInterface<SubScreenCase> {};

TEST_P(LeaveSubScreenTest, PointingAtAnotherMainButtonClosesItInOneTick) {
    const SubScreenCase& c = GetParam();
    OpenFromMainMenu(c.button, c.screen);
    const int sprites = Game.Form().MSpriteEngine().Engine().ChildCount();
    Game.MouseMove(kColumnX, kButtonY[c.pointAt]);
    EXPECT_EQ(Game.TickView().GameScreen, c.screen) << "the move alone changes nothing";
    Game.Tick();
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu);
    EXPECT_EQ(Game.Screen().ActiveButton, c.pointAt);
    EXPECT_LT(Game.Form().MSpriteEngine().Engine().ChildCount(), sprites) << "its sprites are freed";
    Game.Tick(5);
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu) << "a second pointing or a click opens the next one";
}

INSTANTIATE_TEST_SUITE_P(Screens, LeaveSubScreenTest,
                         ::testing::Values(SubScreenCase{"Options", 2, gsOptions, 4},
                                           SubScreenCase{"HighScores", 3, gsHighScores, 1},
                                           SubScreenCase{"Help", 4, gsHelp, 6},
                                           SubScreenCase{"BoatSelect", 1, gsBoatSelect, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MenusTest, EscapeReturnsWithTheScreensOwnButtonAndWithoutRestartingTheIntro) {
    OpenFromMainMenu(3, gsHighScores);
    Press(vk::Escape);
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu);
    EXPECT_EQ(Game.Screen().ActiveButton, 3);
    EXPECT_EQ(Game.Screen().MenuIntroPhase, 0);
    EXPECT_EQ(Game.Screen().ScreenSprites.Button(1)->X, 556);
}

// ---- Questions ----------------------------------------------------------------------------

TEST_F(MenusTest, ExitQuestionFreezesTheScreenAndNoRestoresTheSelection) {
    Game.Tick(3); // the panels are moving
    TSprite* upper = Game.Screen().ScreenSprites.UpperPanel;
    Game.PushEvent(TPlatformEventKind::CloseRequest);
    ASSERT_EQ(Game.TickView().MessageMode, msgExitGame);
    const double y = upper->Y;
    Game.Tick(20);
    EXPECT_EQ(upper->Y, y) << "the intro stands still under the question";
    Press('N');
    EXPECT_EQ(Game.TickView().MessageMode, msgNone);
    Game.Tick();
    EXPECT_GT(upper->Y, y) << "and goes on after it";

    // From the options screen: its selection range and highlight come back.
    OpenFromMainMenu(2, gsOptions);
    Press(vk::Down);
    ASSERT_EQ(Game.Screen().ActiveButton, 8);
    Game.PushEvent(TPlatformEventKind::CloseRequest);
    Game.MouseMove(5, 5);
    EXPECT_EQ(Game.Screen().ActiveButton, 0) << "off the question's buttons: nothing highlighted";
    Game.Tick();
    Game.Click(320, 350); // no: the question stands beside the button column
    EXPECT_EQ(Game.TickView().MessageMode, msgNone);
    auto& s = Game.Screen();
    EXPECT_EQ(s.ActiveButton, 8);
    EXPECT_EQ(s.ButtonCount, 10);
    EXPECT_EQ(s.FirstButton, 7);
    EXPECT_EQ(s.LastButton, 10);
    EXPECT_EQ(Game.TickView().GameScreen, gsOptions);
    EXPECT_FALSE(Game.Form().Terminated());
}

TEST_F(MenusTest, ClearTableQuestionHidesTheTableTextAndYesResetsIt) {
    Game.Menus().Table.Entry(1).EntryName = "ACE";
    Game.Menus().Table.Entry(1).EntryScore = 7777;
    OpenFromMainMenu(3, gsHighScores);
    EXPECT_GT(TableTextPixels(), 20) << "the ranks are drawn";

    Game.Click(270, 494); // clear
    ASSERT_EQ(Game.TickView().MessageMode, msgClearTable);
    Game.Tick();
    EXPECT_EQ(TableTextPixels(), 0) << "no table text under the question";
    Press('N');
    EXPECT_EQ(Game.TickView().MessageMode, msgNone);
    EXPECT_EQ(Game.Menus().Table.Entry(1).EntryScore, 7777) << "no keeps the table";
    EXPECT_EQ(Game.TickView().GameScreen, gsHighScores);
    EXPECT_GT(TableTextPixels(), 20);

    Game.Click(270, 494);
    ASSERT_EQ(Game.TickView().MessageMode, msgClearTable);
    Press('Y');
    EXPECT_EQ(Game.TickView().MessageMode, msgNone);
    EXPECT_EQ(Game.Menus().Table.Entry(1).EntryName, "ANONYMOUS");
    EXPECT_EQ(Game.Menus().Table.Entry(1).EntryScore, 5000);
    EXPECT_EQ(Game.TickView().GameScreen, gsHighScores);
    EXPECT_EQ(Game.Screen().ActiveButton, 7) << "the clear button is highlighted again";
}

// ---- Options -------------------------------------------------------------------------------

TEST_F(MenusTest, OptionsTextFieldTakesLettersAndSpacesUpToTen) {
    OpenFromMainMenu(2, gsOptions);
    auto& text = Game.Shell().GameOptions.AddInfo;
    ASSERT_EQ(text, "_______");

    Game.TypeText("abc");
    EXPECT_EQ(text, "_______") << "no editing before the field is opened";
    Game.KeyDown(vk::Back);
    Game.KeyUp(vk::Back);
    EXPECT_EQ(text, "_______") << "Backspace only edits on the options screen";
    EXPECT_EQ(Game.TickView().GameScreen, gsOptions);

    Game.Click(20, kOptionRowY[3]);
    ASSERT_TRUE(Game.Menus().TextEditing);
    for (int i = 0; i < 7; ++i) {
        Game.KeyDown(vk::Back);
        Game.KeyUp(vk::Back);
    }
    EXPECT_EQ(text, "");
    Game.KeyDown(vk::Back);
    Game.KeyUp(vk::Back);
    EXPECT_EQ(text, "") << "an empty text stays empty";
    Game.TypeText("Ab1-c.D!?e");
    EXPECT_EQ(text, "AbcDe") << "digits and punctuation are ignored, lower case is kept";
    Game.TypeText(" fg\xC3\xA9hijkl");
    EXPECT_EQ(text, "AbcDe fghi") << "ten characters at most";
    Game.KeyDown(vk::Back);
    Game.KeyUp(vk::Back);
    EXPECT_EQ(text, "AbcDe fgh");
    Game.TypeText("Z");
    EXPECT_EQ(text, "AbcDe fghZ");

    // The cursor blinks while editing; moving off the row ends editing and hides it.
    TSprite* cursor = Game.Menus().OptionsCursor;
    ASSERT_NE(cursor, nullptr);
    bool seen = false;
    for (int i = 0; i < 70 && !seen; ++i) {
        Game.Tick();
        seen = cursor->Visible;
    }
    EXPECT_TRUE(seen) << "the cursor shows within a blink";
    Press(vk::Up);
    EXPECT_FALSE(Game.Menus().TextEditing);
    EXPECT_FALSE(cursor->Visible);
    Game.TypeText("x");
    EXPECT_EQ(text, "AbcDe fghZ");
}

TEST_F(MenusTest, OptionRowsToggleAndEscapeCloses) {
    OpenFromMainMenu(2, gsOptions);
    auto& o = Game.Shell().GameOptions;
    Game.Click(20, kOptionRowY[1]);
    EXPECT_FALSE(o.MusicOn);
    Game.Click(20, kOptionRowY[2]);
    EXPECT_FALSE(o.SoundOn);
    Game.Click(20, kOptionRowY[2]);
    EXPECT_TRUE(o.SoundOn);
    Game.Click(20, kOptionRowY[0]);
    EXPECT_TRUE(o.FullScreen);
    EXPECT_TRUE(Game.Platform().IsFullScreen());
    Game.Tick();
    EXPECT_EQ(Game.TickView().GameScreen, gsOptions) << "the screen survives the display switch";
    Press(vk::Escape);
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu);
    EXPECT_EQ(Game.Screen().ActiveButton, 2);
}

// ---- Return from a race ---------------------------------------------------------------

TEST_F(MenusTest, FollowUpThreeHighlightsHighScoresSilentlyAndOpensTheTable) {
    FinishIntro();
    // What the end of a race does, without the race.
    Game.Menus().FreeMainMenu();
    Game.Menus().BuildMainMenu(true, fuHighScores);
    EXPECT_EQ(Game.Screen().ActiveButton, 3);
    EXPECT_EQ(Game.Screen().MenuIntroPhase, 1);
    Game.SilenceSound("B_Act");

    ASSERT_TRUE(Game.RunUntil([&] { return Game.Screen().MenuIntroPhase == 0; }, 1000));
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu) << "not before the intro is over";
    Game.Tick();
    EXPECT_TRUE(Button(Game, 3)->Highlighted);
    EXPECT_FALSE(Game.SoundPlaying("B_Act")) << "the first highlight is silent";
    EXPECT_EQ(Game.TickView().GameScreen, gsHighScores);
    Game.Tick();
    EXPECT_TRUE(Game.SoundPlaying("B_Act")) << "later highlight changes sound";
}
