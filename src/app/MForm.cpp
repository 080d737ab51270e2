#include "app/MForm.h"
#include "context/DataNames.h"

#include "app/InternetShortcut.h"
#include "app/KeyAssignment.h"
#include "app/Messages.h"
#include "app/RaceReplays.h"
#include "app/Screens.h"
#include "context/Frame.h"
#include "context/GameAudio.h"
#include "context/GameText.h"
#include "context/InterfaceSprites.h"
#include "engine/archive/ArchiveErrors.h"
#include "engine/audio/GameSound.h"
#include "engine/audio/ModulePlayer.h"
#include "engine/audio/SoundMixer.h"
#include "engine/audio/WaveCollection.h"
#include "engine/display/GameDraw.h"
#include "engine/display/GameImageList.h"
#include "engine/display/GameTimer.h"
#include "engine/gfx/Cp1252.h"
#include "engine/gfx/ImageList.h"
#include "engine/input/GameInput.h"
#include "engine/platform/KeyCodes.h"
#include "engine/platform/Platform.h"
#include "engine/sprite/Sprite.h"
#include "menus/Menus.h"
#include "net/HttpClient.h"
#include "race/Race.h"
#include "race/RaceData.h"
#include "replay/ReplayFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace {
constexpr double kSpeedScale = 0.5;
constexpr const char* kPlayUrlFile = "play.url";

bool IsFullScreenChord(const TPlatformEvent& event) {
    return (event.VirtualKey == vk::Return && event.Alt) || event.VirtualKey == vk::F11;
}

void Edge(bool now, bool& pressed, bool& previous) {
    pressed = now && !previous;
    previous = now;
}
} // namespace

TMForm::TMForm(IPlatform& platform, TFormConfig config) : m_platform(platform), m_config(std::move(config)) {
    m_draw = std::make_unique<TGameDraw>(&m_platform, kScreenWidth, kScreenHeight);
    m_draw->OnInitialize = [this] { MDrawInitialize(); };
    m_draw->OnFinalize = [this] { MDrawFinalize(); };
    m_draw->SetOptions(OptionBit(doAllowReboot) | OptionBit(doHardware) | OptionBit(doSelectDriver));

    m_timer = std::make_unique<TGameTimer>();
    m_timer->ActiveOnly = true;
    m_timer->SetInterval(kFrameTickMs);
    m_timer->OnTimer = [this](int lagCount) { MTimerTimer(lagCount); };

    m_imageList = std::make_unique<TGameImageList>(m_draw.get());
    m_imageList3 = std::make_unique<TGameImageList>(m_draw.get());
    m_spriteEngine = std::make_unique<TGameSpriteEngine>(m_draw.get());

    m_input = std::make_unique<TGameInput>(&m_platform);
    m_input->ActiveOnly = true;
    AssignKeys(m_input->Keyboard, TComforts{});

    m_sound = std::make_unique<TGameSound>(&m_platform);
    m_waveList = std::make_unique<TGameWaveList>(m_sound.get());
    m_music = std::make_unique<TModulePlayer>(m_sound->Mixer());
    m_http = std::make_unique<THttpClient>();
    m_frame = std::make_unique<TFrame>(*m_draw, *m_spriteEngine);
    m_text = std::make_unique<TGameText>(*m_draw);

    m_audio = std::make_unique<TGameAudio>(*m_waveList, *m_music, m_shell.GameOptions, m_view.GameScreen);
    m_menus = std::make_unique<TMenus>(*this);
    m_race = std::make_unique<TRace>(*this);
    m_seat = std::make_unique<TSeat>(TSeat{*this, m_platform, *m_menus, *m_race, *this});
    m_messages = std::make_unique<TMessages>(*m_seat, m_view.MessageMode);
    m_recorder = std::make_unique<TRaceRecorder>(*m_seat);
}

TMForm::~TMForm() {
    // Sprites hold references into the image lists: free the tree before the pictures.
    m_spriteEngine->Engine().Clear();
    m_scrollBack = nullptr;
}

namespace {
// Loads one data file; any failure names the file and what is wrong with it.
template <typename Load> void LoadDataFile(const std::string& path, Load load) {
    try {
        load(path);
    } catch (const std::exception& e) {
        std::string what = e.what();
        if (what.find(path) != std::string::npos) {
            throw std::runtime_error(what);
        }
        throw std::runtime_error("\"" + path + "\": " + what);
    }
}
} // namespace

void TMForm::FormCreate() {
    // No sound device is not an error: the game then runs silent, and says so once.
    const bool sound = m_sound->AutoInitialize();
    const std::string res = m_config.DataDir + "/Res/";
    LoadDataFile(res + "Res1.dxg", [this](const std::string& p) { m_imageList->Items.LoadFromFile(p); });
    LoadDataFile(res + "Res3.dxg", [this](const std::string& p) { m_imageList3->Items.LoadFromFile(p); });
    LoadDataFile(res + "Sounds.dxw", [this](const std::string& p) { m_waveList->Items().LoadFromFile(p); });

    // Before anything is read: a second game on these files is turned away before it can show
    // (and later write) a table the first one is about to change.
    if (m_menus->ClaimSaveFolder() == TSaveFolder::TClaim::InUse) {
        throw std::runtime_error(m_menus->SaveFolderProblem());
    }

    ChangeScreen(gsStartup);
    uint32_t seed = m_config.RandomSeed;
    if (seed == 0) {
        seed = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    m_random.Seed(seed);
    m_view.TickMs = kFrameTickMs;
    m_view.SpeedScale = kSpeedScale;

    m_menus->LoadHighScores();
    m_menus->LoadOptions();
    m_menus->LoadComforts();
    LoadPadMappings();
    if (!m_menus->TableCheckMatches()) {
        m_menus->RejectLoadedTable();
    }
    m_menus->TellStartProblems();
    m_created = true;
    m_timer->SetApplicationActive(m_platform.HasFocus(), m_platform.Ticks());
    ApplyComforts();
    ApplyDisplayMode();

    m_view.PausePressed = m_view.PausePrev = false;
    m_view.EscPressed = m_view.EscPrev = false;
    m_view.YesPressed = m_view.YesPrev = false;
    m_view.NoPressed = m_view.NoPrev = false;

    m_scrollBack = new TScrollBackground(*this, PictureName::MMBackground);
    m_menus->BuildMainMenu(true, fuNone);
    if (!sound) {
        std::fprintf(stderr, "%s: no sound device could be opened; the game plays without sound.\n", kTitle);
        m_menus->ShowNotice("No sound device: the game plays without sound.");
    }
    // Replays a run before this one could not send.
    m_menus->StartReplayUploads();
    if (!m_config.WatchReplayFile.empty()) {
        WatchReplayFile(m_config.WatchReplayFile);
    }
}

void TMForm::FormDestroy() {
    // The end of the game never waits for a server: an upload under way stays queued.
    m_menus->StopReplayUploads();
    if (m_created) {
        ShutDown();
    }
    m_draw->Finalize();
}

void TMForm::ChangeScreen(TGameScreen screen) {
    m_view.GameScreen = screen;
}

void TMForm::SetTimerEnabled(bool enabled) {
    m_timer->SetEnabled(enabled, m_platform.Ticks());
}

void TMForm::OpenMessage(TMessageMode mode) {
    m_messages->OpenMessage(mode);
}

void TMForm::BuildMainMenu(bool full, TMenuFollowUp followUp) {
    m_menus->BuildMainMenu(full, followUp);
}

void TMForm::FreeMainMenu() {
    m_menus->FreeMainMenu();
}

void TMForm::StartRace(int32_t boat) {
    m_race->SelectedBoat = boat;
    if (m_player) {
        m_race->RaceSeed = m_player->Replay().Seed;
    } else {
        // The race's own generator starts from a seed of its own, kept in the replay.
        m_race->RaceSeed = m_random.Next();
        m_recorder->RaceStarted(m_race->RaceSeed, boat, EdgesBefore());
    }
    m_race->StartRace();
}

void TMForm::ShowMouseCursor() {
    ::ShowMouseCursor(m_platform);
}

void TMForm::HideMouseCursor() {
    ::HideMouseCursor(m_platform);
}

void TMForm::ShowWarning(const std::string& text) {
    m_platform.ShowWarning(kTitle, text);
}

void TMForm::Run() {
    while (PumpOnce(true)) {
    }
}

bool TMForm::PumpOnce(bool wait) {
    TPlatformEvent event;
    while (!m_terminated && m_platform.PollEvent(event)) {
        HandleEvent(event);
    }
    if (m_terminated) {
        return false;
    }
    m_timer->Idle(m_platform.Ticks());
    if (wait && !m_terminated) {
        // Sleep until the next tick is due or an event arrives: the loop never spins.
        uint32_t ms = m_timer->MsUntilNextTick(m_platform.Ticks());
        if (ms > 0) {
            m_platform.WaitEvent(ms);
        }
    }
    return !m_terminated;
}

bool TMForm::PumpWhileBusy() {
    TPlatformEvent event;
    while (!m_terminated && m_platform.PollEvent(event)) {
        switch (event.Kind) {
        case TPlatformEventKind::Expose:
        case TPlatformEventKind::FocusGained:
        case TPlatformEventKind::FocusLost:
        case TPlatformEventKind::Terminate:
        // A key let go meanwhile must not stay held (Ctrl would fire on by itself in the next race).
        case TPlatformEventKind::KeyUp:
            HandleEvent(event);
            break;
        // The player's wish to leave or to switch the display outlives the request: it is
        // acted on once the request is over (other keys and clicks are dropped).
        case TPlatformEventKind::CloseRequest:
            m_heldWhileBusy.CloseRequest = true;
            break;
        case TPlatformEventKind::KeyDown:
            if (IsFullScreenChord(event) && !event.Repeat) {
                m_heldWhileBusy.FullScreenToggle = !m_heldWhileBusy.FullScreenToggle;
            }
            break;
        default:
            break;
        }
    }
    if (!m_terminated) {
        m_platform.WaitEvent(1);
    }
    return !m_terminated;
}

void TMForm::ActOnRequestsHeldWhileBusy() {
    THeldWhileBusy held = m_heldWhileBusy;
    m_heldWhileBusy = {};
    if (held.FullScreenToggle) {
        FormKeyDown(vk::Return, true, false);
    }
    if (held.CloseRequest) {
        bool canClose = false;
        FormCloseQuery(canClose);
    }
}

void TMForm::HandleEvent(const TPlatformEvent& event) {
    if (m_player && m_player->Watched() && HandleWatchEvent(event)) {
        return;
    }
    switch (event.Kind) {
    case TPlatformEventKind::MouseMove:
        MDrawMouseMove(event.X, event.Y);
        break;
    case TPlatformEventKind::MouseClick:
    case TPlatformEventKind::MouseDblClick:
        MDrawClick();
        break;
    case TPlatformEventKind::MouseRightClick:
        // Not a click for the buttons: only the high-score table's rows take it, to watch a replay.
        MDrawMouseMove(event.X, event.Y);
        ClickOnHighScoreRow();
        break;
    case TPlatformEventKind::KeyDown: {
        m_typedText.KeyDown(event.VirtualKey, event.KeySerial, event.Repeat);
        if (IsFullScreenChord(event)) {
            // A held chord repeats; only its first press toggles, and its Enter is not a click.
            if (!event.Repeat) {
                FormKeyDown(vk::Return, true, false);
            }
            break;
        }
        if (ComfortKey(event)) {
            break;
        }
        FormKeyDown(event.VirtualKey, event.Alt, event.Repeat);
        if (!event.Alt && (event.VirtualKey == vk::Return || event.VirtualKey == vk::Escape ||
                           event.VirtualKey == vk::Back)) {
            FormKeyPress(static_cast<char>(event.VirtualKey));
        }
        break;
    }
    case TPlatformEventKind::KeyUp:
        m_typedText.KeyUp(event.VirtualKey);
        FormKeyUp(event.VirtualKey);
        break;
    case TPlatformEventKind::Text:
        if (!m_typedText.Accepts(event.KeySerial)) {
            break;
        }
        for (char c : Utf8ToCp1252(event.Text)) {
            if (static_cast<unsigned char>(c) >= 32) {
                FormKeyPress(c);
            }
        }
        break;
    case TPlatformEventKind::FocusGained:
        m_timer->SetApplicationActive(true, m_platform.Ticks());
        break;
    case TPlatformEventKind::FocusLost:
        m_timer->SetApplicationActive(false, m_platform.Ticks());
        break;
    case TPlatformEventKind::CloseRequest: {
        bool canClose = false;
        FormCloseQuery(canClose);
        break;
    }
    case TPlatformEventKind::Minimized:
        SysCommandMinimize();
        break;
    case TPlatformEventKind::Restored:
        break;
    case TPlatformEventKind::Terminate:
        // The system ends the program (signal, log-out): it goes down the normal way, and
        // FormDestroy saves the options and the table.
        m_terminated = true;
        m_endSignal = event.Signal;
        break;
    case TPlatformEventKind::Expose:
        m_draw->Flip();
        break;
    case TPlatformEventKind::PadConnected:
    case TPlatformEventKind::PadRemoved:
    case TPlatformEventKind::PadButtonDown:
    case TPlatformEventKind::PadButtonUp:
        HandlePadEvent(event);
        break;
    }
}

void TMForm::MDrawInitialize() {
    SetTimerEnabled(true);
}

void TMForm::MDrawFinalize() {
    SetTimerEnabled(false);
}

void TMForm::MDrawMouseMove(int x, int y) {
    m_view.MouseX = x;
    m_view.MouseY = y;
    const int lit = m_screen.ActiveButton;
    if (m_view.MessageMode != msgNone) {
        HitTestOverlayButtons(m_view, m_screen);
    } else {
        HitTestButtons(m_view, m_screen);
    }
    if (m_screen.ActiveButton != lit) {
        RecordEvent(TReplayEventKind::Hover, m_screen.ActiveButton);
    }
}

void TMForm::MDrawClick() {
    ButtonClick(false);
}

void TMForm::ReadInputEdges() {
    Edge(m_input->IsOn(InputButton(4)), m_view.PausePressed, m_view.PausePrev);
    Edge(m_input->IsOn(InputButton(5)), m_view.EscPressed, m_view.EscPrev);
    Edge(m_input->IsOn(InputButton(6)), m_view.YesPressed, m_view.YesPrev);
    Edge(m_input->IsOn(InputButton(7)), m_view.NoPressed, m_view.NoPrev);
}

void TMForm::DispatchTick(int lagCount) {
    m_typedText.TickRead([this](int key) { return m_input->Keyboard.KeyDown(key); });
    ReadInputEdges();
    if (!m_player && m_view.GameScreen == gsRace) {
        m_recorder->Tick(RaceInputs() | (m_draw->CanDraw() ? 0 : riNoFrame), lagCount);
    }
    if (m_view.MessageMode == msgExitGame || m_view.MessageMode == msgClearTable) {
        m_messages->DrawMessages(lagCount);
        return;
    }
    if (m_view.GameScreen != gsRace) {
        m_menus->ScreenTick(lagCount);
        return;
    }
    // An open overlay draws the frame over the standing race, and may end the race.
    if (m_view.MessageMode != msgNone) {
        m_messages->DrawMessages(lagCount);
        if (m_view.GameScreen == gsRace) {
            m_race->RaceTickAfterFrame();
        }
    } else {
        m_race->RaceTick(lagCount);
    }
}

void TMForm::ButtonClick(bool fromKeyboard) {
    int active = m_screen.ActiveButton;
    RecordEvent(TReplayEventKind::Click, active);
    if (active == ScreenSlot::MenuYes || active == ScreenSlot::MenuNo) {
        m_audio->PlaySound(SoundName::B_Act);
    }
    // The exit and clear-table questions take the clicks over any screen; over the race, the open
    // overlay answers (or ignores) every click.
    const TMessageMode mode = m_view.MessageMode;
    if (mode == msgExitGame || mode == msgClearTable || m_view.GameScreen == gsRace) {
        m_messages->AnswerMessage();
        return;
    }
    m_menus->MenuButtonClick(fromKeyboard);
}

void TMForm::FormKeyPress(char key) {
    // Over the race the open overlay takes the key (Enter clicks it, the name entry types);
    // elsewhere the open menu screen does, the questions over it answering its clicks.
    if (m_view.GameScreen == gsRace) {
        if (static_cast<unsigned char>(key) == vk::Return) {
            ButtonClick(false);
        } else {
            m_messages->TypeKey(key);
        }
        return;
    }
    m_menus->ScreenKeyPress(key);
}

void TMForm::FormKeyDown(int key, bool alt, bool) {
    if (key == vk::Control) {
        m_view.CtrlHeld = true;
    }
    if (key == vk::Return && alt) {
        m_shell.GameOptions.FullScreen = !m_shell.GameOptions.FullScreen;
        ApplyDisplayMode();
        if (m_created) {
            m_menus->SaveEarned();
        }
    }
}

void TMForm::FormKeyUp(int key) {
    if (key == vk::Control) {
        m_view.CtrlHeld = false;
    }
}

void TMForm::FormCloseQuery(bool& canClose) {
    canClose = false;
    if (!TakesEvents()) {
        return;
    }
    if (m_view.GameScreen == gsRace && m_messages->RaceStepUnderWay()) {
        // Not dropped: asked once the name entry or the end of the race is through.
        if (!m_player) {
            m_heldWhileBusy.CloseRequest = true;
        }
        return;
    }
    RecordEvent(TReplayEventKind::CloseRequest, 0);
    // In a race "Finish race?" stands in for the exit question straight away.
    m_messages->OpenMessage(m_view.GameScreen == gsRace ? msgFinishRace : msgExitGame);
}

void TMForm::SysCommandMinimize() {
    if (TakesEvents() && m_view.GameScreen == gsRace && !m_messages->RaceStepUnderWay()) {
        RecordEvent(TReplayEventKind::Minimize, 0);
        m_messages->OpenMessage(msgPause);
    }
}

void TMForm::ApplyDisplayMode() {
    m_draw->Display.SetBitCount(16);
    TGameDrawOptions options = m_draw->Options();
    m_draw->Finalize();
    if (m_shell.GameOptions.FullScreen) {
        m_platform.SaveWindowPlacement();
        m_draw->SetOptions(options | OptionBit(doFullScreen));
    } else {
        m_platform.RestoreWindowPlacement();
        m_draw->SetOptions(options & ~OptionBit(doFullScreen));
    }
    m_draw->Initialize();
}

void TMForm::OpenUrl(const std::string& url) {
    m_platform.OpenUrl(url);
}

void TMForm::OpenPlayUrl() {
    // The desktop would open the shortcut file itself in an editor: open the page it names.
    if (auto url = ReadShortcutUrl(kPlayUrlFile)) {
        m_platform.OpenUrl(*url);
    }
}

void TMForm::ExitGame() {
    // A failure is told by the end-of-program save, which writes the options once more.
    SaveQuietly([this] { m_menus->SaveOptions(); });
    OpenPlayUrl();
    m_terminated = true;
}

void TMForm::ShutDown() {
    std::string failures = SaveQuietly([this] { m_menus->SaveOptions(); });
    failures += SaveQuietly([this] { m_menus->SaveHighScores(); });
    failures += SaveQuietly([this] { m_menus->SaveComforts(); });
    m_saveFailed = !failures.empty();
    if (!m_saveFailed) {
        // Only once the table is on the disk: replays of entries it still lists there stay.
        m_recorder->PruneTable();
    } else {
        const std::string text =
            "The game could not be saved.\n" + failures + "Any save file from before is left as it was.";
        if (m_endSignal != 0) {
            // Ended by a signal: nobody may be there to close a dialog, and the end must not wait.
            std::fprintf(stderr, "%s: %s\n", kTitle, text.c_str());
        } else {
            // A player who started the game from the desktop never sees stderr.
            m_platform.ShowWarning(kTitle, text);
        }
    }
    m_terminated = true;
}

void TMForm::SaveBeforeTheDisplayGoes() {
    if (!m_created) {
        return;
    }
    std::string failures = m_menus->SaveAll();
    if (!failures.empty()) {
        std::fprintf(stderr, "%s: the game could not be saved.\n%s", kTitle, failures.c_str());
    }
}

int TMForm::ExitCode() const {
    if (m_endSignal != 0) {
        return 128 + m_endSignal;
    }
    return m_saveFailed ? 1 : 0;
}

std::string TMForm::SaveQuietly(const std::function<void()>& save) {
    // A save that fails (a read-only folder, a full disk) must not take the game down on
    // its way out; the previous file is still there.
    try {
        save();
    } catch (const std::exception& e) {
        return std::string(e.what()) + "\n";
    }
    return {};
}
