#include "engine/audio/Wave.h"

#include "engine/audio/AudioErrors.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr size_t kPcmFormatSize = 16;        // tag, channels, rate, byte rate, block align, bits
constexpr size_t kExtensibleFormatSize = 40; // + extra size, valid bits, channel mask, sub-format
// The frequency range the original sound buffers accepted.
constexpr int kMinRate = 100;
constexpr int kMaxRate = 200000;
// A converted recording longer than this is refused rather than filling memory: effects are short.
constexpr uint64_t kMaxConvertedFrames = 10ull * 60 * 48000;

uint16_t ReadU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t ReadU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// One sample of any supported layout scaled to the signed 16-bit range.
int ReadSample(const uint8_t* p, const TWaveFormat& format) {
    switch (format.BitsPerSample) {
    case 8:
        return (static_cast<int>(p[0]) - 128) << 8;
    case 16:
        return static_cast<int16_t>(ReadU16(p));
    case 24:
        return static_cast<int16_t>(ReadU16(p + 1));
    default: // 32
        if (format.Float) {
            float value;
            uint32_t bits = ReadU32(p);
            std::memcpy(&value, &bits, sizeof value);
            if (!std::isfinite(value)) {
                return 0;
            }
            return static_cast<int>(std::clamp(value, -1.0f, 1.0f) * 32767.0f);
        }
        return static_cast<int16_t>(ReadU16(p + 2));
    }
}

} // namespace

TWave ReadRiffWave(std::span<const uint8_t> riff) {
    if (riff.size() < 12 || std::memcmp(riff.data(), "RIFF", 4) != 0 ||
        std::memcmp(riff.data() + 8, "WAVE", 4) != 0) {
        throw EWaveError(AudioMessages::WaveInvalid);
    }
    TWave wave;
    size_t pos = 12;
    size_t dataPos = 0;
    size_t dataSize = 0;
    // A header that cannot be read whole ends the scan.
    while (riff.size() - pos >= 8) {
        const uint8_t* header = riff.data() + pos;
        const size_t size = ReadU32(header + 4);
        pos += 8;
        const size_t available = std::min(size, riff.size() - pos);
        if (std::memcmp(header, "fmt ", 4) == 0) {
            wave.Format.assign(riff.begin() + pos, riff.begin() + pos + available);
        } else if (std::memcmp(header, "data", 4) == 0) {
            dataPos = pos;
            dataSize = available;
        }
        pos += available;
    }
    wave.Data.assign(riff.begin() + dataPos, riff.begin() + dataPos + dataSize);
    return wave;
}

TWaveFormat ParseWaveFormat(std::span<const uint8_t> block) {
    TWaveFormat format;
    if (block.size() < kPcmFormatSize) {
        return format;
    }
    uint16_t tag = ReadU16(block.data());
    if (tag == kFormatExtensible) {
        if (block.size() < kExtensibleFormatSize) {
            return format;
        }
        // The sub-format GUID starts with the plain format tag.
        tag = ReadU16(block.data() + 24);
    }
    format.Float = tag == kFormatFloat;
    format.Channels = ReadU16(block.data() + 2);
    format.SampleRate = static_cast<int>(std::min<uint32_t>(ReadU32(block.data() + 4), kMaxRate + 1));
    format.BitsPerSample = ReadU16(block.data() + 14);
    const int bytes = format.BitsPerSample / 8;
    format.BlockAlign = std::max<int>(ReadU16(block.data() + 12), format.Channels * bytes);

    const bool intPcm = tag == kFormatPcm && (format.BitsPerSample == 8 || format.BitsPerSample == 16 ||
                                              format.BitsPerSample == 24 || format.BitsPerSample == 32);
    const bool floatPcm = tag == kFormatFloat && format.BitsPerSample == 32;
    format.Valid = (intPcm || floatPcm) && format.Channels > 0 && format.SampleRate >= kMinRate &&
                   format.SampleRate <= kMaxRate;
    return format;
}

std::vector<int16_t> ConvertWave(const TWave& wave, int deviceRate) {
    const TWaveFormat format = ParseWaveFormat(wave.Format);
    if (!format.Valid || deviceRate <= 0) {
        throw EDirectSoundBufferError(AudioMessages::CannotBeMade("Sound Buffer"));
    }
    const uint64_t inFrames = wave.Data.size() / static_cast<size_t>(format.BlockAlign);
    const uint64_t outFrames =
        inFrames * static_cast<uint64_t>(deviceRate) / static_cast<uint64_t>(format.SampleRate);
    if (outFrames > kMaxConvertedFrames) {
        throw EDirectSoundBufferError(AudioMessages::CannotBeMade("Sound Buffer"));
    }

    const int secondChannelOffset = format.Channels > 1 ? format.BitsPerSample / 8 : 0;
    auto sample = [&](uint64_t frame, int side) {
        const uint8_t* p = wave.Data.data() + frame * format.BlockAlign + (side ? secondChannelOffset : 0);
        return ReadSample(p, format);
    };

    std::vector<int16_t> out(outFrames * 2);
    // Source position in 32.32 fixed point, stepped once per output frame.
    const uint64_t step =
        (static_cast<uint64_t>(format.SampleRate) << 32) / static_cast<uint64_t>(deviceRate);
    uint64_t position = 0;
    for (uint64_t i = 0; i < outFrames; ++i, position += step) {
        const uint64_t frame = std::min<uint64_t>(position >> 32, inFrames - 1);
        const uint64_t next = std::min<uint64_t>(frame + 1, inFrames - 1);
        const int64_t fraction = static_cast<int64_t>((position >> 16) & 0xFFFF);
        for (int side = 0; side < 2; ++side) {
            const int64_t a = sample(frame, side);
            const int64_t b = sample(next, side);
            out[i * 2 + side] = static_cast<int16_t>(a + (((b - a) * fraction) >> 16));
        }
    }
    return out;
}
