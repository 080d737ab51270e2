#include "net/HttpReply.h"
#include "net/NetErrors.h"

#include <gtest/gtest.h>

namespace {

struct TParsed {
    THttpReplyHead Head;
    std::string Body;
};

TParsed Parse(const std::string& bytes, const TReplyLimits& limits = {}) {
    TBufferSource source(bytes);
    TReplyReader reader(source, limits);
    TParsed out;
    out.Head = ReadReplyHead(reader);
    ReadReplyBody(reader, PlanBody(out.Head, limits), out.Body);
    return out;
}

struct TGoodCase {
    const char* Name;
    std::string Reply;
    int Status;
    std::string Body;
};

class GoodReply : public testing::TestWithParam<TGoodCase> {};

TEST_P(GoodReply, GivesStatusAndBody) {
    TParsed parsed = Parse(GetParam().Reply);
    EXPECT_EQ(parsed.Head.Status, GetParam().Status);
    EXPECT_EQ(parsed.Body, GetParam().Body);
}

INSTANTIATE_TEST_SUITE_P(
    Framings, GoodReply,
    testing::Values(
        TGoodCase{"ContentLength", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", 200, "hello"},
        TGoodCase{"ContentLengthLeavesTheRest", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhello", 200,
                  "he"},
        TGoodCase{"BareLineFeeds", "HTTP/1.1 200 OK\nContent-Length: 2\n\nok", 200, "ok"},
        TGoodCase{
            "Chunked",
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n1;ext=1\r\n!\r\n0\r\n\r\n",
            200, "hello!"},
        TGoodCase{"ChunkedWithTrailer",
                  "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, Chunked\r\n\r\na\r\n0123456789\r\n0\r\nX-T: "
                  "1\r\n\r\n",
                  200, "0123456789"},
        TGoodCase{
            "ChunkedWinsOverLength",
            "HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n\r\n",
            200, "ab"},
        TGoodCase{"UntilClose", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\nall of it", 200, "all of it"},
        TGoodCase{"NoContentHasNoBody", "HTTP/1.1 204 No Content\r\n\r\nstray", 204, ""},
        TGoodCase{"NotModifiedHasNoBody", "HTTP/1.1 304 Not Modified\r\n\r\n", 304, ""},
        TGoodCase{"ContinueIsSkipped",
                  "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\nX: y\r\n\r\n"
                  "HTTP/1.1 201 Created\r\nContent-Length: 1\r\n\r\nz",
                  201, "z"},
        TGoodCase{
            "EarlyHintsAreSkipped",
            "HTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", 200,
            ""},
        TGoodCase{"StatusWithoutText", "HTTP/1.1 500\r\nContent-Length: 3\r\n\r\nerr", 500, "err"},
        TGoodCase{"FoldedHeader", "HTTP/1.1 200 OK\r\nX-A: one\r\n two\r\nContent-Length: 1\r\n\r\n1", 200,
                  "1"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(HttpReply, KeepsStatusTextAndHeaders) {
    TParsed parsed = Parse("HTTP/1.1 404 Not Found Here\r\nSet-Cookie: a=1\r\nset-cookie: b=2\r\n"
                           "X-A: one\r\n\ttwo\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(parsed.Head.StatusText, "Not Found Here");
    EXPECT_EQ(parsed.Head.HeadersNamed("SET-COOKIE"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(parsed.Head.Header("x-a"), "one two");
    EXPECT_FALSE(parsed.Head.Header("Location").has_value());
}

struct TBadCase {
    const char* Name;
    std::string Reply;
    bool ConnectionLost; // ESocketError rather than EHttpProtocolError
};

class BadReply : public testing::TestWithParam<TBadCase> {};

TEST_P(BadReply, RaisesItsErrorClass) {
    TReplyLimits limits;
    limits.MaxLine = 64;
    limits.MaxHeaderBytes = 256;
    limits.MaxHeaderCount = 8;
    limits.MaxBody = 100;
    if (GetParam().ConnectionLost)
        EXPECT_THROW(Parse(GetParam().Reply, limits), ESocketError);
    else
        EXPECT_THROW(Parse(GetParam().Reply, limits), EHttpProtocolError);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BadReply,
    testing::Values(
        TBadCase{"Empty", "", true}, TBadCase{"HeadCutShort", "HTTP/1.1 200 OK\r\nContent-Le", true},
        TBadCase{"BodyCutShort", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", true},
        TBadCase{"ChunkCutShort", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab", true},
        TBadCase{"NoFinalChunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\na\r\n", true},
        TBadCase{"NotHttp", "SSH-2.0-OpenSSH\r\n\r\n", false},
        TBadCase{"HttpTwo", "HTTP/2 200\r\n\r\n", false},
        TBadCase{"LetterStatus", "HTTP/1.1 2x0 OK\r\n\r\n", false},
        TBadCase{"StatusBelow100", "HTTP/1.1 099 Odd\r\n\r\n", false},
        TBadCase{"HeaderWithoutColon", "HTTP/1.1 200 OK\r\nNoColon\r\n\r\n", false},
        TBadCase{"LongLine", "HTTP/1.1 200 OK\r\nX: " + std::string(100, 'a') + "\r\n\r\n", false},
        TBadCase{"LongLineNeverEnding", "HTTP/1.1 200 OK\r\nX: " + std::string(1000, 'a'), false},
        TBadCase{"HeaderBlockTooLong",
                 "HTTP/1.1 200 OK\r\n" +
                     [] {
                         std::string s;
                         for (int i = 0; i < 7; ++i)
                             s += "X-Header-" + std::to_string(i) + ": " + std::string(40, 'v') + "\r\n";
                         return s;
                     }() +
                     "\r\n",
                 false},
        TBadCase{"TooManyHeaders",
                 "HTTP/1.1 200 OK\r\n" +
                     [] {
                         std::string s;
                         for (int i = 0; i < 9; ++i)
                             s += "X: 1\r\n";
                         return s;
                     }() +
                     "\r\n",
                 false},
        TBadCase{"LengthOverLimit", "HTTP/1.1 200 OK\r\nContent-Length: 101\r\n\r\n", false},
        TBadCase{"LengthHuge", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n", false},
        TBadCase{"LengthNegative", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", false},
        TBadCase{"LengthsDisagree", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab",
                 false},
        TBadCase{"UntilCloseOverLimit", "HTTP/1.1 200 OK\r\n\r\n" + std::string(101, 'b'), false},
        TBadCase{"ChunksOverLimit",
                 "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
                     [] {
                         std::string s;
                         for (int i = 0; i < 11; ++i)
                             s += "a\r\n0123456789\r\n";
                         return s + "0\r\n\r\n";
                     }(),
                 false},
        TBadCase{"ChunkSizeOverflows",
                 "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffffffffffff\r\n", false},
        TBadCase{"ChunkSizeNotHex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false},
        TBadCase{"ChunkWithoutLineEnd",
                 "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nab\r\n0\r\n\r\n", false},
        TBadCase{"EndlessContinues",
                 [] {
                     std::string s;
                     for (int i = 0; i < 20; ++i)
                         s += "HTTP/1.1 100 Continue\r\n\r\n";
                     return s;
                 }(),
                 false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(HttpReply, HeaderTokens) {
    EXPECT_TRUE(HeaderHasToken("keep-alive, Close", "close"));
    EXPECT_TRUE(HeaderHasToken(" chunked ", "chunked"));
    EXPECT_FALSE(HeaderHasToken("closed", "close"));
    EXPECT_FALSE(HeaderHasToken("", "close"));
}

} // namespace
