#include "app/InternetShortcut.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

struct TShortcutCase {
    const char* Name;
    std::string Text;
    std::optional<std::string> Url;
};

class ShortcutText : public testing::TestWithParam<TShortcutCase> {};

TEST_P(ShortcutText, NamesOnlyWebAddresses) {
    EXPECT_EQ(ShortcutUrl(GetParam().Text), GetParam().Url);
}

const std::string kPage = "http://www.spraydash.example/play.html?from=game";

INSTANTIATE_TEST_SUITE_P(
    Shortcuts, ShortcutText,
    testing::Values(
        TShortcutCase{"WindowsLineEnds", "[InternetShortcut]\r\nURL=" + kPage + "\r\n", kPage},
        TShortcutCase{"UnixLineEndsNoFinalNewline", "[InternetShortcut]\nURL=" + kPage, kPage},
        TShortcutCase{"ByteOrderMarkCaseAndSpaces",
                      "\xEF\xBB\xBF[internetshortcut]\r\n  url =  https://s.example/x  \r\n",
                      "https://s.example/x"},
        TShortcutCase{"OtherKeysAndSectionsAround",
                      "[DEFAULT]\r\nBASEURL=http://wrong.example/\r\n[InternetShortcut]\r\nIDList=\r\n"
                      "IconIndex=0\r\nURL=" +
                          kPage + "\r\n[Other]\r\nURL=http://wrong.example/\r\n",
                      kPage},
        TShortcutCase{"UrlOutsideTheSection", "URL=" + kPage + "\r\n[Other]\r\nURL=" + kPage, std::nullopt},
        TShortcutCase{"NoUrlLine", "[InternetShortcut]\r\n", std::nullopt},
        TShortcutCase{"Empty", "", std::nullopt},
        TShortcutCase{"LocalFile", "[InternetShortcut]\r\nURL=file:///etc/passwd\r\n", std::nullopt},
        TShortcutCase{"Script", "[InternetShortcut]\r\nURL=javascript:alert(1)\r\n", std::nullopt},
        TShortcutCase{"Program", "[InternetShortcut]\r\nURL=C:\\Windows\\notepad.exe\r\n", std::nullopt},
        TShortcutCase{"OtherScheme", "[InternetShortcut]\r\nURL=ftp://s.example/\r\n", std::nullopt},
        TShortcutCase{"NoHost", "[InternetShortcut]\r\nURL=http:///path\r\n", std::nullopt},
        TShortcutCase{"SpaceInside", "[InternetShortcut]\r\nURL=http://s.example/a b\r\n", std::nullopt},
        TShortcutCase{"ControlCharacter", "[InternetShortcut]\r\nURL=http://s.example/\x1b[2J\r\n",
                      std::nullopt},
        TShortcutCase{"Quote", "[InternetShortcut]\r\nURL=http://s.example/\"x\r\n", std::nullopt},
        TShortcutCase{"OptionLike", "[InternetShortcut]\r\nURL=--help\r\n", std::nullopt},
        TShortcutCase{"Overlong",
                      "[InternetShortcut]\r\nURL=http://s.example/" + std::string(4000, 'a') + "\r\n",
                      std::nullopt}),
    [](const auto& info) { return std::string(info.param.Name); });

class ShortcutFile : public testing::Test {
  protected:
    ShortcutFile() {
        m_dir = std::filesystem::temp_directory_path() /
                ("spraydash-shortcut-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    ~ShortcutFile() override {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::filesystem::path Write(const std::string& text) {
        std::ofstream(m_dir / "play.url", std::ios::binary) << text;
        return m_dir / "play.url";
    }
    std::filesystem::path m_dir;
};

TEST_F(ShortcutFile, ReadsTheAddress) {
    EXPECT_EQ(ReadShortcutUrl(Write("[InternetShortcut]\r\nURL=" + kPage + "\r\n")), kPage);
}

TEST_F(ShortcutFile, WhatCannotBeReadNamesNothing) {
    EXPECT_EQ(ReadShortcutUrl(m_dir / "missing.url"), std::nullopt);
    EXPECT_EQ(ReadShortcutUrl(m_dir), std::nullopt) << "a folder";
    // A huge file is not a shortcut, and is not read into memory whole.
    EXPECT_EQ(
        ReadShortcutUrl(Write("[InternetShortcut]\r\nURL=" + kPage + "\r\n" + std::string(1 << 20, ';'))),
        std::nullopt);
}

TEST_F(ShortcutFile, AnUnreadableFileNamesNothing) {
    const auto file = Write("[InternetShortcut]\r\nURL=" + kPage + "\r\n");
    std::filesystem::permissions(file, std::filesystem::perms::none);
    if (std::ifstream(file).good())
        GTEST_SKIP() << "running with rights that read any file";
    EXPECT_EQ(ReadShortcutUrl(file), std::nullopt);
}

} // namespace
