#pragma once

#include <array>
#include <cstdint>
#include <string>

class TSprite;

// Screens (GameScreen).
constexpr int32_t gsStartup = -1;
constexpr int32_t gsMainMenu = 0;
constexpr int32_t gsRace = 1;
constexpr int32_t gsOptions = 2;
constexpr int32_t gsHighScores = 3;
constexpr int32_t gsHelp = 4;
constexpr int32_t gsBoatSelect = 8;

// Message overlays (MessageMode).
constexpr uint8_t msgNone = 0;
constexpr uint8_t msgLevel = 1;
constexpr uint8_t msgPause = 2;
constexpr uint8_t msgTimeOver = 3;
constexpr uint8_t msgFinishRace = 4;
constexpr uint8_t msgEnterName = 5;
constexpr uint8_t msgSendResult = 6;
constexpr uint8_t msgSending = 7;
constexpr uint8_t msgGameOver = 8;
constexpr uint8_t msgExitGame = 9;
constexpr uint8_t msgClearTable = 10;

struct TGameOptions {
    bool FullScreen = false;
    bool MusicOn = true;
    bool SoundOn = true;
    std::string AddInfo = "_______"; // Windows-1252 bytes
};

// The shell's globals: one instance per game, owned by the main form.
struct TShellState {
    int32_t GameScreen = gsStartup;
    uint8_t MessageMode = msgNone;
    int32_t TickMs = 15;
    double SpeedScale = 0.5;
    int32_t MouseX = 0;
    int32_t MouseY = 0;

    // Pressed-this-tick edges of P, Esc, Y, N, and the state each had at the previous tick.
    bool PausePressed = false, PausePrev = false;
    bool EscPressed = false, EscPrev = false;
    bool YesPressed = false, YesPrev = false;
    bool NoPressed = false, NoPrev = false;
    bool CtrlHeld = false;

    std::string PlayerName; // Windows-1252 bytes, kept for the whole run
    TGameOptions GameOptions;
    int32_t FramesPerSecond = 0;
};

// The current screen's buttons, captions and menu-intro state in their fixed slots.
// Sprite slots are borrowed references: a slot keeps its stale pointer after the
// sprite is freed and is only read again after it has been refilled.
struct TScreenState {
    static constexpr int kSlotCount = 19;
    static constexpr int kTitleCaption = 13;
    static constexpr int kUpperPanel = 14;
    static constexpr int kLowerPanel = 15;
    static constexpr int kBoatTitle = 18;

    std::array<TSprite*, kSlotCount> ScreenSprites{}; // sprite slots 1..15 and 18
    int32_t LastButton = 0;                           // slot 0
    int32_t MenuIntroPhase = 0;                       // slot 16
    int32_t MenuFollowUp = 0;                         // slot 17

    int32_t ButtonCount = 0;
    int32_t FirstButton = 0;
    int32_t ActiveButton = 0;

    // Kept by the exit and clear-table questions while they are open.
    int32_t SavedFirstButton = 0, SavedLastButton = 0, SavedActiveButton = 0, SavedButtonCount = 0;
};
