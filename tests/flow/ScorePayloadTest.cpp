// The test's decoder is only worth trusting if it inverts the game's encoder exactly.
#include "flow/ScorePayload.h"
#include "menus/ScoreSubmission.h"

#include <gtest/gtest.h>

TEST(ScorePayloadDecoder, InvertsTheGamesEncoderForEveryByteAndLength) {
    EXPECT_EQ(DecodeScoreText("GC2VD"), "abc");
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    for (std::size_t length : {0u, 1u, 2u, 3u, 4u, 5u, 256u}) {
        const std::string text = all.substr(0, length);
        EXPECT_EQ(DecodeScoreText(EncodeText(text)), text) << "length " << length;
    }
}

TEST(ScorePayloadDecoder, RejectsWhatTheEncoderNeverWrites) {
    EXPECT_FALSE(DecodeScoreText("AB0D"));  // 0 is not a symbol
    EXPECT_FALSE(DecodeScoreText("9AAAA")); // a set bit inside the front padding
    EXPECT_FALSE(ScoreSymbolsOfTarget("/cgi/version.pl?prg=Spraydash&hs&inf=AB"));
    EXPECT_EQ(RequestTarget("GET /a?b HTTP/1.1\r\nHost: x\r\n\r\n"), "/a?b");
}
