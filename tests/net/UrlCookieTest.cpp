#include "net/Cookies.h"
#include "net/HttpClient.h"
#include "net/NetErrors.h"
#include "net/Url.h"

#include <gtest/gtest.h>

namespace {

struct TUrlCase {
    std::string Address;
    std::string Scheme;
    std::string Host;
    int Port;
    std::string Target;
    std::string HostHeader;
};

class UrlSplit : public testing::TestWithParam<TUrlCase> {};

TEST_P(UrlSplit, Parts) {
    const TUrlCase& c = GetParam();
    TUrl url = SplitUrl(c.Address);
    EXPECT_EQ(url.Scheme, c.Scheme);
    EXPECT_EQ(url.Host, c.Host);
    EXPECT_EQ(url.Port, c.Port);
    EXPECT_EQ(url.Target, c.Target);
    EXPECT_EQ(url.HostHeader(), c.HostHeader);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, UrlSplit,
    testing::Values(TUrlCase{"http://scores.example/cgi/version.pl?hs&prg=Spraydash&inf=ABC", "http",
                             "scores.example", 80, "/cgi/version.pl?hs&prg=Spraydash&inf=ABC",
                             "scores.example"},
                    TUrlCase{"scores.example:8080/a/b.pl?x=|=", "http", "scores.example", 8080,
                             "/a/b.pl?x=|=", "scores.example:8080"},
                    TUrlCase{"HTTP://Host.Example", "http", "Host.Example", 80, "/", "Host.Example"},
                    TUrlCase{"http://h.example?q", "http", "h.example", 80, "/?q", "h.example"},
                    TUrlCase{"http://h.example:80/p#frag", "http", "h.example", 80, "/p", "h.example"},
                    TUrlCase{"http://user:pw@h.example/p", "http", "h.example", 80, "/p", "h.example"},
                    TUrlCase{"http://[::1]:8000/x", "http", "[::1]", 8000, "/x", "[::1]:8000"},
                    TUrlCase{"https://h.example/", "https", "h.example", 443, "/", "h.example:443"}));

TEST(UrlSplit, RefusesWhatCannotBeSent) {
    for (const char* bad : {"http:///path", "http://h:0/", "http://h:65536/", "http://h:8x/", "http://h/a b",
                            "http://h/a\r\nX-Injected: 1", "ftp://h/", "http://[::1/", ""})
        EXPECT_THROW(SplitUrl(bad), EHttpProtocolError) << bad;
}

TEST(GetRequest, LinesInOrder) {
    EXPECT_EQ(BuildGetRequest(SplitUrl("http://s.example:81/cgi/v.pl?hs&inf=AB"), ""),
              "GET /cgi/v.pl?hs&inf=AB HTTP/1.1\r\n"
              "Content-Type: text/html\r\n"
              "Host: s.example:81\r\n"
              "Accept: text/html, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible; Spraydash)\r\n"
              "\r\n");
    EXPECT_EQ(BuildGetRequest(SplitUrl("http://s.example/"), "a=1; b=2"),
              "GET / HTTP/1.1\r\n"
              "Content-Type: text/html\r\n"
              "Host: s.example\r\n"
              "Accept: text/html, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible; Spraydash)\r\n"
              "Cookie: a=1; b=2\r\n"
              "\r\n");
}

class CookieJar : public testing::Test {
  protected:
    std::string For(const std::string& address) { return jar.HeaderFor(SplitUrl(address), now); }
    void Set(const std::string& address, const std::string& setCookie) {
        jar.Store(SplitUrl(address), setCookie, now);
    }

    TCookieJar jar;
    TCookieJar::Clock::time_point now = TCookieJar::Clock::from_time_t(1'700'000'000);
};

TEST_F(CookieJar, HostOnlyByDefault) {
    Set("http://www.example.com/cgi/version.pl", "sid=42; HttpOnly");
    EXPECT_EQ(For("http://www.example.com/cgi/other.pl"), "sid=42");
    EXPECT_EQ(For("http://WWW.example.com:8080/cgi/"), "sid=42");
    EXPECT_EQ(For("http://example.com/cgi/version.pl"), "");
    EXPECT_EQ(For("http://sub.www.example.com/cgi/version.pl"), "");
    EXPECT_EQ(For("http://www.example.com/other"), "") << "default path is the request's directory";
}

TEST_F(CookieJar, DomainAndPathAttributes) {
    Set("http://www.example.com/a/b", "wide=1; Domain=.example.com; Path=/");
    Set("http://www.example.com/a/b", "deep=2; Path=/a");
    Set("http://www.example.com/a/b", "foreign=3; Domain=other.com");
    EXPECT_EQ(For("http://shop.example.com/x"), "wide=1");
    EXPECT_EQ(For("http://www.example.com/a/x"), "deep=2; wide=1");
    EXPECT_EQ(For("http://www.example.com/ab"), "wide=1") << "/a must not match /ab";
    EXPECT_EQ(For("http://other.com/"), "");
}

TEST_F(CookieJar, ReplacingAndExpiring) {
    Set("http://h.example/", "a=1");
    Set("http://h.example/", "a=2");
    Set("http://h.example/", "b=1; Max-Age=60");
    Set("http://h.example/", "c=1; Expires=Wed, 21 Oct 2015 07:28:00 GMT");
    EXPECT_EQ(For("http://h.example/"), "a=2; b=1");
    Set("http://h.example/", "a=x; Max-Age=0");
    EXPECT_EQ(For("http://h.example/"), "b=1");
    now += std::chrono::seconds(61);
    EXPECT_EQ(For("http://h.example/"), "");
}

struct TExpiresCase {
    const char* Name;
    const char* Expires;
    bool SentNow;
};

class CookieExpires : public CookieJar, public testing::WithParamInterface<TExpiresCase> {};

// Far-off dates once overflowed the clock (found by the reply fuzzer); every date now ends in
// a cookie that is kept at most the jar's longest lifetime, and past dates still expire.
TEST_P(CookieExpires, KeptUpToTheLongestLifetime) {
    Set("http://h.example/", "old=1");
    Set("http://h.example/", std::string("old=2; Expires=") + GetParam().Expires);
    EXPECT_EQ(For("http://h.example/"), GetParam().SentNow ? "old=2" : "");
    now += TCookieJar::MaxLifetime - std::chrono::seconds(1);
    EXPECT_EQ(For("http://h.example/"), GetParam().SentNow ? "old=2" : "");
    now += std::chrono::seconds(2);
    EXPECT_EQ(For("http://h.example/"), "");
}

INSTANTIATE_TEST_SUITE_P(
    Dates, CookieExpires,
    testing::Values(TExpiresCase{"NextDecade", "Wed, 21 Oct 2035 07:28:00 GMT", true},
                    TExpiresCase{"LastDayBeforeTheClockEnds", "Fri, 11 Apr 2262 23:47:16 GMT", true},
                    TExpiresCase{"JustAfterTheClockEnds", "Sat, 12 Apr 2262 00:00:00 GMT", true},
                    TExpiresCase{"Year2300", "Mon, 01 Jan 2300 00:00:00 GMT", true},
                    TExpiresCase{"Year9999", "Fri, 31 Dec 9999 23:59:59 GMT", true},
                    TExpiresCase{"OldForm", "Friday, 31-Dec-99 23:59:59 GMT", false},
                    TExpiresCase{"BeforeTheEpoch", "Thu, 01 Jan 1601 00:00:00 GMT", false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(CookieJar, SecureCookiesStayOffPlainHttp) {
    Set("http://h.example/", "s=1; Secure");
    EXPECT_EQ(For("http://h.example/"), "");
}

TEST_F(CookieJar, JunkIsIgnoredAndTheJarIsBounded) {
    Set("http://h.example/", "novalue");
    Set("http://h.example/", "=anonymous");
    Set("http://h.example/", "big=" + std::string(TCookieJar::MaxCookieBytes, 'x'));
    EXPECT_EQ(jar.Size(), 0u);
    for (std::size_t i = 0; i < TCookieJar::MaxCookies + 10; ++i)
        Set("http://h.example/", "n" + std::to_string(i) + "=1");
    EXPECT_EQ(jar.Size(), TCookieJar::MaxCookies);
    EXPECT_EQ(For("http://h.example/").rfind("n10=1", 0), 0u) << "the oldest ones make room";
}

} // namespace
