#include "menus/Menus.h"

#include "context/GameContext.h"
#include "context/InterfaceSprites.h"
#include "context/ScreenState.h"
#include "engine/platform/KeyCodes.h"
#include "menus/ReplayUploader.h"

// What the menu screens share: the one table that leads to the open screen's procedures, and
// the frame a sub-screen sits in beside the main menu.

namespace {
// One row per menu screen. A screen without Close is never left without its own way back.
struct TMenuScreen {
    TGameScreen Screen;
    void (TMenus::*Tick)(int lagCount);
    void (TMenus::*Click)(bool fromKeyboard);
    bool (TMenus::*Escape)();
    void (TMenus::*Close)();
    void (TMenus::*KeyPress)(char key);
};

constexpr TMenuScreen kMenuScreens[] = {
    {gsMainMenu, &TMenus::MainMenuTick, &TMenus::MainMenuClick, &TMenus::MainMenuEscape, nullptr,
     &TMenus::ControlKeyPress},
    {gsOptions, &TMenus::OptionsTick, &TMenus::OptionsClick, &TMenus::OptionsEscape,
     &TMenus::CloseOptionsScreen, &TMenus::OptionsKeyPress},
    {gsHighScores, &TMenus::HighScoreTick, &TMenus::HighScoreClick, &TMenus::HighScoreEscape,
     &TMenus::CloseHighScoreScreen, &TMenus::ControlKeyPress},
    {gsHelp, &TMenus::HelpTick, &TMenus::HelpClick, &TMenus::HelpEscape, &TMenus::CloseHelpScreen,
     &TMenus::ControlKeyPress},
    {gsBoatSelect, &TMenus::BoatSelectTick, &TMenus::BoatSelectClick, &TMenus::BoatSelectEscape,
     &TMenus::CloseBoatScreen, &TMenus::ControlKeyPress},
};

const TMenuScreen* FindMenuScreen(TGameScreen screen) {
    for (const TMenuScreen& entry : kMenuScreens) {
        if (entry.Screen == screen) {
            return &entry;
        }
    }
    return nullptr;
}
} // namespace

TMenus::TMenus(TGameContext& context) : m_context(context) {}

TMenus::~TMenus() = default;

bool TMenus::IsMainButton(int32_t slot) {
    return slot >= ScreenSlot::FirstMainButton && slot <= ScreenSlot::LastMainButton;
}

TMenuButton* TMenus::Button(int32_t slot) {
    return m_context.Screen().ScreenSprites.Button(slot);
}

std::string TMenus::SavePath(const char* name) const {
    return m_context.Config().DataDir + "/Save/" + name;
}

std::string TMenus::HomePageUrl() const {
    return m_context.Config().HomeUrl;
}

// ---- The open screen ------------------------------------------------------------------

bool TMenus::IsMenuScreen(TGameScreen screen) {
    return FindMenuScreen(screen) != nullptr;
}

void TMenus::ScreenTick(int lagCount) {
    if (const TMenuScreen* open = FindMenuScreen(m_context.TickView().GameScreen)) {
        (this->*open->Tick)(lagCount);
    }
}

void TMenus::MenuButtonClick(bool fromKeyboard) {
    if (const TMenuScreen* open = FindMenuScreen(m_context.TickView().GameScreen)) {
        (this->*open->Click)(fromKeyboard);
    }
}

bool TMenus::ScreenEscape() {
    const TMenuScreen* open = FindMenuScreen(m_context.TickView().GameScreen);
    // Off the menus, Esc is an ordinary click that nothing answers.
    return open ? (this->*open->Escape)() : true;
}

void TMenus::ScreenKeyPress(char key) {
    const TMenuScreen* open = FindMenuScreen(m_context.TickView().GameScreen);
    (this->*(open ? open->KeyPress : &TMenus::ControlKeyPress))(key);
}

bool TMenus::IsControlKey(char key) {
    const int code = static_cast<unsigned char>(key);
    return code == vk::Return || code == vk::Escape || code == vk::Back;
}

void TMenus::ControlKeyPress(char key) {
    // Enter, Esc and Backspace click the highlighted button (Esc first moves the highlight to the
    // button it stands for); other characters do nothing here.
    if (!IsControlKey(key)) {
        return;
    }
    if (static_cast<unsigned char>(key) == vk::Escape && !ScreenEscape()) {
        return;
    }
    m_context.ButtonClick(true);
}

void TMenus::CloseScreen() {
    const TMenuScreen* open = FindMenuScreen(m_context.TickView().GameScreen);
    if (open && open->Close) {
        (this->*open->Close)();
    }
}

// ---- A sub-screen's frame -------------------------------------------------------------

void TMenus::SetSubScreen(TGameScreen screen, int32_t buttonCount, int32_t first, int32_t last,
                          int32_t active) {
    auto& s = m_context.Screen();
    m_context.ChangeScreen(screen);
    s.ButtonCount = buttonCount;
    s.FirstButton = first;
    s.LastButton = last;
    s.ActiveButton = active;
    MuteNextHighlight = false;
    if (TCaptionSprite* title = s.ScreenSprites.TitleCaption) {
        title->Visible = false;
    }
    m_context.SetTimerEnabled(true);
}

TCaptionSprite* TMenus::NewSubScreenTitle(const std::string& imageName) {
    auto* title = new TCaptionSprite(m_context, imageName);
    title->X = kSubScreenX;
    title->Y = kSubScreenY;
    title->SetZ(kSubScreenZ);
    return title;
}

void TMenus::LightMainButton(int32_t slot) {
    if (TMenuButton* b = Button(slot)) {
        b->ShowActive();
    }
}

bool TMenus::LeaveForOtherMainButton(int32_t ownButton) {
    const int32_t active = m_context.Screen().ActiveButton;
    return IsMainButton(active) && active != ownButton;
}

void TMenus::BackToMainMenu() {
    m_context.BuildMainMenu(false, fuNone);
}
