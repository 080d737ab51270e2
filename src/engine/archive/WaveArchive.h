#pragma once

#include "engine/archive/ArchiveErrors.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// One sound item as a sound archive stores it; Wave is the whole RIFF WAVE file, left to
// the sound engine to take apart.
struct TWaveArchiveItem {
    std::string Name;
    bool Looped = false;
    int32_t MaxPlayingCount = 0; // never negative
    std::vector<uint8_t> Wave;
};

std::vector<TWaveArchiveItem> ReadWaveArchive(const std::string& fileName);
std::vector<TWaveArchiveItem> ReadWaveArchive(std::span<const uint8_t> bytes);
std::vector<uint8_t> WriteWaveArchive(const std::vector<TWaveArchiveItem>& items);
void WriteWaveArchiveFile(const std::string& fileName, const std::vector<TWaveArchiveItem>& items);
