#include "app/Messages.h"

#include "context/Frame.h"
#include "context/GameAudio.h"
#include "context/GameText.h"
#include "context/InterfaceSprites.h"
#include "app/MForm.h"
#include "app/Screens.h"
#include "engine/sprite/Sprite.h"
#include "menus/Menus.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"

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

// The notices drawn over the race itself have no window and no buttons.
bool IsNotice(TMessageMode mode) {
    return mode == msgLevel || mode == msgPause || mode == msgTimeOver || mode == msgGameOver;
}
} // namespace

TMenuButton* TMessages::CreateYesNo(const char* image, int x, int y) {
    auto* button = new TMenuButton(m_form, image, image, 0, 1, x, y);
    button->SetZ(kYesNoZ);
    return button;
}

void TMessages::OpenMessage(TMessageMode mode) {
    auto& shell = m_form.Shell();
    auto& s = m_form.Screen();
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
    auto& shell = m_form.Shell();
    auto& s = m_form.Screen();
    const TMessageMode mode = shell.MessageMode;
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
        s.FreeButtons();
        m_form.Screens().HideMouseCursor();
    }
    if (mode == msgExitGame || mode == msgClearTable) {
        s.FreeSelectableButtons();
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
        if (m_form.Menus().QualifiesForTable(m_form.Race().Score)) {
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
        MessageTimer -= m_form.Shell().TickMs;
        return false;
    }
    CloseMessage();
    return true;
}

void TMessages::MoveButtons(int first, int second, int lagCount) {
    for (int slot : {first, second}) {
        if (TSprite* button = m_form.Screen().ScreenSprites[slot]) {
            button->Move(lagCount);
        }
    }
}

void TMessages::DrawMessages(int lagCount) {
    auto& shell = m_form.Shell();
    auto& menus = m_form.Menus();
    m_form.Frame().DrawFrame(lagCount, false);
    if (shell.GameScreen == gsRace) {
        TRace& race = m_form.Race();
        race.DrawSpeedNeedle();
        if (!race.PlayerBoat || !race.PlayerBoat->HasGun) {
            m_form.Audio().StopSound("Shot");
        }
    }
    const TMessageMode mode = shell.MessageMode;
    switch (mode) {
    case msgLevel:
        m_form.Text().SetTextFont(13);
        m_form.Text().DrawText("Level " + std::to_string(m_form.Race().Level), kCentreX, 268, true);
        TimerStep();
        break;
    case msgPause:
        m_form.Text().SetTextFont(13);
        m_form.Text().DrawText("Pause", kCentreX, 268, true);
        if (shell.PausePressed || shell.EscPressed) {
            CloseMessage();
        }
        break;
    case msgTimeOver:
        m_form.Text().SetTextFont(13);
        m_form.Text().DrawText("Your time is over.", kCentreX, 249, true);
        m_form.Text().DrawText("Try again, please!", kCentreX, 307, true);
        if (TimerStep()) {
            m_form.Race().OnTimeOverEnded();
        }
        m_form.Race().AnimateExplosions(lagCount);
        break;
    case msgFinishRace:
        menus.UpdateButtonHighlight();
        menus.NavigateHorizontal(true);
        MoveButtons(1, 2, lagCount);
        m_form.Text().SetTextFont(7);
        m_form.Text().DrawText("Finish race?", kCentreX, 257, true);
        if (shell.EscPressed) {
            CloseMessage();
        }
        break;
    case msgEnterName:
        m_form.Text().SetTextFont(12);
        m_form.Text().DrawText("Your score is " + std::to_string(m_form.Race().Score), kCentreX, 248, true);
        m_form.Text().DrawText("Please, enter your name:", kCentreX, 290, true);
        m_form.Text().DrawText(shell.PlayerName, kCentreX, 335, true);
        if (TextCursor) {
            TextCursor->X = m_form.Text().TextWidth(shell.PlayerName) / 2.0 + kCentreX;
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
        m_form.Text().SetTextFont(12);
        m_form.Text().DrawText("Send the result", kCentreX, 237, true);
        m_form.Text().DrawText("to the World's", kCentreX, 267, true);
        m_form.Text().DrawText("Highscores page?", kCentreX, 297, true);
        break;
    case msgSending:
        m_form.Text().SetTextFont(7);
        m_form.Text().DrawText("Sending...", kCentreX, 277, true);
        break;
    case msgGameOver:
        m_form.Text().SetTextFont(13);
        m_form.Text().DrawText("Game over", kCentreX, 273, true);
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
        m_form.Frame().DrawFrame(lagCount, false);
        m_form.Text().SetTextFont(7);
        m_form.Text().DrawText("Exit the game?", kCentreX, 257, true);
        m_form.Frame().PresentFrame();
        break;
    case msgClearTable:
        menus.UpdateOverlayHighlight();
        menus.NavigateHorizontal(true);
        MoveButtons(11, 12, lagCount);
        m_form.Frame().DrawFrame(lagCount, false);
        m_form.Text().SetTextFont(10);
        m_form.Text().DrawText("Do you want to clear", kCentreX, 237, true);
        m_form.Text().DrawText("the High Score Table?", kCentreX, 287, true);
        m_form.Frame().PresentFrame();
        break;
    default:
        break;
    }
    AnswerKeys(mode);
}

void TMessages::AnswerKeys(TMessageMode mode) {
    auto& shell = m_form.Shell();
    auto& s = m_form.Screen();
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
    auto& shell = m_form.Shell();
    auto& s = m_form.Screen();
    switch (shell.MessageMode) {
    case msgEnterName:
        m_form.Menus().CommitNameEntry(m_form.Race().Score);
        CloseMessage();
        OpenMessage(msgSendResult);
        break;
    case msgFinishRace: {
        CloseMessage();
        if (s.ActiveButton == 1) {
            if (m_form.Menus().QualifiesForTable(m_form.Race().Score)) {
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
            m_form.Frame().PresentFrame();
            m_form.Menus().SubmitScore(m_form.Race().Score);
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
