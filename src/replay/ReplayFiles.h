#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Where the game keeps replays: one per entry of the local table, named by the entry's score and
// name (two entries with the same name and score are the same claim, so either replay proves
// it), and the last race's.
inline constexpr const char* kReplayExtension = ".sdreplay";
inline constexpr const char* kLastRaceReplay = "last.sdreplay";

// The file name of the replay kept for a table entry.
std::string TableReplayName(const std::string& entryName, int32_t entryScore);

// Reads a replay file, at most one byte more than a replay may have (so an oversized file is
// told as such without reading it whole). Throws EReplayError naming the file and the reason.
std::string ReadReplayFile(const std::string& path);

// Writes through a temporary file beside the target, synced, renamed over it, then syncs the
// folder (created when missing). Throws std::runtime_error naming the file and the reason.
void WriteReplayFile(const std::string& path, const std::string& bytes);

// Removes the table replays in the folder that belong to none of the entries named in `keep`
// (file names as TableReplayName gives them), and temporary files a killed run left behind. The
// last race's replay stays. Problems are ignored: a replay is never worth failing for.
void PruneTableReplays(const std::string& folder, const std::vector<std::string>& keep);
