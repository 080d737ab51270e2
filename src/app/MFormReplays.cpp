// The main form's tick and its part in replays: what it hands the recorder, how it plays a
// replay's ticks and events in place of the devices', and watching one in the window.
#include "app/MForm.h"
#include "app/PadControls.h"
#include "context/DataNames.h"

#include "app/Messages.h"
#include "app/RaceReplays.h"
#include "app/Screens.h"
#include "context/Frame.h"
#include "context/GameAudio.h"
#include "context/InterfaceSprites.h"
#include "engine/display/GameDraw.h"
#include "engine/display/GameImageList.h"
#include "engine/display/GameTimer.h"
#include "engine/gfx/ImageList.h"
#include "engine/gfx/Surface.h"
#include "engine/input/GameInput.h"
#include "engine/platform/KeyCodes.h"
#include "engine/platform/Platform.h"
#include "menus/Menus.h"
#include "race/Race.h"
#include "race/RaceData.h"
#include "replay/ReplayFiles.h"

#include <cstdio>
#include <stdexcept>

namespace {
// A watched replay fast forwards at four times its speed.
constexpr int kFastForwardTicks = 4;
// The rows of the high-score table (drawn from y 152 in steps of 32) where a click watches a replay.
constexpr int kTableFirstRowY = 152;
constexpr int kTableRowHeight = 32;
constexpr int kTableLeft = 30;
constexpr int kTableRight = 530;
constexpr int kFireButton = 8;

struct TReplayedState {
    uint16_t Bit;
    int State;
};
// Which input state each recorded bit stands for (fire also comes from Ctrl).
constexpr TReplayedState kReplayedStates[] = {
    {riUp, isUp},
    {riDown, isDown},
    {riLeft, isLeft},
    {riRight, isRight},
    {riFire, InputButton(kFireButton)},
    {riPause, InputButton(4)},
    {riEsc, InputButton(5)},
    {riYes, InputButton(6)},
    {riNo, InputButton(7)},
};

// The menu pictures a race and its overlays use.
constexpr const char* kOverlayPictures[] = {PictureName::MMBackground, PictureName::Window,
                                            PictureName::YesButton, PictureName::NoButton,
                                            PictureName::Cursor};

enum TEdgeBit : uint8_t { ebPause = 1, ebEsc = 2, ebYes = 4, ebNo = 8 };

// The last frame's pixels, little-endian whatever the machine.
uint32_t PictureChecksum(const TDirectDrawSurface& surface) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(surface.Width()) * surface.Height() * 2);
    for (int y = 0; y < surface.Height(); ++y) {
        const uint16_t* row = surface.Row(y);
        for (int x = 0; x < surface.Width(); ++x) {
            bytes += static_cast<char>(row[x] & 0xFFU);
            bytes += static_cast<char>(row[x] >> 8U);
        }
    }
    return Crc32(bytes);
}
} // namespace

std::string TMForm::GameVersion() const {
    return SPRAYDASH_VERSION;
}

uint64_t TMForm::RaceDataHash() {
    if (!m_raceDataHash) {
        try {
            m_raceDataHash = RaceOutcomeDataHash(m_imageList3->Items);
        } catch (const std::exception&) {
            m_raceDataHash = 0;
        }
    }
    return *m_raceDataHash;
}

// ---- The tick ------------------------------------------------------------------------------

void TMForm::MTimerTimer(int lagCount) {
    if (m_player && m_player->Watched()) {
        WatchTick(lagCount);
    } else {
        RunTick(lagCount);
    }
}

void TMForm::RunTick(int lagCount) {
    // A close asked for while the race was ending is answered once that is through.
    if (m_heldWhileBusy.CloseRequest && !(m_view.GameScreen == gsRace && m_messages->RaceStepUnderWay())) {
        m_heldWhileBusy.CloseRequest = false;
        bool canClose = false;
        FormCloseQuery(canClose);
    }
    m_view.FramesPerSecond = m_timer->FramesPerSecond();
    m_audio->MusicKeepAlive();
    m_input->Pad.Binds = PadBinds(m_view);
    m_input->Update();
    // A played race's events come before its tick, as they came between the ticks.
    const bool played = m_player && m_view.GameScreen == gsRace;
    if (played && !m_player->BeginTick(lagCount)) {
        return;
    }
    m_inTick = true;
    DispatchTick(lagCount);
    m_inTick = false;
    m_frame->LeftOut = false;
    if (played && m_player) {
        m_player->EndTick();
    }
}

// ---- Recording -----------------------------------------------------------------------------

uint16_t TMForm::RaceInputs() const {
    uint16_t inputs = 0;
    for (const TReplayedState& s : kReplayedStates) {
        if (m_input->IsOn(s.State))
            inputs |= s.Bit;
    }
    if (m_view.CtrlHeld)
        inputs |= riFire;
    return inputs;
}

uint8_t TMForm::EdgesBefore() const {
    return (m_view.PausePrev ? ebPause : 0) | (m_view.EscPrev ? ebEsc : 0) | (m_view.YesPrev ? ebYes : 0) |
           (m_view.NoPrev ? ebNo : 0);
}

void TMForm::RecordEvent(TReplayEventKind kind, int arg) {
    if (!m_player && !m_inTick && m_view.GameScreen == gsRace)
        m_recorder->Event(kind, static_cast<uint32_t>(std::max(arg, 0)));
}

const TReplay& TMForm::RecordedRace() const {
    return m_recorder->Replay();
}

bool TMForm::RaceOver() {
    TRaceResult result;
    result.Score = m_race->Score;
    result.Level = m_race->Level;
    result.Lives = m_race->Lives;
    // Only game over takes the last life; "Finish race?" cannot open once it is gone.
    result.End = m_race->Lives == 0 ? TRaceEnd::GameOver : TRaceEnd::Finished;
    std::optional<uint32_t> picture;
    if (const TDirectDrawSurface* surface = m_draw->Surface())
        picture = PictureChecksum(*surface);
    if (m_player) {
        result.Ticks = m_player->TicksRun() + (m_inTick ? 1 : 0);
        m_player->RaceOver(result, picture);
        // The played race ends here: the rest of this tick must not run it on.
        ChangeScreen(gsStartup);
        return false;
    }
    result.Ticks = m_recorder->Replay().TickCount();
    m_recorder->RaceOver(result, picture);
    return true;
}

void TMForm::NameEntered() {
    m_recorder->NameEntered(m_shell.PlayerName);
}

// ---- Playing -------------------------------------------------------------------------------

void TMForm::PlayInputs(uint16_t inputs) {
    TGameInputStates states;
    for (const TReplayedState& s : kReplayedStates) {
        if ((inputs & s.Bit) != 0)
            states.set(static_cast<size_t>(s.State));
    }
    m_input->Replace(states);
    m_view.CtrlHeld = false;
    m_frame->LeftOut = (inputs & riNoFrame) != 0;
}

void TMForm::PlayEvent(const TReplayEvent& event) {
    switch (event.Kind) {
    case TReplayEventKind::Click:
        m_screen.ActiveButton = static_cast<int>(event.Arg);
        ButtonClick(false);
        break;
    case TReplayEventKind::Hover:
        m_screen.ActiveButton = static_cast<int>(event.Arg);
        break;
    case TReplayEventKind::CloseRequest: {
        bool canClose = false;
        FormCloseQuery(canClose);
        break;
    }
    case TReplayEventKind::Minimize:
        SysCommandMinimize();
        break;
    }
}

namespace {
void PrepareReplayedRace(TTickView& view, const TReplay& replay) {
    view.PausePrev = (replay.EdgesBefore & ebPause) != 0;
    view.EscPrev = (replay.EdgesBefore & ebEsc) != 0;
    view.YesPrev = (replay.EdgesBefore & ebYes) != 0;
    view.NoPrev = (replay.EdgesBefore & ebNo) != 0;
    view.CtrlHeld = false;
    view.MessageMode = msgNone;
}
} // namespace

void TMForm::StartReplayRun(TReplay replay, bool pictures) {
    const std::string res = m_config.DataDir + "/Res/";
    if (pictures) {
        m_imageList->Items.LoadFromFile(res + "Res1.dxg");
    } else {
        // Nothing of the menu pictures reaches the race's outcome: the few the race's overlays
        // show stand in as single pixels, and the menu archive stays unread.
        for (const char* name : kOverlayPictures) {
            TPictureCollectionItem& item = m_imageList->Items.Add();
            item.SetName(name);
            item.Picture = TPicture{1, 1, {0}};
        }
    }
    m_imageList3->Items.LoadFromFile(res + "Res3.dxg");
    m_shell.GameOptions.SoundOn = false;
    m_shell.GameOptions.MusicOn = false;
    m_view.TickMs = kFrameTickMs;
    if (replay.DataHash != RaceDataHash())
        throw EReplayError("other game data: the replay was made with data " +
                           std::to_string(replay.DataHash) + ", this game has " +
                           std::to_string(RaceDataHash()));
    if (pictures) {
        ApplyDisplayMode();
    } else {
        m_frame->MovesWithoutDisplay = true;
    }
    m_scrollBack = new TScrollBackground(*this, PictureName::MMBackground);
    const int32_t boat = replay.Boat;
    m_player = std::make_unique<TReplayPlayer>(*m_seat, std::move(replay), false);
    PrepareReplayedRace(m_view, m_player->Replay());
    StartRace(boat);
}

bool TMForm::ReplayRunOver() const {
    return !m_player || m_player->Over();
}

void TMForm::ReplayRunTick() {
    RunTick(1);
}

// ---- Watching ------------------------------------------------------------------------------

void TMForm::WatchReplayFile(const std::string& path) {
    try {
        WatchReplay(TReplay::Decode(ReadReplayFile(path)));
    } catch (const EReplayError& e) {
        ShowWarning("The replay cannot be played.\n\"" + path + "\": " + e.what());
    }
}

void TMForm::WatchReplay(TReplay replay) {
    if (replay.DataHash != RaceDataHash()) {
        ShowWarning("The replay cannot be played: it was recorded with other game data.");
        return;
    }
    m_menus->CloseScreen();
    m_menus->FreeMainMenu();
    m_recorder->Abandon();
    const int32_t boat = replay.Boat;
    m_player = std::make_unique<TReplayPlayer>(*m_seat, std::move(replay), true);
    PrepareReplayedRace(m_view, m_player->Replay());
    StartRace(boat);
}

void TMForm::WatchTick(int lagCount) {
    if (m_player->Paused) {
        // The race stands; its picture is drawn again with the mark.
        if (m_race->SpritesBuilt() && m_frame->DrawFrame(lagCount, false)) {
            m_race->DrawSpeedNeedle();
            m_race->DrawRaceHud();
            m_race->DrawPowerUpPanel();
            m_frame->PresentFrame();
        }
        return;
    }
    const int ticks = m_player->FastForward ? kFastForwardTicks : 1;
    for (int i = 0; i < ticks && !m_player->Over(); ++i) {
        RunTick(lagCount);
    }
    if (m_player->Over()) {
        StopWatching();
    }
}

namespace {
// What a watched race came to, on the terminal for whoever started it from one.
void TellWatchedResult(const TReplayPlayer& player) {
    const TReplay& replay = player.Replay();
    if (const std::optional<TRaceResult>& r = player.Result()) {
        std::printf("spraydash: the replay came to score %d, level %d, lives %d after %u ticks", r->Score,
                    r->Level, r->Lives, r->Ticks);
        if (player.PictureChecksum())
            std::printf(", last picture %08x", *player.PictureChecksum());
        if (replay.Claim)
            std::printf(" (%s its claim)", *r == *replay.Claim ? "as" : "not as");
        std::printf("\n");
    } else {
        std::printf("spraydash: the replay was left after %u of its %u ticks\n", player.TicksRun(),
                    replay.TickCount());
    }
    std::fflush(stdout);
}
} // namespace

void TMForm::StopWatching() {
    TellWatchedResult(*m_player);
    // Whatever the race had open goes with it; with the player still there nothing follows from it.
    if (m_view.MessageMode != msgNone && m_view.MessageMode != msgExitGame)
        m_messages->CloseMessage();
    m_player.reset();
    m_frame->LeftOut = false;
    // The menu must not take the replay's held keys for the player's.
    m_input->Restore();
    if (m_race->SpritesBuilt())
        TearDownRace(*m_seat);
    m_menus->BuildMainMenu(true, fuHighScores);
}

bool TMForm::HandleWatchEvent(const TPlatformEvent& event) {
    switch (event.Kind) {
    case TPlatformEventKind::KeyDown:
        if ((event.VirtualKey == vk::Return && event.Alt) || event.VirtualKey == vk::F11)
            return false; // full screen, as anywhere
        if (event.VirtualKey == vk::Escape) {
            StopWatching();
        } else if ((event.VirtualKey == 'P' || event.VirtualKey == vk::Space) && !event.Repeat) {
            m_player->Paused = !m_player->Paused;
        } else if ((event.VirtualKey == 'F' || event.VirtualKey == vk::Right) && !event.Repeat) {
            m_player->FastForward = !m_player->FastForward;
        }
        return true;
    case TPlatformEventKind::CloseRequest:
        StopWatching();
        return true;
    case TPlatformEventKind::Minimized:
        m_player->Paused = true;
        return true;
    case TPlatformEventKind::PadButtonDown:
        if (const int key = PadWatchKey(static_cast<TPadButton>(event.PadButton))) {
            TPlatformEvent asKey;
            asKey.Kind = TPlatformEventKind::KeyDown;
            asKey.VirtualKey = key;
            return HandleWatchEvent(asKey);
        }
        return true;
    case TPlatformEventKind::FocusGained:
    case TPlatformEventKind::FocusLost:
    case TPlatformEventKind::Terminate:
    case TPlatformEventKind::Expose:
    case TPlatformEventKind::PadConnected:
    case TPlatformEventKind::PadRemoved:
        return false;
    default:
        // The race takes its clicks and keys from the replay.
        return true;
    }
}

bool TMForm::ClickOnHighScoreRow() {
    if (m_view.GameScreen != gsHighScores || m_view.MessageMode != msgNone)
        return false;
    const int x = m_view.MouseX;
    const int y = m_view.MouseY;
    if (x < kTableLeft || x > kTableRight || y < kTableFirstRowY)
        return false;
    const int row = (y - kTableFirstRowY) / kTableRowHeight + 1;
    if (row > THighScoreTable::kEntries)
        return false;
    const THighScore& entry = m_menus->Table.Entry(row);
    // A missing or damaged replay leaves the click what it always was: nothing.
    try {
        TReplay replay =
            TReplay::Decode(ReadReplayFile(m_recorder->TableEntryPath(entry.EntryName, entry.EntryScore)));
        if (replay.DataHash != RaceDataHash())
            return false;
        WatchReplay(std::move(replay));
    } catch (const EReplayError&) {
        return false;
    }
    return true;
}
