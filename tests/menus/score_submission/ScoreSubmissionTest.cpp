#include "menus/ScoreSubmission.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(ScoreEncoding, BuildingBlocks) {
    EXPECT_EQ(BitsToByte("00000000"), 0);
    EXPECT_EQ(BitsToByte("10000001"), 0x81);
    EXPECT_EQ(BitsToByte("01100001"), 'a');
    EXPECT_EQ(GroupValue("00000"), 1);
    EXPECT_EQ(GroupValue("11111"), 32);
    EXPECT_EQ(GroupValue("1x000"), 17 + 8) << "anything but \"0\" counts as a set bit";
    EXPECT_EQ(TextToBits("a\xff"), "0110000111111111");
    EXPECT_EQ(TextToBits(std::string(1, '\0')), "00000000");
    EXPECT_EQ(BitsToSymbols("00000"), "A");
    EXPECT_EQ(BitsToSymbols("11111"), "9");
    EXPECT_EQ(BitsToSymbols("1"), "B") << "padded in front";
}

TEST(ScoreEncoding, EveryByteRoundTripsThroughItsBits) {
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(BitsToByte(TextToBits(std::string(1, static_cast<char>(b)))), b);
}

TEST(ScoreEncoding, Examples) {
    EXPECT_EQ(EncodeText("abc"), "GC2VD");
    EXPECT_EQ(EncodeText(""), "");
    EXPECT_EQ(EncodeText("\xff\xff\xff\xff\xff"), "99999999");
    EXPECT_EQ(EncodeText(std::string(5, '\0')), "AAAAAAAA");
}

TEST(ScorePayload, FieldsInOrder) {
    EXPECT_EQ(BuildScorePayload("ACE", 1234, "_______"),
              "type=0|name=ACE|score=1234|key=Q|p=|add=_______|z=");
    EXPECT_EQ(BuildScorePayload("", 0, ""), "type=0|name=|score=0|key=Q|p=|add=|z=000");
    EXPECT_EQ(BuildScorePayload("Bo", -50, "hi"), "type=0|name=Bo|score=-50|key=Q|p=|add=hi|z=00");
}

TEST(ScorePayload, NameAndTextGoInUnchanged) {
    const std::string name = "a|b=c&d% \xe9";
    const std::string text = "x=|y";
    const std::string payload = BuildScorePayload(name, 7, text);
    EXPECT_NE(payload.find("|name=" + name + "|score=7|"), std::string::npos) << payload;
    EXPECT_NE(payload.find("|add=" + text + "|z="), std::string::npos) << payload;
}

TEST(ScorePayload, LengthsForEveryPaddingCase) {
    std::set<std::size_t> remainders;
    for (std::size_t nameLength = 0; nameLength <= 10; ++nameLength) {
        const std::string payload = BuildScorePayload(std::string(nameLength, 'N'), 99, "info");
        EXPECT_EQ(payload.size() % 5, 0u);
        EXPECT_NE(payload.find("p=|add="), std::string::npos);
        const std::string encoded = EncodeText(payload);
        EXPECT_EQ(encoded.size(), payload.size() * 8 / 5);
        EXPECT_EQ(encoded.size() % 8, 0u);
        EXPECT_EQ(encoded.find_first_not_of(ScoreSymbols), std::string::npos);
        remainders.insert((payload.find("|z=") + 3) % 5);
    }
    EXPECT_EQ(remainders.size(), 5u) << "every amount of padding was exercised";
}

TEST(ScoreRequestUrl, JoinsBasePathAndEncodedPayload) {
    const std::string payload = BuildScorePayload("ACE", 1234, "_______");
    ASSERT_EQ(payload.size(), 50u);
    const std::string expected =
        "http://scores.example/cgi/version.pl?hs&prg=Spraydash&inf=" + EncodeText(payload);
    EXPECT_EQ(BuildScoreRequestUrl("http://scores.example", "ACE", 1234, "_______"), expected);
    EXPECT_EQ(BuildScoreRequestUrl("http://scores.example/", "ACE", 1234, "_______"), expected);
    EXPECT_EQ(expected.size() - expected.find("inf=") - 4, 80u);
}

} // namespace
