#include "engine/audio/Wave.h"
#include "engine/audio/AudioErrors.h"
#include "engine/audio/AudioTestData.h"

#include <gtest/gtest.h>

using namespace audiotest;

TEST(RiffWave, SkipsChunksBeforeTheFormatBlock) {
    const auto format = PcmFormat(1, 22050, 16);
    const auto data = ConstantSamples16(5, 1234);
    for (const char* extra : {"LIST", "fact", "\0\0\0\0"}) {
        const TWave wave = ReadRiffWave(RiffWave(format, data, extra));
        EXPECT_EQ(wave.Format, format) << extra;
        EXPECT_EQ(wave.Data, data) << extra;
    }
}

TEST(RiffWave, KeepsAnOddFormatBlockVerbatim) {
    auto format = PcmFormat(2, 8000, 8);
    format.insert(format.end(), {0, 0, 9}); // extra size 0 and one stray byte
    EXPECT_EQ(ReadRiffWave(RiffWave(format, {1, 2})).Format, format);
}

TEST(RiffWave, BadHeaderIsInvalid) {
    const auto good = RiffWave(PcmFormat(1, 8000, 8), {128, 128});
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases = {
        {"empty", {}},
        {"short", {good.begin(), good.begin() + 11}},
        {"not RIFF", good},
        {"not WAVE", good},
    };
    cases[2].bytes[3] = 'X';
    cases[3].bytes[11] = 'X';
    for (const Case& c : cases) {
        try {
            ReadRiffWave(c.bytes);
            ADD_FAILURE() << c.what;
        } catch (const EWaveError& error) {
            EXPECT_STREQ(error.what(), "Wave is invalid") << c.what;
        }
    }
}

TEST(RiffWave, ChunkRunningPastTheEndKeepsWhatIsThere) {
    auto bytes = RiffWave(PcmFormat(1, 8000, 8), {10, 20, 30});
    bytes[bytes.size() - 7] = 200; // "data" size claims 200 bytes
    EXPECT_EQ(ReadRiffWave(bytes).Data, (std::vector<uint8_t>{10, 20, 30}));
    // A header cut short ends the scan without a data chunk.
    auto cut = RiffWave(PcmFormat(1, 8000, 8), {});
    cut.erase(cut.end() - 3, cut.end());
    EXPECT_TRUE(ReadRiffWave(cut).Data.empty());
}

TEST(ConvertWave, TurnsEveryPcmLayoutIntoDeviceStereo) {
    auto bytes = [](std::initializer_list<int> values) {
        std::vector<uint8_t> out;
        for (int v : values) {
            out.push_back(static_cast<uint8_t>(v));
        }
        return out;
    };
    std::vector<uint8_t> floatFormat = PcmFormat(1, 100, 32);
    floatFormat[0] = 3;
    std::vector<uint8_t> extensible = PcmFormat(2, 100, 16);
    extensible[0] = 0xFE;
    extensible[1] = 0xFF;
    extensible.resize(40, 0);
    extensible[24] = 1; // sub-format PCM
    struct Case {
        const char* what;
        std::vector<uint8_t> format;
        std::vector<uint8_t> data;
        std::vector<int16_t> expected;
    };
    const std::vector<Case> cases = {
        {"8-bit mono",
         PcmFormat(1, 100, 8),
         bytes({128, 255, 0}),
         {0, 0, 127 << 8, 127 << 8, -32768, -32768}},
        {"16-bit stereo", PcmFormat(2, 100, 16), bytes({0x10, 0x00, 0xF0, 0xFF}), {16, -16}},
        {"24-bit mono", PcmFormat(1, 100, 24), bytes({0xAA, 0x34, 0x12}), {0x1234, 0x1234}},
        {"32-bit stereo", PcmFormat(2, 100, 32), bytes({0, 0, 0x34, 0x12, 0, 0, 0, 0x80}), {0x1234, -32768}},
        {"float mono", floatFormat, bytes({0, 0, 0x80, 0x3F}), {32767, 32767}}, // 1.0f
        {"extensible", extensible, bytes({1, 0, 2, 0}), {1, 2}},
        {"channels past the second dropped", PcmFormat(3, 100, 8), bytes({129, 130, 200}), {256, 512}},
    };
    for (const Case& c : cases) {
        TWave wave{c.format, c.data};
        EXPECT_EQ(ConvertWave(wave, 100), c.expected) << c.what;
    }
}

TEST(ConvertWave, ResamplesLinearly) {
    std::vector<uint8_t> data;
    for (int16_t v : {0, 1000, 2000}) {
        PutU16(data, static_cast<uint16_t>(v));
    }
    const auto out = ConvertWave(TWave{PcmFormat(1, 22050, 16), data}, 44100);
    ASSERT_EQ(out.size(), 12u);
    const std::vector<int16_t> left = {out[0], out[2], out[4], out[6], out[8], out[10]};
    EXPECT_EQ(left, (std::vector<int16_t>{0, 500, 1000, 1500, 2000, 2000}));

    const auto down = ConvertWave(TWave{PcmFormat(1, 88200, 16), ConstantSamples16(100, 7)}, 44100);
    EXPECT_EQ(down.size(), 100u);
}

TEST(ConvertWave, UnplayableFormatsCannotBeMade) {
    const std::vector<uint8_t> pcm8 = PcmFormat(1, 8000, 8);
    std::vector<uint8_t> adpcm = PcmFormat(1, 8000, 4);
    adpcm[0] = 2;
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"no format block", {}},
        {"short block", std::vector<uint8_t>(pcm8.begin(), pcm8.begin() + 14)},
        {"compressed", adpcm},
        {"12-bit", PcmFormat(1, 8000, 12)},
        {"no channels", PcmFormat(0, 8000, 8)},
        {"rate 0", PcmFormat(1, 0, 8)},
        {"rate too high", PcmFormat(1, 400000, 8)},
    };
    for (const auto& [what, format] : cases) {
        try {
            ConvertWave(TWave{format, {1, 2, 3, 4}}, 44100);
            ADD_FAILURE() << what;
        } catch (const EDirectSoundBufferError& error) {
            EXPECT_STREQ(error.what(), "Sound Buffer cannot be made") << what;
        }
    }
}
