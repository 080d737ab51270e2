#include "engine/platform/MessageText.h"

#include <gtest/gtest.h>

namespace {

struct TTextCase {
    const char* Name;
    std::string Raw;
    std::string Shown;
};

class PrintableText : public testing::TestWithParam<TTextCase> {};

TEST_P(PrintableText, EscapesWhatIsNotPrintable) {
    EXPECT_EQ(PrintableMessage(GetParam().Raw), GetParam().Shown);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PrintableText,
    testing::Values(
        TTextCase{"PlainText", "Image 'MMBackground' not found", "Image 'MMBackground' not found"},
        TTextCase{"LineBreaksStay", "first line\nsecond line", "first line\nsecond line"},
        TTextCase{"Utf8Stays", "Caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x9A\xA4",
                  "Caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x9A\xA4"},
        TTextCase{"TerminalEscape", "Property \x1b[2J\x1b]0;owned\x07 does not exist",
                  "Property \\x1B[2J\\x1B]0;owned\\x07 does not exist"},
        TTextCase{"ControlsAndDelete", std::string("a\0b\tc\rd\x7F", 8), "a\\x00b\\x09c\\x0Dd\\x7F"},
        TTextCase{"C1Control",
                  "x\xC2\x9B"
                  "31m",
                  "x\\xC2\\x9B31m"},
        TTextCase{"Cp1252Bytes", "Gr\xFC\xDF", "Gr\\xFC\\xDF"},
        TTextCase{"StrayContinuation", "\x80\xBF", "\\x80\\xBF"},
        TTextCase{"Overlong", "\xC0\xAF\xE0\x80\xAF", "\\xC0\\xAF\\xE0\\x80\\xAF"},
        TTextCase{"Surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
        TTextCase{"BeyondUnicode", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
        TTextCase{"CutShort", "ok\xE2\x80", "ok\\xE2\\x80"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(PrintableText, LongTextIsCutAtACharacterBoundary) {
    EXPECT_EQ(PrintableMessage("abcdef", 6), "abcdef");
    EXPECT_EQ(PrintableMessage("abcdefg", 6), "abcdef...");
    EXPECT_EQ(PrintableMessage("ab\xE2\x80\x94", 4), "ab...") << "no half character";
    EXPECT_EQ(PrintableMessage("ab\x01", 4), "ab...") << "no half escape";
    EXPECT_EQ(PrintableMessage(std::string(1 << 20, 'x')).size(), 4003u);
}

} // namespace
