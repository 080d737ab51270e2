#include "menus/Menus.h"

#include "context/DataNames.h"
#include "context/Frame.h"
#include "context/GameContext.h"
#include "context/InterfaceSprites.h"
#include "context/ScreenState.h"

// The help screen: its pages, turned with the two buttons or by stepping past either end.

namespace {
constexpr int32_t kHelpPageCount = 3;
constexpr const char* kHelpPages[kHelpPageCount + 1] = {nullptr, PictureName::Help1, PictureName::Help2,
                                                        PictureName::Help3};
} // namespace

void TMenus::ShowHelpPage() {
    if (SubScreenTitle) {
        SubScreenTitle->SetImage(kHelpPages[HelpPage]);
    }
}

void TMenus::OpenHelpScreen() {
    auto& s = m_context.Screen();
    HelpPage = 1;
    SubScreenTitle = NewSubScreenTitle(kHelpPages[HelpPage]);
    s.ScreenSprites.Buttons[ScreenSlot::PreviousPage] =
        new TMenuButton(m_context, PictureName::Previous, PictureName::Previous, 1, 0, 160, 510);
    s.ScreenSprites.Buttons[ScreenSlot::NextPage] =
        new TMenuButton(m_context, PictureName::Next, PictureName::Next, 1, 0, 446, 510);
    SetSubScreen(gsHelp, ScreenSlot::NextPage, ScreenSlot::PreviousPage, ScreenSlot::NextPage,
                 ScreenSlot::NextPage);
}

void TMenus::CloseHelpScreen() {
    CloseHighScoreScreen();
}

void TMenus::HelpTick(int lagCount) {
    UpdateButtonHighlight();
    NavigateHorizontal(false);
    if (NavHitEnd) {
        m_context.ButtonClick(false);
        NavHitEnd = false;
        if (m_context.TickView().GameScreen != gsHelp) {
            return;
        }
    }
    LightMainButton(ScreenSlot::Help);
    if (LeaveForOtherMainButton(ScreenSlot::Help)) {
        CloseHelpScreen();
        BackToMainMenu();
        return;
    }
    m_context.Frame().DrawFrame(lagCount, true);
    m_context.Frame().PresentFrame();
}

void TMenus::HelpClick(bool) {
    const int32_t active = m_context.Screen().ActiveButton;
    if (active == ScreenSlot::PreviousPage) {
        HelpPage = HelpPage == 1 ? kHelpPageCount : HelpPage - 1;
        ShowHelpPage();
    } else if (active == ScreenSlot::NextPage) {
        HelpPage = HelpPage == kHelpPageCount ? 1 : HelpPage + 1;
        ShowHelpPage();
    } else if (active != ScreenSlot::NoButton) {
        CloseHelpScreen();
        BackToMainMenu();
    }
}

bool TMenus::HelpEscape() {
    m_context.Screen().ActiveButton = ScreenSlot::Help;
    return true;
}
