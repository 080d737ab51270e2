#pragma once

#if defined(SPRAYDASH_RACE_LIBRARY) || defined(SPRAYDASH_MENUS_LIBRARY)
#error "race/ and menus/ reach the game through TGameContext (context/GameContext.h), not the form"
#endif

#include "replay/Replay.h"

#include <cstdint>
#include <optional>
#include <string>

struct TSeat;

// Records every race the player plays, from its start to its end, and keeps the replays under
// Data/Save/replays: the last race's, and one for each entry of the local table. The form calls
// it at the race's start, at the start of each race tick, for the window's events that reach
// the race between ticks, and at the end of the race; the table never depends on it.
class TRaceRecorder {
  public:
    explicit TRaceRecorder(const TSeat& seat) : m_seat(seat) {}

    void RaceStarted(uint32_t seed, int32_t boat, uint8_t edgesBefore);
    void Tick(uint16_t inputs, int lagCount);
    void Event(TReplayEventKind kind, uint32_t arg);
    // The race is over (game over, or "Finish race?" answered yes): the result is final and the
    // last race's replay is written.
    void RaceOver(const TRaceResult& result, std::optional<uint32_t> pictureChecksum);
    // The name entry put the result into the table: its replay is kept with the entry.
    void NameEntered(const std::string& name);
    // The race goes on unrecorded (a replay is played instead; a benchmark compares).
    void Abandon() { m_recording = false; }
    // Drops the replays of entries that have left the table.
    void PruneTable();
    bool Recording() const { return m_recording; }

    std::string Folder() const;
    // Where the replay of a table entry is kept (whether or not there is one).
    std::string TableEntryPath(const std::string& entryName, int32_t entryScore) const;
    const TReplay& Replay() const { return m_replay; }

  private:
    // Writing a replay is never worth a failed race: a problem is reported once on stderr.
    void Write(const std::string& fileName);

    const TSeat& m_seat;
    TReplay m_replay;
    bool m_recording = false;
};

// Plays a replay through the game: the race is started with its boat and seed, and each tick
// gets the inputs and LagCount of the recorded tick instead of the devices'. Watched in the
// window (a mark on screen, P pauses, F fast forward, Esc leaves) or re-run without a picture
// to see what it comes to.
class TReplayPlayer {
  public:
    TReplayPlayer(const TSeat& seat, TReplay replay, bool watched);

    const TReplay& Replay() const { return m_replay; }
    bool Watched() const { return m_watched; }
    // The events due before this tick, and this tick's inputs (false once the replay is over).
    bool BeginTick(int& lagCount);
    void EndTick() { m_cursor.Advance(); }
    // The race has ended, or the replay ran out before it did.
    bool Over() const { return m_result.has_value() || m_exhausted; }
    uint32_t TicksRun() const { return m_cursor.Tick(); }

    // The race came to its end: what it came to.
    void RaceOver(const TRaceResult& result, std::optional<uint32_t> pictureChecksum);
    const std::optional<TRaceResult>& Result() const { return m_result; }
    const std::optional<uint32_t>& PictureChecksum() const { return m_pictureChecksum; }

    // Watching.
    bool Paused = false;
    bool FastForward = false;
    void DrawMark();

  private:
    void Apply(const TReplayEvent& event);

    const TSeat& m_seat;
    TReplay m_replay;
    TReplayCursor m_cursor;
    bool m_watched;
    bool m_exhausted = false;
    std::optional<TRaceResult> m_result;
    std::optional<uint32_t> m_pictureChecksum;
};
