#pragma once
#include <cstdint>
#include <vector>

namespace audiogen {

// Mono 16-bit PCM as a complete RIFF WAVE file ("fmt " then "data").
std::vector<uint8_t> MakeWaveFile(const std::vector<int16_t>& samples, int sampleRate);

// Scales to 16 bits with rounding and clamping.
std::vector<int16_t> ToPcm16(const std::vector<float>& samples);

struct WaveInfo {
    int Channels = 0, SampleRate = 0, BitsPerSample = 0;
    std::vector<int16_t> Samples; // only for 16-bit PCM
};
// Reads what MakeWaveFile writes (and any chunk order); throws std::runtime_error on a malformed file.
WaveInfo ParseWaveFile(const std::vector<uint8_t>& bytes);

} // namespace audiogen
