#include "app/Messages.h"

#include "app/GameAudio.h"
#include "app/InterfaceSprites.h"
#include "app/MForm.h"
#include "app/Screens.h"
#include "engine/display/GameDraw.h"
#include "engine/gfx/Canvas.h"
#include "engine/sprite/Sprite.h"
#include "menus/Menus.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"

#include <cmath>

namespace {
constexpr int kCentreX = 400;
constexpr int kWindowX = 210;
constexpr int kWindowY = 200;
constexpr int kWindowZ = 5;
constexpr int kYesNoZ = 6;
constexpr int kCursorX = 217;
constexpr int kCursorY = 363;
constexpr int kCursorZ = 7;
constexpr int kCursorBlinkMs = 500;
constexpr int kLevelBannerMs = 2000;
constexpr int kTimeOverMs = 3000;
constexpr int kGameOverMs = 2000;

// Notices are written straight over the race; a dark rim keeps yellow readable on bright water.
constexpr int kNoticeOutlinePx = 2;
constexpr uint32_t kNoticeOutlineColor = RGBColor(10, 22, 48);

struct TFontSlot {
    const char* Name;
    int Size;
    uint8_t R, G, B;
    bool Bold;
    int OutlinePx = 0;
};
constexpr TFontSlot kFontSlots[13] = {
    {"Arial", 16, 3, 9, 255, false},
    {"DS Crystal", 16, 255, 255, 255, false},
    {"Arial", 20, 255, 180, 27, true},
    {"DS Crystal", 19, 11, 39, 210, false},
    {"DS Crystal", 19, 255, 255, 255, false},
    {"DS Crystal", 14, 11, 39, 210, false},
    {"Arial", 30, 255, 241, 0, false},
    {"Arial Black", 30, 11, 39, 210, false},
    {"Arial", 30, 255, 241, 0, false},
    {"Arial", 26, 255, 241, 0, false},
    {"Times New Roman", 30, 45, 91, 240, true},
    {"Arial", 24, 255, 241, 0, false},
    {"DS Crystal", 30, 255, 241, 0, false, kNoticeOutlinePx},
};

// The notices drawn over the race itself have no window and no buttons.
bool IsNotice(uint8_t mode) {
    return mode == msgLevel || mode == msgPause || mode == msgTimeOver || mode == msgGameOver;
}
} // namespace

TCanvas* TMessages::Canvas() {
    TDirectDrawSurface* surface = m_form.MDraw().Surface();
    return surface ? &surface->Canvas() : nullptr;
}

void TMessages::SetTextFont(int slot) {
    TCanvas* canvas = Canvas();
    if (!canvas || slot < 1 || slot > 13) {
        return;
    }
    const TFontSlot& f = kFontSlots[slot - 1];
    canvas->Font.Name = f.Name;
    canvas->Font.Size = f.Size;
    canvas->Font.Color = RGBColor(f.R, f.G, f.B);
    canvas->Font.Bold = f.Bold;
    canvas->Font.Pitch = TFontPitch::fpVariable;
    canvas->Font.OutlineWidth = f.OutlinePx;
    canvas->Font.OutlineColor = kNoticeOutlineColor;
    canvas->BrushStyle = TBrushStyle::bsClear;
}

void TMessages::DrawText(std::string_view text, int x, int y, bool centred) {
    TCanvas* canvas = Canvas();
    if (!canvas) {
        return;
    }
    int left = centred ? static_cast<int>(std::trunc(x - canvas->TextWidth(text) / 2.0)) : x;
    canvas->TextOut(left, y, text);
}

int TMessages::TextWidth(std::string_view text) {
    TCanvas* canvas = Canvas();
    return canvas ? canvas->TextWidth(text) : 0;
}

int TMessages::DigitCount(int32_t n) {
    auto low = static_cast<uint16_t>(n);
    return (low > 9) + (low > 99) + (low > 999) + (low > 9999);
}

TMenuButton* TMessages::CreateYesNo(const char* image, int x, int y) {
    auto* button = new TMenuButton(m_form, image, image, 0, 1, x, y);
    button->SetZ(kYesNoZ);
    return button;
}

void TMessages::OpenMessage(uint8_t mode) {
    auto& shell = m_form.Shell;
    auto& s = m_form.Screen;
    auto& audio = m_form.Audio();
    audio.StopSound("Shot");
    if (shell.MessageMode != msgNone) {
        CloseMessage();
    }
    shell.MessageMode = mode;
    if (!IsNotice(mode)) {
        OverlayWindow = new TCaptionSprite(m_form, "Window");
        OverlayWindow->X = kWindowX;
        OverlayWindow->Y = kWindowY;
        OverlayWindow->SetZ(kWindowZ);
    }
    if (mode == msgFinishRace || mode == msgSendResult || mode == msgExitGame || mode == msgClearTable) {
        // A racer nearly always holds an arrow: a direction already down when a question opens
        // must not step its highlight, so stepping waits until no direction is held.
        m_form.Menus().NavReady = false;
    }
    switch (mode) {
    case msgFinishRace:
    case msgSendResult: {
        audio.StopSound("Engine");
        m_form.Screens().ShowMouseCursor();
        bool finish = mode == msgFinishRace;
        s.ButtonCount = 2;
        s.ActiveButton = finish ? 2 : 1;
        s.FirstButton = 1;
        s.LastButton = 2;
        s.ScreenSprites[1] = CreateYesNo("YesButton", finish ? 307 : 315, finish ? 340 : 344);
        s.ScreenSprites[2] = CreateYesNo("NoButton", finish ? 414 : 422, finish ? 340 : 344);
        break;
    }
    case msgExitGame:
    case msgClearTable:
        m_form.Screens().ShowMouseCursor();
        s.SavedFirstButton = s.FirstButton;
        s.SavedLastButton = s.LastButton;
        s.SavedActiveButton = s.ActiveButton;
        s.SavedButtonCount = s.ButtonCount;
        s.ButtonCount = 2;
        s.ActiveButton = 12;
        s.FirstButton = 11;
        s.LastButton = 12;
        s.ScreenSprites[11] = CreateYesNo("YesButton", 315, 344);
        s.ScreenSprites[12] = CreateYesNo("NoButton", 422, 344);
        break;
    case msgLevel:
        MessageTimer = kLevelBannerMs;
        break;
    case msgTimeOver:
        audio.PlaySound("TimeOver");
        MessageTimer = kTimeOverMs;
        break;
    case msgGameOver:
        audio.StopSound("Engine");
        audio.PlaySound("GameOver");
        MessageTimer = kGameOverMs;
        break;
    case msgEnterName:
        audio.StopSound("Engine");
        TextCursor = new TCaptionSprite(m_form, "Cursor");
        TextCursor->X = kCursorX;
        TextCursor->Y = kCursorY;
        TextCursor->SetZ(kCursorZ);
        TextCursor->Visible = false;
        CursorBlinkMs = 0;
        m_form.IgnoreTextOfKeysPressedSoFar();
        break;
    case msgPause:
        audio.StopSound("Engine");
        break;
    default:
        break;
    }
}

void TMessages::CloseMessage() {
    auto& shell = m_form.Shell;
    auto& s = m_form.Screen;
    const uint8_t mode = shell.MessageMode;
    if (shell.GameScreen == gsRace) {
        m_form.Audio().PlaySound("Engine");
        TMyCarSprite* boat = m_form.Race().PlayerBoat;
        if (boat && boat->Firing && boat->HasGun &&
            (mode == msgPause || (mode == msgFinishRace && s.ActiveButton == 2))) {
            m_form.Audio().PlaySound("Shot");
        }
    }
    if (mode == msgNone) {
        return;
    }
    if (mode == msgFinishRace || mode == msgSendResult) {
        m_form.Screens().FreeButtons();
        m_form.Screens().HideMouseCursor();
    }
    if (mode == msgExitGame || mode == msgClearTable) {
        m_form.Screens().FreeSelectableButtons();
        s.FirstButton = s.SavedFirstButton;
        s.LastButton = s.SavedLastButton;
        s.ActiveButton = s.SavedActiveButton;
        s.ButtonCount = s.SavedButtonCount;
        if (mode == msgExitGame && shell.GameScreen == gsRace) {
            m_form.Screens().HideMouseCursor();
        }
    }
    if (mode == msgGameOver) {
        shell.MessageMode = msgNone;
        if (m_form.Menus().QualifiesForTable()) {
            OpenMessage(msgEnterName);
        } else {
            EndRace();
        }
        return;
    }
    if (mode == msgEnterName) {
        delete TextCursor;
        TextCursor = nullptr;
    }
    if (!IsNotice(mode)) {
        delete OverlayWindow;
        OverlayWindow = nullptr;
    }
    shell.MessageMode = msgNone;
}

void TMessages::EndRace() {
    m_form.Screens().TearDownRace();
    m_form.Screens().BuildMainMenu(true, 3);
}

bool TMessages::TimerStep() {
    if (MessageTimer > 0) {
        MessageTimer -= m_form.Shell.TickMs;
        return false;
    }
    CloseMessage();
    return true;
}

void TMessages::MoveButtons(int first, int second, int lagCount) {
    for (int slot : {first, second}) {
        if (TSprite* button = m_form.Screen.ScreenSprites[slot]) {
            button->Move(lagCount);
        }
    }
}

void TMessages::DrawMessages(int lagCount) {
    auto& shell = m_form.Shell;
    auto& menus = m_form.Menus();
    m_form.Screens().DrawFrame(lagCount, false);
    if (shell.GameScreen == gsRace) {
        TRace& race = m_form.Race();
        race.DrawSpeedNeedle();
        if (!race.PlayerBoat || !race.PlayerBoat->HasGun) {
            m_form.Audio().StopSound("Shot");
        }
    }
    const uint8_t mode = shell.MessageMode;
    switch (mode) {
    case msgLevel:
        SetTextFont(13);
        DrawText("Level " + std::to_string(m_form.Race().Level), kCentreX, 268, true);
        TimerStep();
        break;
    case msgPause:
        SetTextFont(13);
        DrawText("Pause", kCentreX, 268, true);
        if (shell.PausePressed || shell.EscPressed) {
            CloseMessage();
        }
        break;
    case msgTimeOver:
        SetTextFont(13);
        DrawText("Your time is over.", kCentreX, 249, true);
        DrawText("Try again, please!", kCentreX, 307, true);
        if (TimerStep()) {
            m_form.Race().OnTimeOverEnded();
        }
        m_form.Race().AnimateExplosions(lagCount);
        break;
    case msgFinishRace:
        menus.UpdateButtonHighlight();
        menus.NavigateHorizontal(true);
        MoveButtons(1, 2, lagCount);
        SetTextFont(7);
        DrawText("Finish race?", kCentreX, 257, true);
        if (shell.EscPressed) {
            CloseMessage();
        }
        break;
    case msgEnterName:
        SetTextFont(12);
        DrawText("Your score is " + std::to_string(m_form.Race().Score), kCentreX, 248, true);
        DrawText("Please, enter your name:", kCentreX, 290, true);
        DrawText(shell.PlayerName, kCentreX, 335, true);
        if (TextCursor) {
            TextCursor->X = TextWidth(shell.PlayerName) / 2.0 + kCentreX;
            CursorBlinkMs -= 15;
            if (CursorBlinkMs <= 0) {
                TextCursor->Visible = !TextCursor->Visible;
                CursorBlinkMs = kCursorBlinkMs;
            }
        }
        break;
    case msgSendResult:
        menus.UpdateButtonHighlight();
        menus.NavigateHorizontal(true);
        MoveButtons(1, 2, lagCount);
        SetTextFont(12);
        DrawText("Send the result", kCentreX, 237, true);
        DrawText("to the World's", kCentreX, 267, true);
        DrawText("Highscores page?", kCentreX, 297, true);
        break;
    case msgSending:
        SetTextFont(7);
        DrawText("Sending...", kCentreX, 277, true);
        break;
    case msgGameOver:
        SetTextFont(13);
        DrawText("Game over", kCentreX, 273, true);
        if (MessageTimer <= 0) {
            CloseMessage();
            return;
        }
        MessageTimer -= shell.TickMs;
        m_form.Race().AnimateExplosions(lagCount);
        break;
    case msgExitGame:
        menus.UpdateOverlayHighlight();
        menus.NavigateHorizontal(true);
        MoveButtons(11, 12, lagCount);
        m_form.Screens().DrawFrame(lagCount, false);
        SetTextFont(7);
        DrawText("Exit the game?", kCentreX, 257, true);
        m_form.Screens().PresentFrame();
        break;
    case msgClearTable:
        menus.UpdateOverlayHighlight();
        menus.NavigateHorizontal(true);
        MoveButtons(11, 12, lagCount);
        m_form.Screens().DrawFrame(lagCount, false);
        SetTextFont(10);
        DrawText("Do you want to clear", kCentreX, 237, true);
        DrawText("the High Score Table?", kCentreX, 287, true);
        m_form.Screens().PresentFrame();
        break;
    default:
        break;
    }
    AnswerKeys(mode);
}

void TMessages::AnswerKeys(uint8_t mode) {
    auto& shell = m_form.Shell;
    auto& s = m_form.Screen;
    int yes = 0;
    if (mode == msgFinishRace || mode == msgSendResult) {
        yes = 1;
    } else if (mode == msgExitGame || mode == msgClearTable) {
        yes = 11;
    } else {
        return;
    }
    if (shell.YesPressed && shell.MessageMode == mode) {
        s.ActiveButton = yes;
        m_form.ButtonClick(false);
    }
    if (shell.NoPressed && shell.MessageMode == mode) {
        s.ActiveButton = yes + 1;
        m_form.ButtonClick(false);
    }
}

void TMessages::AnswerRaceOverlay() {
    auto& shell = m_form.Shell;
    auto& s = m_form.Screen;
    switch (shell.MessageMode) {
    case msgEnterName:
        m_form.Menus().CommitNameEntry(m_form.Race().Score);
        CloseMessage();
        OpenMessage(msgSendResult);
        break;
    case msgFinishRace: {
        CloseMessage();
        if (s.ActiveButton == 1) {
            if (m_form.Menus().QualifiesForTable()) {
                OpenMessage(msgEnterName);
            } else {
                EndRace();
            }
        }
        break;
    }
    case msgSendResult:
        if (s.ActiveButton == 1) {
            CloseMessage();
            OpenMessage(msgSending);
            DrawMessages(1);
            m_form.Race().DrawSpeedNeedle();
            m_form.Race().DrawRaceHud();
            m_form.Race().DrawPowerUpPanel();
            m_form.Screens().PresentFrame();
            m_form.Menus().SubmitScore();
            CloseMessage();
            EndRace();
            m_form.ActOnRequestsHeldWhileBusy();
        } else if (s.ActiveButton == 2) {
            CloseMessage();
            EndRace();
        }
        break;
    default:
        break;
    }
}
