// The small pieces the server's answers are made of: conversions, escapes, periods, addresses.

#include "engine/gfx/Cp1252.h"
#include "server/service/ClientAddress.h"
#include "server/http/HttpServer.h"
#include "server/service/Period.h"
#include "server/service/RateLimiter.h"
#include "server/TextEscape.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, WindowsBytesBecomeUtf8) {
    EXPECT_EQ(WindowsToUtf8("Ann"), "Ann");
    EXPECT_EQ(WindowsToUtf8("\xe9"), "\xc3\xa9");     // é
    EXPECT_EQ(WindowsToUtf8("\x80"), "\xe2\x82\xac"); // €
    EXPECT_EQ(WindowsToUtf8("\x9f"), "\xc5\xb8");     // Ÿ
    EXPECT_EQ(WindowsToUtf8("\xff"), "\xc3\xbf");     // ÿ
    EXPECT_EQ(WindowsToUtf8("\x81"), "\xef\xbf\xbd"); // undefined: U+FFFD
}

TEST(Text, SameCodePageAsTheGame) {
    // The game turns typed characters into these bytes with its own table; every byte it can
    // produce must come back as the character the player typed.
    for (int b = 0x20; b < 0x100; ++b) {
        std::string byte(1, static_cast<char>(b));
        std::string game = Cp1252ToUtf8(byte);
        if (game.empty())
            continue; // a byte the code page leaves undefined: the game never sends it
        EXPECT_EQ(WindowsToUtf8(byte), game) << "byte " << b;
    }
}

TEST(Text, EscapesForEachPlace) {
    std::string html;
    AppendHtml(html, "<script>a&b\"c'</script>");
    EXPECT_EQ(html, "&lt;script&gt;a&amp;b&quot;c&#39;&lt;/script&gt;");

    std::string json;
    AppendJson(json, "a\"b\\c\n\x01</script>\xc3\xa9");
    EXPECT_EQ(json, "a\\\"b\\\\c\\n\\u0001\\u003c/script>\xc3\xa9");

    EXPECT_EQ(CsvField("Ann"), "Ann");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("=1+2"), "'=1+2");
    EXPECT_EQ(CsvField("@SUM(A1)"), "'@SUM(A1)");
    EXPECT_EQ(CsvField("-5"), "'-5");
    EXPECT_EQ(CsvField("=a,b"), "\"'=a,b\"");

    EXPECT_EQ(TerminalSafe("a\x1b[31mb"), "a?[31mb");
    EXPECT_EQ(TerminalSafe("\xc2\x9b"
                           "1m"),
              "?1m")
        << "C1 control sequence introducer in UTF-8";
    EXPECT_EQ(TerminalSafe("\xc3\xa9"), "\xc3\xa9");
}

TEST(Period, StartsInUtc) {
    // Wednesday 2026-03-04 15:30:20 UTC.
    const std::int64_t now = 1772638220;
    struct TCase {
        TPeriod Period;
        std::int64_t Now;
        const char* Start;
    } cases[] = {
        {TPeriod::Today, now, "2026-03-04T00:00:00Z"},
        {TPeriod::Week, now, "2026-03-02T00:00:00Z"},
        {TPeriod::Month, now, "2026-03-01T00:00:00Z"},
        {TPeriod::Today, 1772582400, "2026-03-04T00:00:00Z"}, // the first second of the day
        {TPeriod::Today, 1772582399, "2026-03-03T00:00:00Z"}, // the last second of the day before
        {TPeriod::Week, 1772409600, "2026-03-02T00:00:00Z"},  // a Monday
        {TPeriod::Week, 1772409599, "2026-02-23T00:00:00Z"},  // the Sunday before it
        {TPeriod::Month, 1772323199, "2026-02-01T00:00:00Z"}, // 28 February
        {TPeriod::Week, 1767225600, "2025-12-29T00:00:00Z"},  // 1 January: the week began last year
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(PeriodName(c.Period)) + " at " + FormatIsoUtc(c.Now));
        EXPECT_EQ(FormatIsoUtc(PeriodStart(c.Period, c.Now)), c.Start);
    }
    EXPECT_EQ(PeriodStart(TPeriod::All, now), 0);
    EXPECT_EQ(FormatMinuteUtc(now), "2026-03-04 15:30");
    for (TPeriod p : {TPeriod::Today, TPeriod::Week, TPeriod::Month, TPeriod::All})
        EXPECT_EQ(ParsePeriod(PeriodName(p)), p);
    EXPECT_FALSE(ParsePeriod("year"));
}

TEST(ClientAddress, ForwardedForCountsOnlyFromTrustedProxies) {
    TClientAddress clients({"127.0.0.1", "10.0.0.2"});
    auto peer = [](const char* a) { return boost::asio::ip::make_address(a); };
    struct TCase {
        const char* Peer;
        const char* ForwardedFor;
        const char* Client;
    } cases[] = {
        {"192.0.2.7", "", "192.0.2.7"},
        {"192.0.2.7", "203.0.113.9", "192.0.2.7"}, // not a proxy: its header is ignored
        {"127.0.0.1", "", "127.0.0.1"},            // a proxy without the header
        {"127.0.0.1", "203.0.113.9", "203.0.113.9"},
        {"127.0.0.1", "6.6.6.6, 203.0.113.9", "203.0.113.9"},  // the client's own header is not believed
        {"127.0.0.1", "203.0.113.9, 10.0.0.2", "203.0.113.9"}, // two proxies of ours
        {"127.0.0.1", "garbage, 203.0.113.9", "203.0.113.9"},
        {"127.0.0.1", "garbage", "127.0.0.1"},
        {"127.0.0.1", "2001:db8::1", "2001:db8::1"},
        {"::ffff:127.0.0.1", "203.0.113.9", "203.0.113.9"}, // IPv4 mapped into IPv6
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Peer) + " / " + c.ForwardedFor);
        EXPECT_EQ(clients.Resolve(peer(c.Peer), c.ForwardedFor), c.Client);
    }
    EXPECT_THROW(TClientAddress({"proxy.example"}), std::invalid_argument);
    EXPECT_EQ(RateKey("203.0.113.9"), "203.0.113.9");
    EXPECT_EQ(RateKey("2001:db8:1:2:3:4:5:6"), RateKey("2001:db8:1:2:ffff::1")) << "one /64, one sender";
    EXPECT_NE(RateKey("2001:db8:1:2::1"), RateKey("2001:db8:1:3::1"));
}

TEST(RateLimiter, AllowsTheMinutesShareThenRefills) {
    TRateLimiter limiter(3);
    int retry = 0;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(limiter.Allow("a", 1000, retry));
    EXPECT_FALSE(limiter.Allow("a", 1000, retry));
    EXPECT_EQ(retry, 20);
    EXPECT_TRUE(limiter.Allow("b", 1000, retry)) << "each sender has a share of its own";
    EXPECT_FALSE(limiter.Allow("a", 20999, retry));
    EXPECT_TRUE(limiter.Allow("a", 21000, retry)) << "one more every 60/3 seconds";

    TRateLimiter off(0);
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(off.Allow("a", 0, retry));
    EXPECT_EQ(off.Tracked(), 0u);
}

TEST(ListenAddress, Forms) {
    EXPECT_EQ(ParseListenAddress("127.0.0.1:8080"),
              std::make_pair(std::string("127.0.0.1"), (unsigned short)8080));
    EXPECT_EQ(ParseListenAddress("[::1]:0"), std::make_pair(std::string("::1"), (unsigned short)0));
    EXPECT_EQ(ParseListenAddress(":80"), std::make_pair(std::string("0.0.0.0"), (unsigned short)80));
    for (const char* bad : {"8080", "127.0.0.1:", "127.0.0.1:http", "127.0.0.1:70000", "scores.example:80"})
        EXPECT_THROW(ParseListenAddress(bad), std::invalid_argument) << bad;
}

} // namespace
