#include "menus/Menus.h"

#include "context/DataNames.h"
#include "context/Frame.h"
#include "context/GameContext.h"
#include "context/InterfaceSprites.h"
#include "context/ScreenState.h"

// The high-score screen: the table beside the main menu, and its buttons to clear it and to
// see the world's table.

namespace {
// The two buttons, one above the other on one centre line.
constexpr int kWorldTableX = 148;
constexpr int kWorldTableY = 530;
constexpr int kWorldTableWidth = 250;
constexpr int kClearTableWidth = 130;
constexpr int kClearTableX = kWorldTableX + (kWorldTableWidth - kClearTableWidth) / 2;
constexpr int kClearTableY = 488;
constexpr const char* kWorldHighScorePath = "/cgi/version.pl?prg=Spraydash&show&type=0";
} // namespace

std::string TMenus::WorldHighScoreUrl() const {
    std::string base = m_context.Config().ScoreServer;
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    return base + kWorldHighScorePath;
}

void TMenus::OpenHighScoreScreen() {
    auto& s = m_context.Screen();
    SubScreenTitle = NewSubScreenTitle(PictureName::HSB);
    s.ScreenSprites.Buttons[ScreenSlot::ClearTable] = new TMenuButton(
        m_context, PictureName::ClearHS, PictureName::ClearHS, 1, 0, kClearTableX, kClearTableY);
    s.ScreenSprites.Buttons[ScreenSlot::WorldTable] = new TMenuButton(
        m_context, PictureName::ViewHS, PictureName::ViewHS, 1, 0, kWorldTableX, kWorldTableY);
    SetSubScreen(gsHighScores, ScreenSlot::WorldTable, ScreenSlot::ClearTable, ScreenSlot::WorldTable,
                 ScreenSlot::WorldTable);
}

void TMenus::CloseHighScoreScreen() {
    // The help screen's two buttons sit in the same slots.
    m_context.Screen().FreeButton(ScreenSlot::ClearTable);
    m_context.Screen().FreeButton(ScreenSlot::WorldTable);
    TScreenState::FreeCaption(SubScreenTitle);
    m_context.SetTimerEnabled(false);
}

void TMenus::HighScoreTick(int lagCount) {
    UpdateButtonHighlight();
    NavigateVertical(true);
    LightMainButton(ScreenSlot::HighScores);
    if (LeaveForOtherMainButton(ScreenSlot::HighScores)) {
        CloseHighScoreScreen();
        BackToMainMenu();
        return;
    }
    m_context.Frame().DrawFrame(lagCount, true);
    DrawHighScoreTable();
    m_context.Frame().PresentFrame();
}

void TMenus::HighScoreClick(bool) {
    const int32_t active = m_context.Screen().ActiveButton;
    if (active == ScreenSlot::ClearTable) {
        m_context.OpenMessage(msgClearTable);
    } else if (active == ScreenSlot::WorldTable) {
        m_context.OpenUrl(WorldHighScoreUrl());
    } else if (active != ScreenSlot::NoButton) {
        CloseHighScoreScreen();
        BackToMainMenu();
    }
}

bool TMenus::HighScoreEscape() {
    m_context.Screen().ActiveButton = ScreenSlot::HighScores;
    return true;
}
