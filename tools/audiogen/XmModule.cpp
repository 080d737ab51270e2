#include "XmModule.h"

#include <cmath>
#include <stdexcept>

#include "ByteWriter.h"

namespace audiogen {
namespace {

constexpr int MaxChannels = 32, MaxOrders = 256, MaxPatterns = 256, MaxInstruments = 128,
              MaxEnvelopePoints = 12;
constexpr uint32_t HeaderSize = 276, PatternHeaderSize = 9, InstrumentHeaderSize = 263, SampleHeaderSize = 40;
constexpr uint16_t LinearFrequencies = 1;
// The rate at which C-4 plays a sample with no relative note or fine tune.
constexpr double MiddleCRate = 8363.0;
constexpr int MiddleC = 48; // C-4 with C-0 = 0

void WritePattern(ByteWriter& out, const XmPattern& pattern, int channels) {
    if (pattern.Rows < 1 || pattern.Rows > 256)
        throw std::runtime_error("pattern rows must be 1..256");
    if (pattern.Cells.size() != static_cast<size_t>(pattern.Rows * channels))
        throw std::runtime_error("pattern cell count does not match rows x channels");
    ByteWriter data;
    for (const XmCell& cell : pattern.Cells) {
        if (cell.Note > XmKeyOff)
            throw std::runtime_error("note out of range");
        // Packed form: a flag byte says which of the five fields follow.
        uint8_t flags = 0x80 | (cell.Note ? 1 : 0) | (cell.Instrument ? 2 : 0) | (cell.Volume ? 4 : 0) |
                        (cell.Effect ? 8 : 0) | (cell.Param ? 16 : 0);
        data.U8(flags);
        if (cell.Note)
            data.U8(cell.Note);
        if (cell.Instrument)
            data.U8(cell.Instrument);
        if (cell.Volume)
            data.U8(cell.Volume);
        if (cell.Effect)
            data.U8(cell.Effect);
        if (cell.Param)
            data.U8(cell.Param);
    }
    if (data.Size() > 0xFFFF)
        throw std::runtime_error("pattern too large");
    out.U32(PatternHeaderSize);
    out.U8(0); // packing type
    out.U16(static_cast<uint16_t>(pattern.Rows));
    out.U16(static_cast<uint16_t>(data.Size()));
    out.Append(data.Take());
}

void WriteInstrument(ByteWriter& out, const XmInstrument& inst) {
    const bool hasSample = !inst.Sample.empty();
    out.U32(hasSample ? InstrumentHeaderSize : 29);
    out.Fixed(inst.Name, 22);
    out.U8(0);
    out.U16(hasSample ? 1 : 0);
    if (!hasSample)
        return;
    if (inst.VolumeEnvelope.size() > MaxEnvelopePoints)
        throw std::runtime_error("instrument '" + inst.Name + "' has more than 12 envelope points");
    out.U32(SampleHeaderSize);
    out.Zeros(96); // every note uses sample 0
    for (int i = 0; i < MaxEnvelopePoints; ++i) {
        XmEnvelopePoint p =
            i < static_cast<int>(inst.VolumeEnvelope.size()) ? inst.VolumeEnvelope[i] : XmEnvelopePoint{};
        out.U16(p.Tick);
        out.U16(p.Value);
    }
    out.Zeros(48); // panning envelope
    out.U8(static_cast<uint8_t>(inst.VolumeEnvelope.size()));
    out.U8(0);
    out.U8(static_cast<uint8_t>(inst.SustainPoint < 0 ? 0 : inst.SustainPoint));
    out.U8(0);
    out.U8(0);
    out.Zeros(3); // panning sustain and loop
    uint8_t volumeType = inst.VolumeEnvelope.empty() ? 0 : (1 | (inst.SustainPoint >= 0 ? 2 : 0));
    out.U8(volumeType);
    out.U8(0);
    out.Zeros(4); // auto-vibrato
    out.U16(inst.FadeOut);
    out.Zeros(22);

    const uint32_t length = static_cast<uint32_t>(inst.Sample.size());
    if (inst.Looped && (inst.LoopLength == 0 || inst.LoopStart + inst.LoopLength > length))
        throw std::runtime_error("instrument '" + inst.Name + "' loop lies outside its sample");
    out.U32(length * 2);
    out.U32(inst.Looped ? inst.LoopStart * 2 : 0);
    out.U32(inst.Looped ? inst.LoopLength * 2 : 0);
    out.U8(inst.Volume);
    out.U8(static_cast<uint8_t>(inst.FineTune));
    out.U8(static_cast<uint8_t>((inst.Looped ? 1 : 0) | 0x10));
    out.U8(inst.Panning);
    out.U8(static_cast<uint8_t>(inst.RelativeNote));
    out.U8(0);
    out.Fixed(inst.Name, 22);
    // Sample data is stored as differences between neighbours.
    int16_t previous = 0;
    for (int16_t s : inst.Sample) {
        out.U16(static_cast<uint16_t>(static_cast<int16_t>(s - previous)));
        previous = s;
    }
}

} // namespace

void TuneSample(XmInstrument& instrument, int sampleRate, int baseSemitone) {
    double semitones = 12.0 * std::log2(sampleRate / MiddleCRate) - (baseSemitone - MiddleC);
    int whole = static_cast<int>(std::floor(semitones));
    int fine = static_cast<int>(std::lround((semitones - whole) * 128));
    if (fine >= 128)
        ++whole, fine -= 128;
    // Fine tune is signed: keep it within -64..63 by borrowing a semitone.
    if (fine > 63)
        ++whole, fine -= 128;
    if (whole < -96 || whole > 95)
        throw std::runtime_error("instrument '" + instrument.Name + "' cannot be tuned to its base note");
    instrument.RelativeNote = static_cast<int8_t>(whole);
    instrument.FineTune = static_cast<int8_t>(fine);
}

std::vector<uint8_t> WriteXm(const XmModule& module) {
    if (module.Channels < 1 || module.Channels > MaxChannels || module.Channels % 2 != 0)
        throw std::runtime_error("channel count must be even and 2..32");
    if (module.Orders.empty() || module.Orders.size() > MaxOrders)
        throw std::runtime_error("order list must hold 1..256 entries");
    if (module.Patterns.empty() || module.Patterns.size() > MaxPatterns)
        throw std::runtime_error("a module needs 1..256 patterns");
    if (module.Instruments.size() > MaxInstruments)
        throw std::runtime_error("at most 128 instruments");
    if (module.RestartPosition < 0 || module.RestartPosition >= static_cast<int>(module.Orders.size()))
        throw std::runtime_error("restart position outside the order list");
    if (module.Speed < 1 || module.Speed > 31 || module.Bpm < 32 || module.Bpm > 255)
        throw std::runtime_error("speed must be 1..31 and tempo 32..255");
    for (uint8_t order : module.Orders)
        if (order >= module.Patterns.size())
            throw std::runtime_error("order list names a missing pattern");

    ByteWriter out;
    out.Text("Extended Module: ");
    out.Fixed(module.Name, 20);
    out.U8(0x1A);
    out.Fixed("spraydash-audiogen", 20);
    out.U16(0x0104);
    out.U32(HeaderSize);
    out.U16(static_cast<uint16_t>(module.Orders.size()));
    out.U16(static_cast<uint16_t>(module.RestartPosition));
    out.U16(static_cast<uint16_t>(module.Channels));
    out.U16(static_cast<uint16_t>(module.Patterns.size()));
    out.U16(static_cast<uint16_t>(module.Instruments.size()));
    out.U16(LinearFrequencies);
    out.U16(static_cast<uint16_t>(module.Speed));
    out.U16(static_cast<uint16_t>(module.Bpm));
    for (int i = 0; i < MaxOrders; ++i)
        out.U8(i < static_cast<int>(module.Orders.size()) ? module.Orders[i] : 0);
    for (const auto& pattern : module.Patterns)
        WritePattern(out, pattern, module.Channels);
    for (const auto& instrument : module.Instruments)
        WriteInstrument(out, instrument);
    return out.Take();
}

} // namespace audiogen
