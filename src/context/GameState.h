#pragma once

#include "context/Frame.h"

#include <cstdint>
#include <string>

// The screen the game shows (GameScreen).
enum TGameScreen : int32_t {
    gsStartup = -1,
    gsMainMenu = 0,
    gsRace = 1,
    gsOptions = 2,
    gsHighScores = 3,
    gsHelp = 4,
    gsBoatSelect = 8,
};

// The message overlay open over the screen (MessageMode).
enum TMessageMode : uint8_t {
    msgNone = 0,
    msgLevel = 1,
    msgPause = 2,
    msgTimeOver = 3,
    msgFinishRace = 4,
    msgEnterName = 5,
    msgSendResult = 6,
    msgSending = 7,
    msgGameOver = 8,
    msgExitGame = 9,
    msgClearTable = 10,
};

// The questions answered with a yes and a no button.
constexpr bool HasYesNoButtons(TMessageMode mode) {
    return mode == msgFinishRace || mode == msgSendResult || mode == msgExitGame || mode == msgClearTable;
}

struct TGameOptions {
    bool FullScreen = false;
    bool MusicOn = true;
    bool SoundOn = true;
    std::string AddInfo = "_______"; // Windows-1252 bytes
};

// What every screen reads each tick and none of them writes: which screen shows and which overlay
// is open, the tick's length, the pointer and this tick's key edges. The form writes it (the
// screen only through its one screen change, the overlay only through the overlays).
struct TTickView {
    TGameScreen GameScreen = gsStartup;
    TMessageMode MessageMode = msgNone;
    int32_t TickMs = kFrameTickMs;
    double SpeedScale = 0.5;
    int32_t MouseX = 0;
    int32_t MouseY = 0;

    // Pressed-this-tick edges of P, Esc, Y, N, and the state each had at the previous tick.
    bool PausePressed = false, PausePrev = false;
    bool EscPressed = false, EscPrev = false;
    bool YesPressed = false, YesPrev = false;
    bool NoPressed = false, NoPrev = false;
    bool CtrlHeld = false;

    int32_t FramesPerSecond = 0;
};

// What the game keeps for the whole run and the screens change: the player's name and the options.
// One instance per game, owned by the main form.
struct TShellState {
    std::string PlayerName; // Windows-1252 bytes, kept for the whole run
    TGameOptions GameOptions;
};
