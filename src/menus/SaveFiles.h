#pragma once

#include <optional>
#include <string>
#include <vector>

// The save files are short text files of single-byte lines ended by CR LF.

// True when the file opens for reading and the name is not empty.
bool SaveFileExists(const std::string& fileName);

// The file's lines without their line ends; LF-only files read the same as CR LF ones.
std::vector<std::string> ReadSaveLines(const std::string& fileName);

// Writes the lines, each ended by CR LF, to a temporary file beside the target, flushes it
// and renames it over the target, so a failed write never loses the previous file. The
// folder is created when missing. Throws with the file name and the reason on failure.
void WriteSaveLines(const std::string& fileName, const std::vector<std::string>& lines);

// A decimal integer after optional blanks, the rest of the line ignored; nullopt when the
// line holds no number.
std::optional<long long> ParseSaveNumber(const std::string& line);
