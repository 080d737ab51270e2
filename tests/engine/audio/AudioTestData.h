#pragma once

// Small recordings and modules made in memory for the audio tests and benchmark.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace audiotest {

inline void PutU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}
inline void PutText(std::vector<uint8_t>& out, const char* text, size_t width) {
    const size_t n = std::strlen(text);
    for (size_t i = 0; i < width; ++i) {
        out.push_back(i < n ? static_cast<uint8_t>(text[i]) : 0);
    }
}

// A PCM format block: tag 1, channels, rate, bits.
inline std::vector<uint8_t> PcmFormat(int channels, int rate, int bits) {
    std::vector<uint8_t> out;
    const int blockAlign = channels * bits / 8;
    PutU16(out, 1);
    PutU16(out, channels);
    PutU32(out, rate);
    PutU32(out, rate * blockAlign);
    PutU16(out, blockAlign);
    PutU16(out, bits);
    return out;
}

inline void PutChunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body) {
    out.insert(out.end(), id, id + 4);
    PutU32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
}

// A RIFF WAVE file; extraChunk, when given, is put before "fmt ".
inline std::vector<uint8_t> RiffWave(const std::vector<uint8_t>& format, const std::vector<uint8_t>& data,
                                     const char* extraChunk = nullptr) {
    std::vector<uint8_t> body;
    body.insert(body.end(), {'W', 'A', 'V', 'E'});
    if (extraChunk) {
        PutChunk(body, extraChunk, {1, 2, 3, 4, 5, 6, 7});
    }
    PutChunk(body, "fmt ", format);
    PutChunk(body, "data", data);
    std::vector<uint8_t> out{'R', 'I', 'F', 'F'};
    PutU32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// 16-bit mono samples, all of one value, as little-endian bytes.
inline std::vector<uint8_t> ConstantSamples16(int frames, int16_t value) {
    std::vector<uint8_t> out;
    for (int i = 0; i < frames; ++i) {
        PutU16(out, static_cast<uint16_t>(value));
    }
    return out;
}

struct TTestModule {
    int Orders = 2; // pattern i is played at order i
    int RowsPerPattern = 4;
    int Channels = 2;
    int Speed = 1; // ticks per row
    int Bpm = 125; // 20 ms per tick
    int RestartPosition = 0;
    bool NoteEveryRow = false; // else one note at the start of each pattern
};

// A minimal XM module: one looped 8-bit square-wave instrument, a note on channel 0 at the start
// of each pattern (or on every channel and row).
inline std::vector<uint8_t> MakeXm(const TTestModule& m) {
    std::vector<uint8_t> out;
    PutText(out, "Extended Module: ", 17);
    PutText(out, "test", 20);
    out.push_back(0x1A);
    PutText(out, "sound tests", 20);
    PutU16(out, 0x0104);
    PutU32(out, 276);
    PutU16(out, m.Orders);
    PutU16(out, m.RestartPosition);
    PutU16(out, m.Channels);
    PutU16(out, m.Orders);
    PutU16(out, 1); // instruments
    PutU16(out, 1); // linear frequency table
    PutU16(out, m.Speed);
    PutU16(out, m.Bpm);
    for (int i = 0; i < 256; ++i) {
        out.push_back(i < m.Orders ? static_cast<uint8_t>(i) : 0);
    }
    for (int p = 0; p < m.Orders; ++p) {
        std::vector<uint8_t> packed;
        for (int row = 0; row < m.RowsPerPattern; ++row) {
            for (int ch = 0; ch < m.Channels; ++ch) {
                if ((row == 0 && ch == 0) || m.NoteEveryRow) {
                    packed.push_back(0x80 | 0x01 | 0x02); // note and instrument follow
                    packed.push_back(static_cast<uint8_t>(37 + (row + ch * 5 + p * 3) % 24));
                    packed.push_back(1);
                } else {
                    packed.push_back(0x80);
                }
            }
        }
        PutU32(out, 9);
        out.push_back(0);
        PutU16(out, m.RowsPerPattern);
        PutU16(out, static_cast<uint32_t>(packed.size()));
        out.insert(out.end(), packed.begin(), packed.end());
    }
    // Instrument header with one sample.
    const size_t start = out.size();
    PutU32(out, 263);
    PutText(out, "square", 22);
    out.push_back(0);
    PutU16(out, 1);
    PutU32(out, 40);
    out.resize(start + 263, 0); // key map, envelopes and the rest all zero
    const int length = 32;
    PutU32(out, length);
    PutU32(out, 0);
    PutU32(out, length);
    out.push_back(64);  // volume
    out.push_back(0);   // fine tune
    out.push_back(1);   // forward loop, 8-bit
    out.push_back(128); // panning
    out.push_back(0);   // relative note
    out.push_back(0);
    PutText(out, "square", 22);
    int previous = 0;
    for (int i = 0; i < length; ++i) {
        const int value = i < length / 2 ? 60 : -60;
        out.push_back(static_cast<uint8_t>(value - previous));
        previous = value;
    }
    return out;
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace audiotest
