#pragma once

// The race and the menus work through TGameContext; the form and its parts are the
// application's own.
#if defined(SPRAYDASH_RACE_LIBRARY) || defined(SPRAYDASH_MENUS_LIBRARY)
#error "race/ and menus/ reach the game through TGameContext (context/GameContext.h), not the form"
#endif

#include "app/GameTitle.h"
#include "app/Seat.h"
#include "app/TypedTextGate.h"
#include "context/GameContext.h"
#include "context/GameRandom.h"
#include "context/GameState.h"
#include "context/ScreenState.h"
#include "replay/Replay.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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
class TMessages;
class TMenus;
class TRace;
class TScrollBackground;
class TRaceRecorder;
class TReplayPlayer;

struct TPlatformEvent;

// The main form: owns the components, the game state and the screens, and carries
// every event handler. It is the context the screens work in. Everything runs on one thread.
class TMForm final : public TGameContext, public IFormRequests {
  public:
    // The application's name: the window's caption and the title of its dialogs.
    static constexpr const char* kTitle = kGameTitle;
    // The font of the short notices over every screen.
    static constexpr int kShortNoticeFont = 3;

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
    void ActOnRequestsHeldWhileBusy() override;

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

    // Replays. Every race is recorded; the form hands the recorder what the race reads.
    TRaceRecorder& Recorder() { return *m_recorder; }
    // The replay being played, if any.
    TReplayPlayer* Player() { return m_player.get(); }
    // Starts playing a replay in the window: the menu's screens are left, the race runs from the
    // replay, and the main menu returns with the high-score table when it is over or left.
    void WatchReplay(TReplay replay);
    // The same from a file; a file that is not a replay of this game's data is only told of.
    void WatchReplayFile(const std::string& path);
    // Loads only what re-running a race needs (both picture archives, no sound, no save files)
    // and starts the replay's race; the caller then runs ticks until ReplayRunOver. With
    // pictures, the display is started on the platform and every frame is drawn.
    void StartReplayRun(TReplay replay, bool pictures);
    bool ReplayRunOver() const;
    // Runs one tick of a replay that is re-run rather than watched.
    void ReplayRunTick();
    // What the application's parts ask of the form (their seat's requests).
    bool RaceOver() override;
    void NameEntered() override;
    const TReplay& RecordedRace() const override;
    // The hash of the game data the race's outcome depends on (0 when the race pictures are missing).
    uint64_t RaceDataHash() override;
    std::string GameVersion() const override;
    // A played tick's inputs in place of the devices'.
    void PlayInputs(uint16_t inputs) override;
    void PlayEvent(const TReplayEvent& event) override;

    void ButtonClick(bool fromKeyboard) override;
    void ReadInputEdges();
    void ApplyDisplayMode() override;
    void OpenUrl(const std::string& url) override;
    void OpenPlayUrl();
    void ExitGame() override;
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
    void IgnoreTextOfKeysPressedSoFar() override { m_typedText.IgnorePressesSoFar(); }
    // The line shown briefly over every screen (a comfort changed, a controller came or went),
    // empty once it has gone.
    const std::string& ShortNotice() const { return m_noticeText; }

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
    const TTickView& TickView() const override { return m_view; }
    void ChangeScreen(TGameScreen screen) override;
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
    TMessages& Messages() { return *m_messages; }
    TMenus& Menus() { return *m_menus; }
    TRace& Race() { return *m_race; }

  private:
    // A comfort key (volumes, window size, full-screen scaling): acted on, noticed briefly, saved.
    bool ComfortKey(const TPlatformEvent& event);
    void DrawComfortNotice();
    // A line over every screen for a moment: a comfort changed, a controller came or went.
    void ShowShortNotice(const std::string& text);
    // Controllers: mappings of the player's own, devices coming and going, button presses that
    // stand for keys.
    void LoadPadMappings();
    void HandlePadEvent(const TPlatformEvent& event);
    // One tick of whatever screen shows; a race being played takes its inputs from the replay.
    void RunTick(int lagCount);
    // The tick's input edges and the screen's tick (or the exit and clear-table questions').
    void DispatchTick(int lagCount);
    // A watched replay's tick: paused, once, or several times when fast forwarding.
    void WatchTick(int lagCount);
    // Playback's own keys; false for the events handled as always (focus, expose, end, full screen).
    bool HandleWatchEvent(const TPlatformEvent& event);
    // The watched replay is over or left: back to the menu.
    void StopWatching();
    // What the race reads this tick, as a replay records it.
    uint16_t RaceInputs() const;
    uint8_t EdgesBefore() const;
    // An event between two ticks of a race being recorded (those inside a tick, such as Y or N
    // answering, come again from the tick's inputs).
    void RecordEvent(TReplayEventKind kind, int arg);
    // Watches the replay of the high-score table's row under the pointer, if it has one (a
    // right click: a left click anywhere clicks the highlighted button, as it always has).
    bool ClickOnHighScoreRow();
    // Started far enough for the window's events to act: the game, or a replay re-run.
    bool TakesEvents() const { return m_created || m_player != nullptr; }
    // Runs a save; what went wrong, a line ending in a line break, or nothing.
    std::string SaveQuietly(const std::function<void()>& save);

    IPlatform& m_platform;
    TFormConfig m_config;
    TGameRandom m_random;
    TTickView m_view; // its GameScreen written by ChangeScreen alone
    TShellState m_shell;
    TScreenState m_screen;
    bool m_terminated = false;
    std::string m_noticeText; // a comfort changed, shown over every screen until m_noticeUntil
    uint32_t m_noticeUntil = 0;
    int m_endSignal = 0;       // the signal that ended the game, if one did
    bool m_saveFailed = false; // the end-of-game save did not get through
    bool m_created = false;    // FormCreate got through loading: there is something to save
    bool m_inTick = false;
    std::optional<uint64_t> m_raceDataHash;
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
    // What the form's parts below work with; made once the menus and the race are.
    std::unique_ptr<TSeat> m_seat;
    std::unique_ptr<TMessages> m_messages;
    std::unique_ptr<TMenus> m_menus;
    std::unique_ptr<TRace> m_race;
    std::unique_ptr<TRaceRecorder> m_recorder;
    std::unique_ptr<TReplayPlayer> m_player;
    TScrollBackground* m_scrollBack = nullptr; // a sprite: owned by the sprite tree's root
};
