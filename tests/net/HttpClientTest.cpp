#include "net/HttpClient.h"
#include "net/NetErrors.h"
#include "net/ScoreRequest.h"
#include "net/TestServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Answers every request on a connection with the same reply, keeping the connection while the client does.
TTestServer::THandler Answer(std::string reply) {
    return [reply](TTestServer::TConn& conn) {
        while (!conn.ReadRequest().empty())
            conn.Send(reply);
    };
}

class HttpClient : public testing::Test {
  protected:
    HttpClient() {
        client.SetConnectTimeout(1000ms);
        client.SetRequestTimeout(2000ms);
        client.SetErrorBodyTimeout(300ms);
    }
    THttpClient client;
};

TEST_F(HttpClient, SendsTheRequestBytesAsGiven) {
    TTestServer server(Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"));
    EXPECT_EQ(client.Get(server.Base() + "/cgi/version.pl?hs&prg=Spraydash&inf=GC2VD"), "ok");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0], "GET /cgi/version.pl?hs&prg=Spraydash&inf=GC2VD HTTP/1.1\r\n"
                                    "Content-Type: text/html\r\n"
                                    "Host: 127.0.0.1:" +
                                        std::to_string(server.Port()) +
                                        "\r\n"
                                        "Accept: text/html, */*\r\n"
                                        "User-Agent: Mozilla/3.0 (compatible; Spraydash)\r\n"
                                        "\r\n");
}

struct TBodyCase {
    const char* Name;
    std::string Reply;
    std::string Body;
};

class ReplyFraming : public HttpClient, public testing::WithParamInterface<TBodyCase> {};

TEST_P(ReplyFraming, ReturnsTheBody) {
    TTestServer server([reply = GetParam().Reply](TTestServer::TConn& conn) {
        conn.ReadRequest();
        // Split the reply so the client has to read more than once.
        conn.Send(reply.substr(0, reply.size() / 2));
        std::this_thread::sleep_for(10ms);
        conn.Send(reply.substr(reply.size() / 2));
    });
    EXPECT_EQ(client.Get(server.Base() + "/"), GetParam().Body);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyFraming,
    testing::Values(
        TBodyCase{"ContentLength", "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\nhello world", "hello world"},
        TBodyCase{
            "Chunked",
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n6\r\nhello \r\n5\r\nworld\r\n0\r\n\r\n",
            "hello world"},
        TBodyCase{"UntilClose", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nhello world", "hello world"},
        TBodyCase{"AfterContinue",
                  "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", "ok"},
        TBodyCase{"NoContent", "HTTP/1.1 204 No Content\r\n\r\n", ""}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TErrorCase {
    const char* Name;
    std::string Reply;
    int Status;
    std::string Text;
    std::string Body;
};

class HttpErrorReply : public HttpClient, public testing::WithParamInterface<TErrorCase> {};

TEST_P(HttpErrorReply, RaisesWithStatusTextAndBody) {
    TTestServer server(Answer(GetParam().Reply));
    try {
        client.Get(server.Base() + "/cgi/version.pl");
        FAIL() << "no error raised";
    } catch (const EHttpError& e) {
        EXPECT_EQ(e.Status(), GetParam().Status);
        EXPECT_EQ(e.StatusText(), GetParam().Text);
        EXPECT_EQ(e.Body(), GetParam().Body);
    }
    EXPECT_EQ(server.Requests().size(), 1u) << "redirects are not followed";
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, HttpErrorReply,
    testing::Values(
        TErrorCase{"Found", "HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 5\r\n\r\nmoved",
                   302, "Found", "moved"},
        TErrorCase{"MovedWithoutLocation", "HTTP/1.1 301 Moved Permanently\r\nContent-Length: 0\r\n\r\n", 301,
                   "Moved Permanently", ""},
        TErrorCase{"NotModified", "HTTP/1.1 304 Not Modified\r\n\r\n", 304, "Not Modified", ""},
        TErrorCase{"OkWithLocation", "HTTP/1.1 201 Created\r\nLocation: /new\r\nContent-Length: 2\r\n\r\nhi",
                   201, "Created", "hi"},
        TErrorCase{"NotFound", "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnope", 404, "Not Found",
                   "nope"},
        TErrorCase{"Unauthorized",
                   "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic\r\nContent-Length: 0\r\n\r\n", 401,
                   "Unauthorized", ""},
        TErrorCase{
            "ServerError",
            "HTTP/1.1 500 Internal Server Error\r\nTransfer-Encoding: chunked\r\n\r\n4\r\noops\r\n0\r\n\r\n",
            500, "Internal Server Error", "oops"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(HttpClient, ErrorBodyThatNeverEndsIsCutOffByItsOwnTimeLimit) {
    TTestServer server([](TTestServer::TConn& conn) {
        conn.ReadRequest();
        conn.Send("HTTP/1.1 503 Busy\r\nContent-Length: 100\r\n\r\npartial");
        conn.WaitForClose();
    });
    client.SetRequestTimeout(5000ms);
    auto start = std::chrono::steady_clock::now();
    try {
        client.Get(server.Base() + "/");
        FAIL() << "no error raised";
    } catch (const EHttpError& e) {
        EXPECT_EQ(e.Status(), 503);
        EXPECT_EQ(e.Body(), "partial");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
    EXPECT_FALSE(client.HasIdleConnection());
}

TEST_F(HttpClient, SilentServerIsBoundedInTime) {
    TTestServer server([](TTestServer::TConn& conn) { conn.WaitForClose(); });
    client.SetRequestTimeout(300ms);
    auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(client.Get(server.Base() + "/"), ESocketError);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 250ms);
    EXPECT_LT(elapsed, 2000ms);
}

TEST_F(HttpClient, ServerClosingMidBodyIsAnError) {
    TTestServer server([](TTestServer::TConn& conn) {
        conn.ReadRequest();
        conn.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly part");
    });
    EXPECT_THROW(client.Get(server.Base() + "/"), ESocketError);
    EXPECT_FALSE(client.HasIdleConnection());
}

TEST_F(HttpClient, OversizedBodyIsRefused) {
    TReplyLimits limits;
    limits.MaxBody = 1000;
    client.SetLimits(limits);
    TTestServer server([](TTestServer::TConn& conn) {
        conn.ReadRequest();
        conn.Send("HTTP/1.1 200 OK\r\n\r\n" + std::string(5000, 'x'));
    });
    EXPECT_THROW(client.Get(server.Base() + "/"), EHttpProtocolError);
}

TEST_F(HttpClient, NoServerAtAll) {
    int freePort;
    {
        TTestServer gone([](TTestServer::TConn&) {});
        freePort = gone.Port();
    }
    EXPECT_THROW(client.Get("http://127.0.0.1:" + std::to_string(freePort) + "/"), ESocketError);
    EXPECT_THROW(client.Get("http://no-such-host.invalid/"), ESocketError);
    EXPECT_THROW(client.Get("https://127.0.0.1/"), EHttpProtocolError);
}

TEST_F(HttpClient, ServerHangingUpDuringALongRequestDoesNotKillTheProcess) {
    TTestServer server([](TTestServer::TConn&) {}); // accepts and closes at once
    EXPECT_THROW(client.Get(server.Base() + "/" + std::string(4 << 20, 'a')), ENetError);
}

TEST_F(HttpClient, CookiesComeBackWithTheNextRequest) {
    int served = 0;
    TTestServer server([&served](TTestServer::TConn& conn) {
        while (!conn.ReadRequest().empty())
            conn.Send(served++ == 0
                          ? "HTTP/1.1 200 OK\r\nSet-Cookie: sid=abc; Path=/cgi\r\nContent-Length: 0\r\n\r\n"
                          : "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    });
    client.Get(server.Base() + "/cgi/version.pl?hs");
    client.Get(server.Base() + "/cgi/version.pl?hs");
    client.Get(server.Base() + "/other");
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].find("Cookie:"), std::string::npos);
    EXPECT_NE(requests[1].find("\r\nCookie: sid=abc\r\n\r\n"), std::string::npos) << requests[1];
    EXPECT_EQ(requests[2].find("Cookie:"), std::string::npos);
}

TEST_F(HttpClient, KeepsTheConnectionUnlessTheServerCloses) {
    TTestServer keeps(Answer("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\na"));
    client.Get(keeps.Base() + "/1");
    EXPECT_TRUE(client.HasIdleConnection());
    client.Get(keeps.Base() + "/2");
    EXPECT_EQ(keeps.Accepted(), 1);

    TTestServer closes(Answer("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1\r\n\r\na"));
    client.Get(closes.Base() + "/1");
    EXPECT_FALSE(client.HasIdleConnection());
    client.Get(closes.Base() + "/2");
    EXPECT_EQ(closes.Accepted(), 2);
}

// Answers the first request on each connection; a second request on the same connection is
// read and the connection dropped unanswered, as by a server that took the request and then
// failed, or whose keep-alive time ran out just then.
TTestServer::THandler AnswerOnceThenHangUp() {
    return [](TTestServer::TConn& conn) {
        if (conn.ReadRequest().empty())
            return;
        conn.Send("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\na");
        conn.ReadRequest();
    };
}

TEST_F(HttpClient, RequestTakenOnAKeptConnectionThatDropsIsNotSentAgain) {
    TTestServer server(AnswerOnceThenHangUp());
    EXPECT_EQ(client.Get(server.Base() + "/1"), "a");
    ASSERT_TRUE(client.HasIdleConnection());
    EXPECT_THROW(client.Get(server.Base() + "/2"), ESocketError);
    EXPECT_EQ(server.Requests().size(), 2u) << "the second request reached the server once";
    EXPECT_FALSE(client.HasIdleConnection());
    EXPECT_EQ(client.Get(server.Base() + "/3"), "a") << "the next request opens a fresh connection";
}

TEST_F(HttpClient, RequestTakenAndDroppedOnAFreshConnectionIsNotSentAgain) {
    TTestServer server([](TTestServer::TConn& conn) { conn.ReadRequest(); });
    EXPECT_THROW(client.Get(server.Base() + "/"), ESocketError);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(HttpClient, KeptConnectionClosedWhileIdleIsNotUsed) {
    TTestServer server([](TTestServer::TConn& conn) {
        conn.ReadRequest();
        conn.Send("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\na");
    });
    client.Get(server.Base() + "/1");
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(client.Get(server.Base() + "/2"), "a");
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(HttpClient, PostSendsItsBodyWithItsLengthAndNoChunking) {
    TTestServer server([](TTestServer::TConn& conn) {
        const std::string head = conn.ReadRequest();
        conn.ReadBody(head);
        conn.Send("HTTP/1.1 202 Accepted\r\nContent-Length: 19\r\n\r\n{\"status\":\"queued\"}");
    });
    // Every byte value, a line end and a NUL among them: the body goes out untouched.
    std::string body;
    for (int i = 0; i < 512; ++i)
        body += static_cast<char>(i & 0xFF);
    EXPECT_EQ(client.Post(server.Base() + "/prefix/api/v1/replays", "application/octet-stream", body),
              "{\"status\":\"queued\"}");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0], "POST /prefix/api/v1/replays HTTP/1.1\r\n"
                                    "Content-Type: application/octet-stream\r\n"
                                    "Content-Length: 512\r\n"
                                    "Host: 127.0.0.1:" +
                                        std::to_string(server.Port()) +
                                        "\r\n"
                                        "Accept: text/html, */*\r\n"
                                        "User-Agent: Mozilla/3.0 (compatible; Spraydash)\r\n"
                                        "\r\n");
    ASSERT_EQ(server.Bodies().size(), 1u);
    EXPECT_EQ(server.Bodies()[0], body);
}

TEST_F(HttpClient, PostRefusedRaisesWithTheStatus) {
    TTestServer server([](TTestServer::TConn& conn) {
        const std::string head = conn.ReadRequest();
        conn.ReadBody(head);
        conn.Send("HTTP/1.1 429 Too Many Requests\r\nRetry-After: 60\r\nContent-Length: 2\r\n\r\n{}");
    });
    try {
        client.Post(server.Base() + "/api/v1/replays", "application/octet-stream", "x");
        FAIL() << "no error";
    } catch (const EHttpError& e) {
        EXPECT_EQ(e.Status(), 429);
        EXPECT_EQ(e.Body(), "{}");
        EXPECT_EQ(e.RetryAfter(), "60");
    }
}

// The owner gives the request up (the game is ending): the wait ends at once, not at its time limit.
TEST_F(HttpClient, AbandonFlagEndsTheWaitAtOnce) {
    TTestServer server([](TTestServer::TConn& conn) {
        if (!conn.ReadRequest().empty())
            conn.WaitForClose();
    });
    std::atomic<bool> abandon{false};
    client.SetRequestTimeout(10000ms);
    client.SetAbandonFlag(&abandon);
    std::thread giveUp([&] {
        std::this_thread::sleep_for(200ms);
        abandon = true;
    });
    const auto start = std::chrono::steady_clock::now();
    try {
        client.Post(server.Base() + "/api/v1/replays", "application/octet-stream", "x");
        ADD_FAILURE() << "no error";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.Kind(), ESocketError::TKind::Abandoned) << e.what();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    giveUp.join();
    EXPECT_GE(elapsed, 150ms);
    EXPECT_LT(elapsed, 1000ms);
}

TEST(ScoreRequest, PumpsTheCallerWhileWaiting) {
    TTestServer server([](TTestServer::TConn& conn) {
        conn.ReadRequest();
        std::this_thread::sleep_for(150ms);
        conn.Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    });
    THttpClient client;
    const auto caller = std::this_thread::get_id();
    int pumps = 0;
    bool onCaller = true;
    EXPECT_TRUE(RunScoreRequest(client, server.Base() + "/", [&] {
                    ++pumps;
                    onCaller = onCaller && std::this_thread::get_id() == caller;
                    return true;
                }).Sent());
    EXPECT_GE(pumps, 3);
    EXPECT_TRUE(onCaller);
}

TEST(ScoreRequest, EachSubmissionReachesTheServerOnceOnAConnectionOfItsOwn) {
    // A kept connection would carry the second submission into the hang-up.
    TTestServer server(AnswerOnceThenHangUp());
    THttpClient client;
    EXPECT_TRUE(RunScoreRequest(client, server.Base() + "/1", nullptr).Sent());
    EXPECT_TRUE(RunScoreRequest(client, server.Base() + "/2", nullptr).Sent());
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].rfind("GET /1 ", 0), 0u);
    EXPECT_EQ(requests[1].rfind("GET /2 ", 0), 0u);
    EXPECT_EQ(server.Accepted(), 2);
}

TEST(ScoreRequest, FailuresAreSilentButSayWhy) {
    TTestServer server(Answer("HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n"));
    THttpClient client;
    client.SetConnectTimeout(500ms);
    client.SetRequestTimeout(500ms);
    TScoreRequestOutcome refused = RunScoreRequest(client, server.Base() + "/", [] { return true; });
    EXPECT_FALSE(refused.Sent());
    EXPECT_EQ(refused.Reason, "the server answered 500");
    EXPECT_EQ(RunScoreRequest(client, "http://", nullptr).Reason, "the server's answer was not understood");

    TTestServer silent([](TTestServer::TConn& conn) {
        conn.ReadRequest();
        std::this_thread::sleep_for(2s);
    });
    EXPECT_EQ(RunScoreRequest(client, silent.Base() + "/", nullptr).Reason, "the server did not answer");
}

// A game being ended stops waiting at once; the request finishes or fails by itself.
TEST(ScoreRequest, TheCallerCanStopWaiting) {
    TTestServer silent([](TTestServer::TConn& conn) {
        conn.ReadRequest();
        std::this_thread::sleep_for(1500ms);
    });
    auto client = std::make_unique<THttpClient>();
    client->SetRequestTimeout(1s);
    const auto start = std::chrono::steady_clock::now();
    int pumps = 0;
    TScoreRequestOutcome outcome = RunScoreRequest(*client, silent.Base() + "/", [&] { return ++pumps < 3; });
    EXPECT_EQ(outcome.Result, TScoreRequestOutcome::TResult::Abandoned);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    client.reset(); // the abandoned request does not use the caller's client
    std::this_thread::sleep_for(1200ms);
}

TEST(ScoreRequest, CallbackErrorReachesTheCallerAfterTheRequest) {
    TTestServer server([](TTestServer::TConn& conn) {
        conn.ReadRequest();
        std::this_thread::sleep_for(60ms);
        conn.Send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    });
    THttpClient client;
    EXPECT_THROW(
        RunScoreRequest(client, server.Base() + "/", []() -> bool { throw std::logic_error("window gone"); }),
        std::logic_error);
    EXPECT_EQ(server.Requests().size(), 1u);
}

} // namespace
