#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A race as a replay: where it started (boat, seed, game data) and, tick by tick, what the race
// read of the input states and the LagCount it was given. Re-running the race from this gives
// the same race, so the result it claims can be checked.

// The inputs a race tick reads, one bit each. The ones a player changes most often come first,
// so a typical tick's inputs fit one byte of a variable-length integer.
enum TReplayInput : uint16_t {
    riUp = 1U << 0U,
    riDown = 1U << 1U,
    riLeft = 1U << 2U,
    riRight = 1U << 3U,
    riFire = 1U << 4U, // Space or Ctrl
    riPause = 1U << 5U,
    riEsc = 1U << 6U,
    riYes = 1U << 7U,
    riNo = 1U << 8U,
    // The display could not draw this tick, so the sprites were not moved either.
    riNoFrame = 1U << 9U,
};
constexpr uint16_t kReplayInputMask = 0x3FF;

// Consecutive ticks with the same inputs and LagCount.
struct TReplayRun {
    uint32_t Count = 0;
    uint16_t Inputs = 0;
    uint32_t LagCount = 1;
    bool operator==(const TReplayRun&) const = default;
};

// What happened between two ticks of the race: the window's events that reach the race.
enum class TReplayEventKind : uint8_t {
    Click = 1,        // a click (mouse or Enter) on the button in Arg
    CloseRequest = 2, // the close box: "Finish race?"
    Minimize = 3,     // the window minimised: the pause
    Hover = 4,        // the pointer lit the button in Arg (0: none)
};

struct TReplayEvent {
    uint32_t BeforeTick = 0; // runs before this tick (0-based); the tick count means after the last
    TReplayEventKind Kind = TReplayEventKind::Click;
    uint32_t Arg = 0;
    bool operator==(const TReplayEvent&) const = default;
};

enum class TRaceEnd : uint8_t {
    GameOver = 1,
    Finished = 2, // "Finish race?" answered yes
};

// What a race came to: the claim a replay makes and what re-running it reproduces.
struct TRaceResult {
    int32_t Score = 0;
    int32_t Level = 1;
    int32_t Lives = 0;
    uint32_t Ticks = 0;
    TRaceEnd End = TRaceEnd::GameOver;
    bool operator==(const TRaceResult&) const = default;
};

// What is wrong with a file that is not a replay this game can read.
class EReplayError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct TReplay {
    static constexpr uint8_t kFormatVersion = 1;
    // Limits that keep an untrusted file's cost bounded.
    static constexpr size_t kMaxFileBytes = 1U << 20U;
    static constexpr uint32_t kMaxTicks = 24U * 60U * 60U * 1000U / 15U; // a day of play
    static constexpr uint32_t kMaxLagCount = 60000;                      // a stall of 15 minutes
    static constexpr size_t kMaxTextBytes = 64;

    std::string GameVersion;
    uint64_t DataHash = 0;
    int32_t Boat = 1;
    uint32_t Seed = 0;
    // The P, Esc, Y and N states of the tick before the race (its first pressed edges depend on them).
    uint8_t EdgesBefore = 0;
    std::optional<TRaceResult> Claim;
    std::optional<std::string> Name;         // Windows-1252 bytes
    std::optional<std::string> Crew;         // the options' text line, Windows-1252 bytes
    std::optional<uint32_t> PictureChecksum; // of the last frame of the race
    std::vector<TReplayRun> Runs;
    std::vector<TReplayEvent> Events;

    uint32_t TickCount() const { return m_ticks; }
    void ClearTicks() {
        Runs.clear();
        Events.clear();
        m_ticks = 0;
    }
    // Appends one tick, extending the last run when it is the same.
    void AddTick(uint16_t inputs, uint32_t lagCount);
    // Appends an event before the next tick.
    void AddEvent(TReplayEventKind kind, uint32_t arg);

    std::string Encode() const;
    // Reads a replay; throws EReplayError naming what is wrong.
    static TReplay Decode(std::string_view bytes);

  private:
    uint32_t m_ticks = 0;
};

// The replay's tick by tick, from its runs and events.
class TReplayCursor {
  public:
    explicit TReplayCursor(const TReplay& replay) : m_replay(replay) {}
    bool AtEnd() const { return m_tick >= m_replay.TickCount(); }
    uint32_t Tick() const { return m_tick; }
    // The events due before the current tick (or, at the end, after the last one).
    template <typename F> void TakeEvents(F&& f) {
        while (m_event < m_replay.Events.size() && m_replay.Events[m_event].BeforeTick <= m_tick)
            f(m_replay.Events[m_event++]);
    }
    // The current tick's run; then Advance to the next tick.
    const TReplayRun& Current() const { return m_replay.Runs[m_run]; }
    void Advance();

  private:
    const TReplay& m_replay;
    uint32_t m_tick = 0;
    size_t m_run = 0;
    uint32_t m_inRun = 0;
    size_t m_event = 0;
};

// CRC-32 (the polynomial of zip and PNG) over bytes.
uint32_t Crc32(std::string_view bytes);
