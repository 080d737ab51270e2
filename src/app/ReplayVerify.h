#pragma once

#include "replay/Replay.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Re-running a replay's race to see what it comes to: the game's own race, overlays and all, on
// the headless platform, without window, sound or (unless asked for) pictures. This is what
// `spraydash --verify-replay` prints, and what a score server links to check a result.

class TRace;

struct TReplayCheckOptions {
    std::string DataDir = "Data"; // holds Res/Res1.dxg and Res/Res3.dxg
    // Draw every frame, to check the last picture too (slower; needs the fonts).
    bool Pictures = false;
    // Called after every tick with the race as it stands (tests follow jumps and shots by it).
    std::function<void(const TRace&)> AfterTick;
    // Caps for replays from strangers: a replay longer than MaxTicks is not run at all (0: the
    // format's own cap), and the run stops when Deadline passes; either makes the verdict a
    // mismatch that says which cap it met.
    uint32_t MaxTicks = 0;
    std::optional<std::chrono::steady_clock::time_point> Deadline;
};

struct TReplayVerdict {
    TReplay Replay; // as read
    // What the race came to, once it ended within the replay's ticks.
    std::optional<TRaceResult> Reproduced;
    uint32_t TicksRun = 0;
    std::optional<uint32_t> PictureChecksum; // of the last frame, when drawn
    bool Matches = false;
    std::string Mismatch; // why not, when it does not match
    bool Capped = false;  // stopped by MaxTicks or Deadline before the race was through
};

// Throws EReplayError when the bytes are not a replay this game can read (not a replay, wrong
// format version, truncated, bad checksum, other game data); std::runtime_error when the
// game's own data cannot be loaded.
TReplayVerdict VerifyReplay(std::string_view bytes, const TReplayCheckOptions& options);

// One line of JSON: score, level, lives, ticks, name, crew, data hash, match (and what was claimed).
std::string VerdictJson(const TReplayVerdict& verdict);

// The race this build re-runs on the data in dataDir: the game version replays carry and the
// hash of the data the race's outcome depends on. Throws std::runtime_error naming the file
// when the data cannot be read.
struct TRaceBuild {
    std::string GameVersion;
    uint64_t DataHash = 0;
};
TRaceBuild RaceBuildOf(const std::string& dataDir);
