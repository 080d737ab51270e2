#include "WaveFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "ByteWriter.h"

namespace audiogen {

std::vector<int16_t> ToPcm16(const std::vector<float>& samples) {
    std::vector<int16_t> pcm(samples.size());
    std::transform(samples.begin(), samples.end(), pcm.begin(), [](float s) {
        return static_cast<int16_t>(std::clamp(std::lround(s * 32767.0f), -32768L, 32767L));
    });
    return pcm;
}

std::vector<uint8_t> MakeWaveFile(const std::vector<int16_t>& samples, int sampleRate) {
    constexpr uint16_t FormatPcm = 1, Channels = 1, Bits = 16;
    const uint32_t dataSize = static_cast<uint32_t>(samples.size() * 2);
    ByteWriter out;
    out.Text("RIFF");
    out.U32(4 + (8 + 16) + (8 + dataSize) + (dataSize & 1));
    out.Text("WAVE");
    out.Text("fmt ");
    out.U32(16);
    out.U16(FormatPcm);
    out.U16(Channels);
    out.U32(static_cast<uint32_t>(sampleRate));
    out.U32(static_cast<uint32_t>(sampleRate) * Channels * Bits / 8);
    out.U16(Channels * Bits / 8);
    out.U16(Bits);
    out.Text("data");
    out.U32(dataSize);
    for (int16_t s : samples)
        out.U16(static_cast<uint16_t>(s));
    return out.Take();
}

WaveInfo ParseWaveFile(const std::vector<uint8_t>& bytes) {
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                     bytes[at + 3] << 24);
    };
    auto u16 = [&](size_t at) { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); };
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        throw std::runtime_error("not a RIFF WAVE file");
    WaveInfo info;
    bool haveFormat = false, haveData = false;
    size_t pos = 12;
    while (pos + 8 <= bytes.size()) {
        std::string id(reinterpret_cast<const char*>(bytes.data() + pos), 4);
        uint32_t size = u32(pos + 4);
        pos += 8;
        if (size > bytes.size() - pos)
            throw std::runtime_error("chunk '" + id + "' runs past the end of the file");
        if (id == "fmt ") {
            if (size < 16)
                throw std::runtime_error("format chunk too short");
            if (u16(pos) != 1)
                throw std::runtime_error("not PCM");
            info.Channels = u16(pos + 2);
            info.SampleRate = static_cast<int>(u32(pos + 4));
            info.BitsPerSample = u16(pos + 14);
            haveFormat = true;
        } else if (id == "data") {
            haveData = true;
            if (info.BitsPerSample == 16)
                for (size_t i = 0; i + 1 < size; i += 2)
                    info.Samples.push_back(static_cast<int16_t>(u16(pos + i)));
        }
        pos += size + (size & 1);
    }
    if (!haveFormat || !haveData)
        throw std::runtime_error("missing fmt or data chunk");
    return info;
}

} // namespace audiogen
