// The server's decoder against the game's own encoder.

#include "server/service/ScoreCodec.h"
#include "menus/ScoreSubmission.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace std::string_literals;

std::string DecodeOrFail(std::string_view symbols) {
    std::string error;
    std::optional<std::string> bytes = DecodeSymbols(symbols, error);
    EXPECT_TRUE(bytes) << error;
    return bytes.value_or("");
}

TEST(ScoreCodec, SameAlphabetAsTheGame) {
    EXPECT_EQ(kScoreSymbols, ScoreSymbols);
}

TEST(ScoreCodec, EveryByteSurvivesTheGamesEncoding) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    all += "\xff\xff\xff\xff"; // 260 bytes: whole groups of five
    EXPECT_EQ(DecodeOrFail(EncodeText(all)), all);
}

struct TRoundTrip {
    const char* What;
    std::string Name;
    std::int32_t Score;
    std::string Crew;
};

TEST(ScoreCodec, ResultsRoundTripThroughTheGamesEncoder) {
    const TRoundTrip cases[] = {
        {"plain", "ACE", 1234, "_______"},
        {"separators in the name", "a|b=c|=", 77, "crew"},
        {"name that looks like fields", "|score=1|k", 5, "x"},
        {"crew that looks like fields", "Ann", 9, "|z=|add=0"},
        {"bytes 128-255", "\xc4\xd6\xdc\xe9\xff\x80\x9f\xa0", 42, "\xe6\xf8\xe5"},
        {"empty name", "", 10, "_______"},
        {"empty crew", "Bo", 10, ""},
        {"full crew", "Bo", 10, "ABCDEFGHIJ"},
        {"full name", "0123456789", 10, "x"},
        {"name of zeros before the padding", "0000", 0, "0"},
        {"negative score", "Neg", -50, "x"},
        {"largest score", "Max", std::numeric_limits<std::int32_t>::max(), "x"},
        {"smallest score", "Min", std::numeric_limits<std::int32_t>::min(), "x"},
        {"zero", "Zero", 0, ""},
    };
    for (const TRoundTrip& c : cases) {
        SCOPED_TRACE(c.What);
        std::string url = BuildScoreRequestUrl("", c.Name, c.Score, c.Crew);
        ASSERT_EQ(url.substr(0, ScoreRequestPath.size()), ScoreRequestPath);
        std::string payload = DecodeOrFail(url.substr(ScoreRequestPath.size()));
        EXPECT_EQ(payload, BuildScorePayload(c.Name, c.Score, c.Crew));
        std::string error;
        std::optional<TScorePayload> parsed = ParseScorePayload(payload, error);
        ASSERT_TRUE(parsed) << error;
        EXPECT_EQ(parsed->Name, c.Name);
        EXPECT_EQ(parsed->Score, c.Score);
        EXPECT_EQ(parsed->Crew, c.Crew);
    }
}

TEST(ScoreCodec, MalformedSymbolsAreRefused) {
    const std::string good = EncodeText(BuildScorePayload("ACE", 1, "x"));
    struct TCase {
        const char* What;
        std::string Symbols;
        const char* Reason;
    } cases[] = {
        {"Z is not a symbol", "ZAAAAAAA", "\"Z\" at position 1"},
        {"0 is not a symbol", "AAAAAAA0", "\"0\" at position 8"},
        {"lower case", "aAAAAAAA", "\"a\" at position 1"},
        {"percent escape", "A%41AAAA", "\"%\" at position 2"},
        {"one symbol short", good.substr(1), "not a multiple of 8"},
        {"one symbol more", good + "A", "not a multiple of 8"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        std::string error;
        EXPECT_FALSE(DecodeSymbols(c.Symbols, error));
        EXPECT_NE(error.find(c.Reason), std::string::npos) << error;
    }
}

TEST(ScoreCodec, MalformedResultsAreRefused) {
    auto padded = [](std::string text) {
        while (text.size() % 5 != 0)
            text += '0';
        return text;
    };
    struct TCase {
        const char* What;
        std::string Payload;
        const char* Reason;
    } cases[] = {
        {"empty", "", "start with"},
        {"other type", padded("type=1|name=A|score=1|key=Q|p=|add=x|z="), "start with"},
        {"fields out of order", padded("type=0|name=A|key=Q|score=1|p=|add=x|z="), "lacks"},
        {"score missing", padded("type=0|name=A|key=Q|p=|add=x|z="), "lacks"},
        {"key missing", padded("type=0|name=A|score=1|p=|add=x|z="), "lacks"},
        {"other key", padded("type=0|name=A|score=1|key=R|p=|add=x|z="), "lacks"},
        {"p with a value", padded("type=0|name=A|score=1|key=Q|p=1|add=x|z="), "lacks"},
        {"extra field before add", padded("type=0|name=A|score=1|key=Q|p=|v=2|add=x|z="), "lacks"},
        {"z missing", padded("type=0|name=A|score=1|key=Q|p=|add=x"), "end with"},
        {"padding missing", "type=0|name=A|score=1|key=Q|p=|add=x|z=", "padding"},
        {"padding too long", "type=0|name=A|score=1|key=Q|p=|add=x|z=00000", "padding"},
        {"name too long", padded("type=0|name=ABCDEFGHIJK|score=1|key=Q|p=|add=x|z="), "name is 11"},
        {"crew too long", padded("type=0|name=A|score=1|key=Q|p=|add=ABCDEFGHIJK|z="), "crew text is 11"},
        {"score above 32 bits", padded("type=0|name=A|score=2147483648|key=Q|p=|add=x|z="), "32-bit"},
        {"score below 32 bits", padded("type=0|name=A|score=-2147483649|key=Q|p=|add=x|z="), "32-bit"},
        {"score far too long", padded("type=0|name=A|score=99999999999999999999999|key=Q|p=|add=|z="),
         "32-bit"},
        {"leading zero", padded("type=0|name=A|score=012|key=Q|p=|add=x|z="), "not written"},
        {"minus zero", padded("type=0|name=A|score=-0|key=Q|p=|add=x|z="), "not written"},
        {"plus sign", padded("type=0|name=A|score=+5|key=Q|p=|add=x|z="), "lacks"},
        {"empty score", padded("type=0|name=A|score=|key=Q|p=|add=x|z="), "not written"},
        {"control character in name", padded(std::string("type=0|name=A\nB|score=1|key=Q|p=|add=x|z=")),
         "0x0A"},
        {"nul in crew", padded("type=0|name=A|score=1|key=Q|p=|add=x\0y|z="s), "0x00"},
        {"byte the code page lacks", padded("type=0|name=A\x81|score=1|key=Q|p=|add=x|z="), "0x81"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        std::string error;
        EXPECT_FALSE(ParseScorePayload(c.Payload, error));
        EXPECT_NE(error.find(c.Reason), std::string::npos) << error;
    }
}

TEST(ScoreCodec, DigestTellsResultsApart) {
    std::string a = BuildScorePayload("Ann", 100, "x");
    EXPECT_EQ(PayloadDigest(a), PayloadDigest(BuildScorePayload("Ann", 100, "x")));
    EXPECT_NE(PayloadDigest(a), PayloadDigest(BuildScorePayload("Ann", 101, "x")));
    EXPECT_EQ(PayloadDigest(""), 0xcbf29ce484222325ull) << "the stored digests depend on this exact function";
}

} // namespace
