#include "Previews.h"

#include <array>
#include <string>

namespace datagen {

namespace {

constexpr int kButtonColumnX = 556;
constexpr std::array<int, 5> kMenuButtonY{114, 174, 237, 299, 361};
constexpr int kExitButtonY = 423;
constexpr std::array<const char*, 6> kCaptions{"StartC", "OptionsC", "HSC", "HelpC", "VisitWWWC", "ExitC"};
// A question over the menus sits on the sub-screens' middle, beside the button column.
constexpr int kMenuQuestionCentreX = 282;

// The main menu after its intro; button 1..6 highlighted, 0 for none.
void DrawMainMenu(PreviewCanvas& c, const PictureSet& s, int active, bool showCaption) {
    c.Tile(s, "MMBackground", 0, 0);
    // Captions (depth 3) in creation order: title caption, then the two panels.
    if (showCaption)
        c.Draw(s, active >= 1 && active <= 6 ? kCaptions[active - 1] : "NullCaption", 27, 190);
    c.Draw(s, "UpPanel", 0, 0);
    c.Draw(s, "DownPanel", 800 - c.Width(s, "DownPanel"), 600 - c.Height(s, "DownPanel"));
    for (int i = 0; i < 5; ++i)
        c.Draw(s, active == i + 1 ? "MMB_Active" : "MMB_Inactive", kButtonColumnX, kMenuButtonY[i], i);
    c.Draw(s, active == 6 ? "MM_ExitActive" : "MM_ExitInactive", kButtonColumnX, kExitButtonY);
}

// Sub-screens keep the main-menu column; their own title lies below the panels.
void DrawSubScreenBase(PreviewCanvas& c, const PictureSet& s, const char* title) {
    c.Tile(s, "MMBackground", 0, 0);
    c.Draw(s, title, 12, 106);
    c.Draw(s, "UpPanel", 0, 0);
    c.Draw(s, "DownPanel", 800 - c.Width(s, "DownPanel"), 600 - c.Height(s, "DownPanel"));
}

void DrawMenuColumn(PreviewCanvas& c, const PictureSet& s, int menuButton) {
    for (int i = 0; i < 5; ++i)
        c.Draw(s, menuButton == i + 1 ? "MMB_Active" : "MMB_Inactive", kButtonColumnX, kMenuButtonY[i], i);
    c.Draw(s, menuButton == 6 ? "MM_ExitActive" : "MM_ExitInactive", kButtonColumnX, kExitButtonY);
}

} // namespace

void DimBehindQuestion(PreviewCanvas& c, double left, double right) {
    c.Shade(left, 0, right - left, 600, 0x081430, 120.0 / 255);
}

void DrawQuestionWindow(PreviewCanvas& c, const PictureSet& windowSet, int centreX) {
    c.Draw(windowSet, "Window", centreX - c.Width(windowSet, "Window") / 2,
           300 - c.Height(windowSet, "Window") / 2);
}

namespace {

// The exit and clear-table questions: the menu dimmed, the window and its buttons over it.
void DrawMenuQuestion(PreviewCanvas& c, const PictureSet& s) {
    DimBehindQuestion(c, 0, 800);
    DrawQuestionWindow(c, s, kMenuQuestionCentreX);
    c.Draw(s, "YesButton", kMenuQuestionCentreX - 85, 344, 1);
    c.Draw(s, "NoButton", kMenuQuestionCentreX + 22, 344, 0);
}

void Options(const PictureSet& s, const std::filesystem::path& dir, std::set<std::string>& missing,
             bool alternate) {
    PreviewCanvas c;
    DrawSubScreenBase(c, s, "OptionsB");
    const char* rows[3][2] = {
        {"Options1_1", "Options1_2"}, {"Options2_1", "Options2_2"}, {"Options3_1", "Options3_2"}};
    for (int i = 0; i < 3; ++i)
        c.Draw(s, rows[i][alternate ? 1 : 0], 14, 180 + 60 * i);
    c.Draw(s, "Options4", 14, 360);
    const int active = alternate ? 10 : 7;
    for (int b = 7; b <= 10; ++b)
        c.Draw(s, b == active ? "OptButton_A" : "OptButton_I", 14, 180 + 60 * (b - 7));
    DrawMenuColumn(c, s, 2);
    const std::string info = alternate ? "WWWWWWWWWW" : "Summer Run";
    c.Text(3, info, 265, 357);
    c.Draw(s, "Cursor", 264 + c.TextWidth(3, info), 381);
    c.Save(dir / (alternate ? "options_2.png" : "options_1.png"));
    missing.insert(c.Missing().begin(), c.Missing().end());
}

void HighScores(const PictureSet& s, const std::filesystem::path& dir, std::set<std::string>& missing,
                bool clearQuestion) {
    PreviewCanvas c;
    DrawSubScreenBase(c, s, "HSB");
    // "Clear table" on the centre line of "World high scores" below it.
    c.Draw(s, "ClearHS", 208, 488, clearQuestion ? 1 : 0);
    c.Draw(s, "ViewHS", 148, 530, clearQuestion ? 0 : 1);
    DrawMenuColumn(c, s, 3);
    if (clearQuestion) {
        DrawMenuQuestion(c, s);
        c.Text(10, "Do you want to clear", kMenuQuestionCentreX, 237, true);
        c.Text(10, "the High Score Table?", kMenuQuestionCentreX, 287, true);
    } else {
        for (int n = 1; n <= 3; ++n)
            c.Draw(s, "Medals", 30, 124 + 32 * n, n - 1);
        // Widest names the game accepts, and the default entries.
        const std::array<const char*, 10> names{"WWWWWWWWWW", "Marguerite", "ANONYMOUS", "ANONYMOUS",
                                                "Jo",         "ANONYMOUS",  "ANONYMOUS", "MMMMMMMMMM",
                                                "ANONYMOUS",  "ANONYMOUS"};
        const std::array<int, 10> points{65535, 12840, 4000, 3500, 3000, 2500, 2000, 1500, 1000, 500};
        for (int n = 1; n <= 10; ++n) {
            int y = 120 + 32 * n;
            c.Text(1, std::to_string(n), 62, y, true);
            c.Text(1, names[n - 1], 214, y, true);
            c.Text(1, std::to_string(points[n - 1]), 435, y, true);
        }
    }
    c.Save(dir / (clearQuestion ? "highscores_clear.png" : "highscores.png"));
    missing.insert(c.Missing().begin(), c.Missing().end());
}

} // namespace

void WriteMenuPreviews(const PictureSet& s, const std::filesystem::path& dir,
                       std::set<std::string>& missing) {
    for (int active = 1; active <= 6; ++active) {
        PreviewCanvas c;
        DrawMainMenu(c, s, active, true);
        c.Save(dir / ("mainmenu_" + std::to_string(active) + ".png"));
        missing.insert(c.Missing().begin(), c.Missing().end());
    }
    {
        PreviewCanvas c;
        DrawMainMenu(c, s, 0, true);
        c.Save(dir / "mainmenu_none.png");
        missing.insert(c.Missing().begin(), c.Missing().end());
    }
    {
        PreviewCanvas c;
        DrawMainMenu(c, s, 6, true);
        DrawMenuQuestion(c, s);
        c.Text(7, "Exit the game?", kMenuQuestionCentreX, 257, true);
        c.Save(dir / "exit_question.png");
        missing.insert(c.Missing().begin(), c.Missing().end());
    }
    Options(s, dir, missing, false);
    Options(s, dir, missing, true);
    HighScores(s, dir, missing, false);
    HighScores(s, dir, missing, true);
    for (int page = 1; page <= 3; ++page) {
        PreviewCanvas c;
        std::string title = "Help" + std::to_string(page);
        DrawSubScreenBase(c, s, title.c_str());
        // Previous and Next: pattern 1 lit, 0 plain, like the other sub-screen buttons.
        c.Draw(s, "Previous", 160, 510, page == 1 ? 1 : 0);
        c.Draw(s, "Next", 446, 510, page == 1 ? 0 : 1);
        DrawMenuColumn(c, s, 4);
        c.Save(dir / ("help" + std::to_string(page) + ".png"));
        missing.insert(c.Missing().begin(), c.Missing().end());
    }
    for (int chosen = 1; chosen <= 3; ++chosen) {
        PreviewCanvas c;
        DrawSubScreenBase(c, s, "StartGameB");
        const std::array<int, 3> xs{28, 195, 370};
        for (int b = 1; b <= 3; ++b) {
            std::string name = "MenuBoat" + std::to_string(b) + (b == chosen ? "_A" : "_I");
            c.Draw(s, name, xs[b - 1], 192);
        }
        DrawMenuColumn(c, s, 1);
        c.Save(dir / ("boats_" + std::to_string(chosen) + ".png"));
        missing.insert(c.Missing().begin(), c.Missing().end());
    }
}

} // namespace datagen
