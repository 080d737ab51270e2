#pragma once

#include "app/GameState.h"
#include "app/TypedTextGate.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>

class IPlatform;
class TGameDraw;
class TGameTimer;
class TGameImageList;
class TGameSpriteEngine;
class TGameInput;
class TGameSound;
class TGameWaveList;
class TModulePlayer;
class THttpClient;
class TGameAudio;
class TScreens;
class TMessages;
class TMenus;
class TRace;
class TScrollBackground;

struct TPlatformEvent;

// Where the form finds its data and which outside addresses it opens; tests point these
// at their own fixtures and servers.
struct TFormConfig {
    std::string DataDir = "Data";
    std::string HomeUrl;     // the maker's home page
    std::string ScoreServer; // base address of the score server
    uint32_t RandomSeed = 0; // 0: seed from the clock
};

// The one random generator of a game, seedable so a test can replay a race exactly.
class TGameRandom {
  public:
    void Seed(uint32_t seed) { m_engine.seed(seed); }
    // 0 <= result < range (0 when range <= 0).
    int32_t Random(int32_t range);
    // 0 <= result < 1.
    double RandomFloat();

  private:
    std::mt19937 m_engine;
};

// The main form: owns the components, the game state and the screens, and carries
// every event handler. Everything runs on one thread.
class TMForm {
  public:
    // The application's name: the window's caption and the title of its dialogs.
    static constexpr const char* kTitle = "Spraydash";

    TMForm(IPlatform& platform, TFormConfig config);
    ~TMForm();
    TMForm(const TMForm&) = delete;
    TMForm& operator=(const TMForm&) = delete;

    // Loads the data and builds the main menu; throws with the file and the reason when
    // a data file cannot be loaded.
    void FormCreate();
    void FormDestroy();
    // Runs the message loop until the game ends.
    void Run();
    // Handles pending events and runs a tick if one is due; returns false once the game has ended.
    bool PumpOnce(bool wait);
    bool Terminated() const { return m_terminated; }
    // While a blocking request runs: keep the window alive (repaints, focus, a termination
    // request) without ticks and without acting on input.
    void PumpWhileBusy();
    // Acts on what PumpWhileBusy kept: a close request and a full-screen switch.
    void ActOnRequestsHeldWhileBusy();

    // Form events.
    void FormCloseQuery(bool& canClose);
    void FormKeyPress(char key);
    void FormKeyDown(int key, bool alt, bool repeat);
    void FormKeyUp(int key);
    void SysCommandMinimize();
    void MDrawInitialize();
    void MDrawFinalize();
    void MDrawClick();
    void MDrawMouseMove(int x, int y);
    void MTimerTimer(int lagCount);

    void ButtonClick(bool fromKeyboard);
    void ReadInputEdges();
    void ApplyDisplayMode();
    void OpenUrl(const std::string& url);
    void OpenPlayUrl();
    void ExitGame();
    void ShutDown();
    // Handles one platform event (what the message loop does with it).
    void HandleEvent(const TPlatformEvent& event);
    // Text still to come from keys pressed so far is not typing: the key that opened a text
    // field (Y answering "Finish race?") must not type its letter into it.
    void IgnoreTextOfKeysPressedSoFar() { m_typedText.IgnorePressesSoFar(); }

    // Components.
    IPlatform& Platform() { return m_platform; }
    TGameDraw& MDraw() { return *m_draw; }
    TGameTimer& MTimer() { return *m_timer; }
    TGameImageList& MImageList() { return *m_imageList; }
    TGameImageList& MImageList3() { return *m_imageList3; }
    TGameSpriteEngine& MSpriteEngine() { return *m_spriteEngine; }
    TGameInput& MInput() { return *m_input; }
    TGameSound& MSound() { return *m_sound; }
    TGameWaveList& MWaveList() { return *m_waveList; }
    TModulePlayer& Music() { return *m_music; }
    THttpClient& MHttp() { return *m_http; }

    // Game subsystems.
    TGameAudio& Audio() { return *m_audio; }
    TScreens& Screens() { return *m_screens; }
    TMessages& Messages() { return *m_messages; }
    TMenus& Menus() { return *m_menus; }
    TRace& Race() { return *m_race; }

    // The one scrolling background, kept for the whole run.
    TScrollBackground* ScrollBack() { return m_scrollBack; }
    // The frame timer rule: screen builders enable it, tear-downs disable it.
    void SetTimerEnabled(bool enabled);

    const TFormConfig& Config() const { return m_config; }
    TGameRandom Random;
    TShellState Shell;
    TScreenState Screen;

  private:
    // Runs a save; what went wrong, a line ending in a line break, or nothing.
    std::string SaveQuietly(const std::function<void()>& save);

    IPlatform& m_platform;
    TFormConfig m_config;
    bool m_terminated = false;
    bool m_created = false; // FormCreate got through loading: there is something to save
    TTypedTextGate m_typedText;
    struct THeldWhileBusy {
        bool CloseRequest = false;
        bool FullScreenToggle = false; // an odd number of switches asked for
    } m_heldWhileBusy;

    std::unique_ptr<TGameDraw> m_draw;
    std::unique_ptr<TGameTimer> m_timer;
    std::unique_ptr<TGameImageList> m_imageList;
    std::unique_ptr<TGameImageList> m_imageList3;
    std::unique_ptr<TGameSpriteEngine> m_spriteEngine;
    std::unique_ptr<TGameInput> m_input;
    std::unique_ptr<TGameSound> m_sound;
    std::unique_ptr<TGameWaveList> m_waveList;
    std::unique_ptr<TModulePlayer> m_music;
    std::unique_ptr<THttpClient> m_http;

    std::unique_ptr<TGameAudio> m_audio;
    std::unique_ptr<TScreens> m_screens;
    std::unique_ptr<TMessages> m_messages;
    std::unique_ptr<TMenus> m_menus;
    std::unique_ptr<TRace> m_race;
    TScrollBackground* m_scrollBack = nullptr; // a sprite: owned by the sprite tree's root
};
