#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace audiogen {

constexpr uint8_t XmKeyOff = 97;

// One cell of a pattern; 0 means "nothing" in every field.
struct XmCell {
    uint8_t Note = 0;       // 1 = C-0 .. 96 = B-7, XmKeyOff
    uint8_t Instrument = 0; // 1-based
    uint8_t Volume = 0;     // volume column byte: 0x10..0x50 sets volume 0..64
    uint8_t Effect = 0, Param = 0;
};

struct XmPattern {
    int Rows = 64;
    std::vector<XmCell> Cells; // Rows * channel count, row-major
};

struct XmEnvelopePoint {
    uint16_t Tick = 0, Value = 0; // value 0..64
};

// An instrument with one 16-bit sample.
struct XmInstrument {
    std::string Name;
    std::vector<int16_t> Sample;
    bool Looped = false;
    uint32_t LoopStart = 0, LoopLength = 0; // in samples
    uint8_t Volume = 64, Panning = 128;
    int8_t RelativeNote = 0, FineTune = 0;
    std::vector<XmEnvelopePoint> VolumeEnvelope; // empty: none
    int SustainPoint = -1;
    uint16_t FadeOut = 0;
};

struct XmModule {
    std::string Name;
    int Channels = 8;
    int Speed = 6, Bpm = 125;
    int RestartPosition = 0;
    std::vector<uint8_t> Orders;
    std::vector<XmPattern> Patterns;
    std::vector<XmInstrument> Instruments;
};

// Serialises a module as an XM 1.04 file with the linear frequency table; throws std::runtime_error if
// the module breaks the format's limits.
std::vector<uint8_t> WriteXm(const XmModule& module);

// Relative note and fine tune that make the given note (semitone, C-0 = 0) play a sample at its own rate.
void TuneSample(XmInstrument& instrument, int sampleRate, int baseSemitone);

} // namespace audiogen
