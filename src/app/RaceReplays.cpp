#include "app/RaceReplays.h"

#include "app/GameTitle.h"
#include "app/Seat.h"
#include "context/GameContext.h"
#include "context/GameText.h"
#include "menus/Menus.h"
#include "replay/ReplayFiles.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr const char* kReplayFolder = "/Save/replays";
// The mark over a watched replay: top middle of the river, bold orange.
constexpr int kMarkFont = 3;
constexpr int kMarkX = 400;
constexpr int kMarkY = 8;
} // namespace

// ---- Recording -----------------------------------------------------------------------------

std::string TRaceRecorder::Folder() const {
    return m_seat.Context.Config().DataDir + kReplayFolder;
}

std::string TRaceRecorder::TableEntryPath(const std::string& entryName, int32_t entryScore) const {
    return Folder() + "/" + TableReplayName(entryName, entryScore);
}

void TRaceRecorder::RaceStarted(uint32_t seed, int32_t boat, uint8_t edgesBefore) {
    m_replay = TReplay();
    m_replay.GameVersion = m_seat.Form.GameVersion();
    m_replay.DataHash = m_seat.Form.RaceDataHash();
    m_replay.Boat = boat;
    m_replay.Seed = seed;
    m_replay.EdgesBefore = edgesBefore;
    m_recording = true;
}

void TRaceRecorder::Tick(uint16_t inputs, int lagCount) {
    // Past a day of play the race is no longer a replay this game would read: it plays on unrecorded.
    if (!m_recording || m_replay.TickCount() >= TReplay::kMaxTicks)
        return;
    m_replay.AddTick(inputs, static_cast<uint32_t>(std::clamp<int>(lagCount, 1, TReplay::kMaxLagCount)));
}

void TRaceRecorder::Event(TReplayEventKind kind, uint32_t arg) {
    if (m_recording)
        m_replay.AddEvent(kind, arg);
}

void TRaceRecorder::RaceOver(const TRaceResult& result, std::optional<uint32_t> pictureChecksum) {
    if (!m_recording)
        return;
    m_recording = false;
    m_replay.Claim = result;
    m_replay.Crew = m_seat.Context.Shell().GameOptions.AddInfo;
    m_replay.PictureChecksum = pictureChecksum;
    Write(kLastRaceReplay);
}

void TRaceRecorder::NameEntered(const std::string& name) {
    if (!m_replay.Claim)
        return;
    m_replay.Name = name;
    Write(kLastRaceReplay);
    Write(TableReplayName(name, m_replay.Claim->Score));
    PruneTable();
}

void TRaceRecorder::PruneTable() {
    std::vector<std::string> keep;
    const THighScoreTable& table = m_seat.Menus.Table;
    for (int n = 1; n <= THighScoreTable::kEntries; ++n)
        keep.push_back(TableReplayName(table.Entry(n).EntryName, table.Entry(n).EntryScore));
    PruneTableReplays(Folder(), keep);
}

void TRaceRecorder::Write(const std::string& fileName) {
    try {
        WriteReplayFile(Folder() + "/" + fileName, m_replay.Encode());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: the replay was not kept: %s\n", kGameTitle, e.what());
    }
}

// ---- Playing -------------------------------------------------------------------------------

TReplayPlayer::TReplayPlayer(const TSeat& seat, TReplay replay, bool watched)
    : m_seat(seat), m_replay(std::move(replay)), m_cursor(m_replay), m_watched(watched) {}

bool TReplayPlayer::BeginTick(int& lagCount) {
    m_cursor.TakeEvents([this](const TReplayEvent& e) { Apply(e); });
    if (m_cursor.AtEnd() || m_result) {
        m_exhausted = true;
        return false;
    }
    const TReplayRun& run = m_cursor.Current();
    m_seat.Form.PlayInputs(run.Inputs);
    lagCount = static_cast<int>(run.LagCount);
    return true;
}

void TReplayPlayer::Apply(const TReplayEvent& event) {
    // An event after the race's end has nothing left to act on.
    if (m_result)
        return;
    m_seat.Form.PlayEvent(event);
}

void TReplayPlayer::RaceOver(const TRaceResult& result, std::optional<uint32_t> pictureChecksum) {
    if (!m_result) {
        m_result = result;
        m_pictureChecksum = pictureChecksum;
    }
}

void TReplayPlayer::DrawMark() {
    TGameText& text = m_seat.Context.Text();
    text.SetTextFont(kMarkFont);
    std::string mark = "REPLAY";
    if (Paused)
        mark += "  PAUSED";
    else if (FastForward)
        mark += "  >>";
    text.DrawText(mark, kMarkX, kMarkY, true);
}
