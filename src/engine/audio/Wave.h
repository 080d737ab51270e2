#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// A recording as the archive stores it: the bytes of the "fmt " chunk, kept verbatim
// whatever their length, and the bytes of the "data" chunk.
struct TWave {
    std::vector<uint8_t> Format;
    std::vector<uint8_t> Data;

    bool Empty() const { return Data.empty(); }
};

// Reads a complete RIFF WAVE file. Chunks other than "fmt " and "data" are skipped, and a chunk
// whose size runs past the end keeps the bytes that are there. Throws EWaveError
// ("Wave is invalid") when the file does not start with "RIFF", a size and "WAVE".
TWave ReadRiffWave(std::span<const uint8_t> riff);

// What a format block says about the samples; Valid is false for anything the mixer cannot
// play (too short, not integer or float PCM, no channels, odd sample sizes, rate out of range).
struct TWaveFormat {
    bool Valid = false;
    bool Float = false;
    int Channels = 0;
    int SampleRate = 0;
    int BitsPerSample = 0;
    int BlockAlign = 0; // bytes per frame of all channels
};

TWaveFormat ParseWaveFormat(std::span<const uint8_t> format);

// Turns a recording into interleaved signed 16-bit stereo at deviceRate (mono is copied to both
// sides, channels past the second are dropped, the rate is converted by linear interpolation).
// Throws EDirectSoundBufferError ("Sound Buffer cannot be made") when the format cannot be played.
std::vector<int16_t> ConvertWave(const TWave& wave, int deviceRate);
