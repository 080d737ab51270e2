#pragma once

#include "context/GameState.h"
#include "context/ScreenState.h"

#include <cstdint>
#include <string>

class TFrame;
class TGameAudio;
class TGameImageList;
class TGameInput;
class TGameRandom;
class TGameSpriteEngine;
class TGameText;
class THttpClient;
class TScrollBackground;

// Where the game finds its data and which outside addresses it opens; tests point these
// at their own fixtures and servers.
struct TFormConfig {
    std::string DataDir = "Data";
    std::string HomeUrl;         // the maker's home page
    std::string ScoreServer;     // base address of the score server
    uint32_t RandomSeed = 0;     // 0: seed from the clock
    std::string WatchReplayFile; // a replay to play in the window once the game has started
};

// What a screen (the race, the menus) may use of the game: the pictures, the sprite engine,
// the frame and its text, sound and music, input, the shared state, and a few requests that
// go up to the game. The main form implements it; the screens never see the form itself.
class TGameContext {
  public:
    virtual ~TGameContext() = default;

    // Pictures: the menu archive and the race archive.
    virtual TGameImageList& MImageList() = 0;
    virtual TGameImageList& MImageList3() = 0;
    // The sprite engine every sprite hangs under, and the one background kept for the whole run.
    virtual TGameSpriteEngine& MSpriteEngine() = 0;
    virtual TScrollBackground& ScrollBack() = 0;
    // The frame every tick composes, and text on it.
    virtual TFrame& Frame() = 0;
    virtual TGameText& Text() = 0;
    // Sound effects and music.
    virtual TGameAudio& Audio() = 0;
    // The input states; the edges and the mouse are in the shell's state.
    virtual const TGameInput& MInput() = 0;
    // What the screens read each tick; only the game writes it.
    virtual const TTickView& TickView() const = 0;
    // The one way the screen shown changes: the screens ask, the game writes GameScreen.
    virtual void ChangeScreen(TGameScreen screen) = 0;
    // What the game keeps for the whole run and the screens change: the player's name, the options.
    virtual TShellState& Shell() = 0;
    virtual TScreenState& Screen() = 0;
    virtual TGameRandom& Random() = 0;
    virtual const TFormConfig& Config() const = 0;
    // The score request's client.
    virtual THttpClient& MHttp() = 0;

    // Requests that go up to the game.
    virtual void OpenMessage(TMessageMode mode) = 0;
    virtual void BuildMainMenu(bool full, TMenuFollowUp followUp) = 0;
    // Frees the main menu on the way into a race.
    virtual void FreeMainMenu() = 0;
    virtual void StartRace(int32_t boat) = 0;
    // Acts on the highlighted button as a click would.
    virtual void ButtonClick(bool fromKeyboard) = 0;
    // Applies the full-screen option.
    virtual void ApplyDisplayMode() = 0;
    virtual void OpenUrl(const std::string& url) = 0;
    // The frame timer rule: screen builders enable it, tear-downs disable it.
    virtual void SetTimerEnabled(bool enabled) = 0;
    virtual void ShowMouseCursor() = 0;
    virtual void HideMouseCursor() = 0;
    // A problem the player should know of that does not end the game.
    virtual void ShowWarning(const std::string& text) = 0;
    // While a blocking request runs: keeps the window alive without ticks. False once the game
    // is being ended (a signal, the display gone): the request is then no longer waited for.
    virtual bool PumpWhileBusy() = 0;
};
