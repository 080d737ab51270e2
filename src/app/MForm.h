#pragma once

// The race and the menus work through TGameContext; the form and its parts are the
// application's own.
#if defined(SPRAYDASH_RACE_LIBRARY) || defined(SPRAYDASH_MENUS_LIBRARY)
#error "race/ and menus/ reach the game through TGameContext (context/GameContext.h), not the form"
#endif

#include "app/TypedTextGate.h"
#include "context/GameContext.h"
#include "context/GameRandom.h"
#include "context/GameState.h"
#include "context/ScreenState.h"

#include <cstdint>
#include <functional>
#include <memory>
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
class TGameText;
class TFrame;
class TScreens;
class TMessages;
class TMenus;
class TRace;
class TScrollBackground;

struct TPlatformEvent;

// The main form: owns the components, the game state and the screens, and carries
// every event handler. It is the context the screens work in. Everything runs on one thread.
class TMForm final : public TGameContext {
  public:
    // The application's name: the window's caption and the title of its dialogs.
    static constexpr const char* kTitle = "Spraydash";

    TMForm(IPlatform& platform, TFormConfig config);
    ~TMForm() override;
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
    bool PumpWhileBusy() override;
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

    void ButtonClick(bool fromKeyboard) override;
    void ReadInputEdges();
    void ApplyDisplayMode() override;
    void OpenUrl(const std::string& url) override;
    void OpenPlayUrl();
    void ExitGame();
    void ShutDown();
    // The display is going away under the game (log-out, a crashed display server): nothing more
    // can be shown, so the files are written now and what failed goes to stderr.
    void SaveBeforeTheDisplayGoes();
    // Volumes, the race's keys and the window's scaling from the comforts, applied now.
    void ApplyComforts();
    // What the process ends with: 128 + the signal that ended it, 1 when the files could not be
    // saved at the end, else 0.
    int ExitCode() const;
    // Handles one platform event (what the message loop does with it).
    void HandleEvent(const TPlatformEvent& event);
    // Text still to come from keys pressed so far is not typing: the key that opened a text
    // field (Y answering "Finish race?") must not type its letter into it.
    void IgnoreTextOfKeysPressedSoFar() { m_typedText.IgnorePressesSoFar(); }

    // The context the screens work in.
    TGameImageList& MImageList() override { return *m_imageList; }
    TGameImageList& MImageList3() override { return *m_imageList3; }
    TGameSpriteEngine& MSpriteEngine() override { return *m_spriteEngine; }
    // The one scrolling background, kept for the whole run (from FormCreate on).
    TScrollBackground& ScrollBack() override { return *m_scrollBack; }
    TFrame& Frame() override { return *m_frame; }
    TGameText& Text() override { return *m_text; }
    TGameAudio& Audio() override { return *m_audio; }
    const TGameInput& MInput() override { return *m_input; }
    TShellState& Shell() override { return m_shell; }
    TScreenState& Screen() override { return m_screen; }
    TGameRandom& Random() override { return m_random; }
    const TFormConfig& Config() const override { return m_config; }
    THttpClient& MHttp() override { return *m_http; }
    void OpenMessage(TMessageMode mode) override;
    void BuildMainMenu(bool full, TMenuFollowUp followUp) override;
    void FreeMainMenu() override;
    void StartRace(int32_t boat) override;
    // The frame timer rule: screen builders enable it, tear-downs disable it.
    void SetTimerEnabled(bool enabled) override;
    void ShowMouseCursor() override;
    void HideMouseCursor() override;
    void ShowWarning(const std::string& text) override;

    // Components the screens do not see.
    IPlatform& Platform() { return m_platform; }
    TGameDraw& MDraw() { return *m_draw; }
    TGameTimer& MTimer() { return *m_timer; }
    TGameSound& MSound() { return *m_sound; }
    TGameWaveList& MWaveList() { return *m_waveList; }
    TModulePlayer& Music() { return *m_music; }

    // Game subsystems.
    TScreens& Screens() { return *m_screens; }
    TMessages& Messages() { return *m_messages; }
    TMenus& Menus() { return *m_menus; }
    TRace& Race() { return *m_race; }

  private:
    // A comfort key (volumes, window size, full-screen scaling): acted on, noticed briefly, saved.
    bool ComfortKey(const TPlatformEvent& event);
    void DrawComfortNotice();
    // Runs a save; what went wrong, a line ending in a line break, or nothing.
    std::string SaveQuietly(const std::function<void()>& save);

    IPlatform& m_platform;
    TFormConfig m_config;
    TGameRandom m_random;
    TShellState m_shell;
    TScreenState m_screen;
    bool m_terminated = false;
    std::string m_noticeText; // a comfort changed, shown over every screen until m_noticeUntil
    uint32_t m_noticeUntil = 0;
    int m_endSignal = 0;       // the signal that ended the game, if one did
    bool m_saveFailed = false; // the end-of-game save did not get through
    bool m_created = false;    // FormCreate got through loading: there is something to save
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
    std::unique_ptr<TFrame> m_frame;
    std::unique_ptr<TGameText> m_text;

    std::unique_ptr<TGameAudio> m_audio;
    std::unique_ptr<TScreens> m_screens;
    std::unique_ptr<TMessages> m_messages;
    std::unique_ptr<TMenus> m_menus;
    std::unique_ptr<TRace> m_race;
    TScrollBackground* m_scrollBack = nullptr; // a sprite: owned by the sprite tree's root
};
