#include "context/DataNames.h"
#include "menus/Menus.h"

#include "context/Frame.h"
#include "context/GameAudio.h"
#include "context/GameContext.h"
#include "context/GameText.h"
#include "context/InterfaceSprites.h"
#include "context/ScreenState.h"
#include "engine/platform/KeyCodes.h"
#include "menus/OptionsFile.h"
#include "menus/TextEdit.h"

#include <cctype>

// The options screen: its rows and buttons, the switches and the free text field.

namespace {
constexpr int kOptionRowX = 14;
constexpr int kOptionRowY[4] = {180, 240, 300, 360};
constexpr int kTextFieldX = 265;
constexpr int kTextFieldY = 357;
constexpr int kCursorX = 264;
constexpr int kCursorY = 381;
constexpr int kCursorZ = 5;
} // namespace

void TMenus::OpenOptionsScreen() {
    auto& s = m_context.Screen();
    static constexpr const char* kRows[4] = {PictureName::Options1_1, PictureName::Options2_1,
                                             PictureName::Options3_1, PictureName::Options4};
    for (int r = 0; r < 4; ++r) {
        OptionRows[r] = new TCaptionSprite(m_context, kRows[r]);
        OptionRows[r]->X = kOptionRowX;
        OptionRows[r]->Y = kOptionRowY[r];
    }
    RefreshOptionCaptions();
    for (int r = 0; r < 4; ++r) {
        s.ScreenSprites.Buttons[ScreenSlot::FullScreen + r] = new TMenuButton(
            m_context, PictureName::OptButton_A, PictureName::OptButton_I, 0, 0, kOptionRowX, kOptionRowY[r]);
    }
    SubScreenTitle = NewSubScreenTitle(PictureName::OptionsB);
    auto* cursor = new TCaptionSprite(m_context, PictureName::Cursor);
    cursor->X = kCursorX;
    cursor->Y = kCursorY;
    cursor->SetZ(kCursorZ);
    cursor->Visible = false;
    OptionsCursor = cursor;
    CursorBlinkMs = 0;
    TextEditing = false;
    SetSubScreen(gsOptions, ScreenSlot::TextLine, ScreenSlot::FullScreen, ScreenSlot::TextLine,
                 ScreenSlot::FullScreen);
}

void TMenus::CloseOptionsScreen() {
    for (auto*& row : OptionRows) {
        delete row;
        row = nullptr;
    }
    for (int32_t slot = ScreenSlot::FullScreen; slot <= ScreenSlot::TextLine; ++slot) {
        m_context.Screen().FreeButton(slot);
    }
    delete SubScreenTitle;
    SubScreenTitle = nullptr;
    delete OptionsCursor;
    OptionsCursor = nullptr;
    TextEditing = false;
    m_context.SetTimerEnabled(false);
    // The player is done with the options: they are on disk from here, whatever ends the game.
    SaveEarned();
}

void TMenus::OptionsTick(int lagCount) {
    UpdateButtonHighlight();
    NavigateVertical(true);
    LightMainButton(ScreenSlot::Options);
    if (m_context.Screen().ActiveButton != ScreenSlot::TextLine && TextEditing) {
        StopTextEditing();
    }
    if (LeaveForOtherMainButton(ScreenSlot::Options)) {
        CloseOptionsScreen();
        BackToMainMenu();
        return;
    }
    m_context.Frame().DrawFrame(lagCount, true);
    if (TextEditing) {
        BlinkCursor();
    }
    RefreshOptionCaptions();
    m_context.Frame().PresentFrame();
}

void TMenus::ToggleFullScreen() {
    m_context.Shell().GameOptions.FullScreen = !m_context.Shell().GameOptions.FullScreen;
    m_context.ApplyDisplayMode();
}

void TMenus::RefreshOptionCaptions() {
    const TGameOptions& o = m_context.Shell().GameOptions;
    m_context.Text().SetTextFont(3);
    const char* wanted[3] = {o.FullScreen ? PictureName::Options1_2 : PictureName::Options1_1,
                             o.MusicOn ? PictureName::Options2_1 : PictureName::Options2_2,
                             o.SoundOn ? PictureName::Options3_1 : PictureName::Options3_2};
    for (int r = 0; r < 3; ++r) {
        if (OptionRows[r]) {
            OptionRows[r]->SetImage(wanted[r]);
        }
    }
    m_context.Text().DrawText(o.AddInfo, kTextFieldX, kTextFieldY, false);
}

void TMenus::StartTextEditing() {
    if (TCaptionSprite* cursor = OptionsCursor) {
        cursor->X = kCursorX;
        cursor->Y = kCursorY;
    }
    CursorBlinkMs = kCursorBlinkMs;
    TextEditing = true;
}

void TMenus::StopTextEditing() {
    TextEditing = false;
    if (TCaptionSprite* cursor = OptionsCursor) {
        cursor->Visible = false;
    }
}

void TMenus::BlinkCursor() {
    TCaptionSprite* cursor = OptionsCursor;
    if (!cursor) {
        return;
    }
    int32_t& blink = CursorBlinkMs;
    cursor->X = m_context.Text().TextWidth(m_context.Shell().GameOptions.AddInfo) + kCursorX;
    if (cursor->Visible) {
        blink -= kFrameTickMs;
        if (blink <= 0) {
            cursor->Visible = false;
            blink = kCursorBlinkMs;
        }
    }
    if (!cursor->Visible) {
        blink -= kFrameTickMs;
        if (blink <= 0) {
            cursor->Visible = true;
            blink = kCursorBlinkMs;
        }
    }
}

void TMenus::OptionsKeyPress(char key) {
    const int code = static_cast<unsigned char>(key);
    if (!TextEditing && !IsControlKey(key)) {
        return;
    }
    if (code == vk::Return) {
        m_context.ButtonClick(false);
    }
    if (code == vk::Escape) {
        ScreenEscape();
        m_context.ButtonClick(false);
        return;
    }
    if (m_context.Screen().ActiveButton == ScreenSlot::TextLine && TextEditing) {
        TypeIntoTextLine(key);
    }
}

void TMenus::TypeIntoTextLine(char key) {
    std::string& text = m_context.Shell().GameOptions.AddInfo;
    if (key == 8) {
        text = DeleteLastChar(text);
        return;
    }
    char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
    if ((upper >= 'A' && upper <= 'Z') || key == ' ') {
        text = AppendChar(text, key, kAddInfoMax);
    }
}

void TMenus::OptionsClick(bool) {
    const int32_t active = m_context.Screen().ActiveButton;
    switch (active) {
    case ScreenSlot::FullScreen:
        ToggleFullScreen();
        break;
    case ScreenSlot::Music:
        m_context.Audio().ToggleMusic();
        break;
    case ScreenSlot::Sound:
        m_context.Audio().ToggleSound();
        break;
    case ScreenSlot::TextLine:
        if (TextEditing) {
            StopTextEditing();
        } else {
            StartTextEditing();
        }
        break;
    default:
        break;
    }
    if (active != ScreenSlot::TextLine) {
        StopTextEditing();
    }
    if (active == ScreenSlot::Options) {
        CloseOptionsScreen();
        BackToMainMenu();
    }
}

bool TMenus::OptionsEscape() {
    m_context.Screen().ActiveButton = ScreenSlot::Options;
    return true;
}
