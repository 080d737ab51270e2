// The server over real sockets: what the game sends, what browsers and API clients get, and
// how it holds up against clients that misbehave.

#include "HttpTestClient.h"
#include "TestDatabase.h"
#include "menus/ScoreSubmission.h"
#include "server/store/ScoreStore.h"
#include "server/ServerApp.h"
#include "server/store/Spool.h"
#include "server/service/WorldPage.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cmath>
#include <future>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr const char* kPage = "/cgi/version.pl?prg=Spraydash&show&type=0";

std::string Submission(const std::string& name, std::int32_t score, const std::string& crew = "_______") {
    return BuildScoreRequestUrl("", name, score, crew);
}

// A submission whose result text is written by hand, encoded the game's way.
std::string RawSubmission(std::string payload) {
    while (payload.size() % 5 != 0)
        payload += '0';
    return std::string(ScoreRequestPath) + EncodeText(payload);
}

class TServerTest : public ::testing::Test {
  protected:
    void Start(const std::function<void(TServerConfig&)>& adjust = {}) {
        if (!m_db)
            m_db = std::make_unique<TTestDatabase>(m_kind);
        TServerConfig config;
        config.Db = m_db->Target();
        config.Http.Port = 0;
        config.Http.Threads = 2;
        config.Service.RateLimitPerMinute = 0;
        config.Spool = m_db->Dir().File("spool");
        if (adjust)
            adjust(config);
        m_app = std::make_unique<TScoreServerApp>(std::move(config));
        m_app->Start();
    }
    unsigned short Port() const { return m_app->Port(); }
    TTestConnection::TReply Get(const std::string& target, const std::string& headers = "") {
        return HttpRequest(Port(), target, "GET", headers);
    }
    void AddDirect(const std::string& name, std::int32_t score, std::int64_t received,
                   TEntryState state = TEntryState::Shown) {
        TNewScore s;
        s.Name = name;
        s.Score = score;
        s.Crew = "direct";
        s.Received = received;
        s.Client = "198.51.100.1";
        s.Digest = ++m_digest;
        s.State = state;
        std::promise<void> done;
        m_app->Store().Submit(s, [&done](TSubmitOutcome) { done.set_value(); });
        done.get_future().get();
    }

    TStoreKind m_kind = TStoreKind::Sqlite;
    std::unique_ptr<TTestDatabase> m_db;
    std::unique_ptr<TScoreServerApp> m_app;
    std::uint64_t m_digest = 0;
};

// What depends on the store behind the server runs against each.
class TServerStoreTest : public TServerTest, public ::testing::WithParamInterface<TStoreKind> {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_POSTGRES(GetParam());
        m_kind = GetParam();
    }
};

TEST_P(TServerStoreTest, ASubmissionAppearsOnThePageTheApiAndTheMetrics) {
    Start();
    TTestConnection::TReply sent = Get(Submission("<b>Ann|=", 4321, "Lac \xe9quipe"));
    EXPECT_EQ(sent.Status, 200);
    EXPECT_EQ(sent.Body, "stored\n");
    EXPECT_EQ(sent.Headers["content-type"], "text/plain; charset=utf-8");

    TTestConnection::TReply page = Get(kPage);
    ASSERT_EQ(page.Status, 200);
    EXPECT_EQ(page.Headers["content-type"], "text/html; charset=utf-8");
    EXPECT_NE(page.Headers["content-security-policy"].find("default-src 'none'"), std::string::npos);
    EXPECT_NE(page.Body.find("&lt;b&gt;Ann|="), std::string::npos);
    EXPECT_EQ(page.Body.find("<b>Ann"), std::string::npos);
    EXPECT_NE(page.Body.find(">4,321<"), std::string::npos) << "thousands separated";
    EXPECT_NE(page.Body.find("Lac \xc3\xa9quipe"), std::string::npos) << "Windows-1252 arrives as UTF-8";
    EXPECT_EQ(page.Body.find("<script"), std::string::npos);
    for (const char* load : {"src=", "href=\"http", "href=\"//", "url(http", "url(//", "@import"})
        EXPECT_EQ(page.Body.find(load), std::string::npos) << "nothing is loaded from elsewhere: " << load;

    TTestConnection::TReply json = Get("/api/v1/scores?period=all&limit=5");
    ASSERT_EQ(json.Status, 200);
    EXPECT_EQ(json.Headers["access-control-allow-origin"], "*");
    EXPECT_NE(json.Body.find(
                  "\"rank\":1,\"name\":\"\\u003cb>Ann|=\",\"score\":4321,\"crew\":\"Lac \xc3\xa9quipe\""),
              std::string::npos)
        << json.Body;
    EXPECT_NE(json.Body.find("\"total\":1"), std::string::npos);

    EXPECT_NE(Get("/api/v1/rank?score=5000").Body.find("\"rank\":1,"), std::string::npos);
    EXPECT_NE(Get("/api/v1/rank?score=4321&period=today").Body.find("\"rank\":1,"), std::string::npos);
    EXPECT_NE(Get("/api/v1/rank?score=-7").Body.find("\"rank\":2,"), std::string::npos);

    EXPECT_EQ(Get("/healthz").Body, "ok\n");
    // A request is counted once its answer has gone, which its client may see first.
    std::string metrics = Get("/metrics").Body;
    for (auto until = std::chrono::steady_clock::now() + 2s;
         metrics.find("{route=\"page\",le=\"+Inf\"} 1\n") == std::string::npos &&
         std::chrono::steady_clock::now() < until;
         metrics = Get("/metrics").Body)
        std::this_thread::sleep_for(20ms);
    EXPECT_NE(metrics.find("spraydash_http_requests_total{route=\"submit\",status=\"200\"} 1\n"),
              std::string::npos)
        << metrics;
    EXPECT_NE(metrics.find("spraydash_submissions_stored_total 1\n"), std::string::npos);
    EXPECT_NE(metrics.find("spraydash_http_request_duration_seconds_bucket{route=\"page\",le=\"+Inf\"} 1\n"),
              std::string::npos)
        << metrics;
    // The program, the process and the store.
    EXPECT_NE(metrics.find("spraydash_build_info{version=\""), std::string::npos);
    EXPECT_NE(metrics.find(GetParam() == TStoreKind::Sqlite ? "store=\"sqlite\"} 1\n"
                                                            : "store=\"postgresql\"} 1\n"),
              std::string::npos);
    for (const char* name :
         {"process_cpu_seconds_total ", "process_resident_memory_bytes ", "process_open_fds ",
          "process_start_time_seconds ", "spraydash_connections_open ",
          "spraydash_store_queued_submissions 0\n", "spraydash_store_commits_total ",
          "spraydash_store_commit_seconds_total ", "spraydash_store_held_entries 0\n"})
        EXPECT_NE(metrics.find(std::string("\n") + name), std::string::npos) << name;
}

TEST_F(TServerTest, MalformedSubmissionsAre400AndStoreNothing) {
    Start();
    const std::string good = Submission("Ann", 10);
    const std::string symbols = good.substr(ScoreRequestPath.size());
    struct TCase {
        const char* What;
        std::string Target;
    } cases[] = {
        {"symbol outside the alphabet", std::string(ScoreRequestPath) + "Z" + symbols.substr(1)},
        {"bad length", good.substr(0, good.size() - 3)},
        {"no symbols", std::string(ScoreRequestPath)},
        {"fields out of order", RawSubmission("type=0|name=Ann|key=Q|score=10|p=|add=x|z=")},
        {"missing field", RawSubmission("type=0|name=Ann|score=10|p=|add=x|z=")},
        {"extra field", RawSubmission("type=0|name=Ann|score=10|key=Q|p=|add=x|z=|w=1")},
        {"name of eleven", RawSubmission("type=0|name=ABCDEFGHIJK|score=10|key=Q|p=|add=x|z=")},
        {"score overflow", RawSubmission("type=0|name=Ann|score=2147483648|key=Q|p=|add=x|z=")},
        {"another program", "/cgi/version.pl?hs&prg=Other&inf=" + symbols},
        {"parameters reordered", "/cgi/version.pl?hs&inf=" + symbols + "&prg=Spraydash"},
        {"a parameter more", good + "&x=1"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TTestConnection::TReply reply = Get(c.Target);
        EXPECT_EQ(reply.Status, 400);
        ASSERT_FALSE(reply.Body.empty());
        EXPECT_EQ(reply.Body.find('\n'), reply.Body.size() - 1) << "one line: " << reply.Body;
    }
    EXPECT_EQ(m_app->Store().List(std::nullopt, 0).size(), 0u);
    EXPECT_EQ(m_app->Metrics().StoredCount(), 0u);
    EXPECT_NE(Get("/metrics").Body.find("spraydash_submissions_refused_total{reason=\"malformed\"} 11\n"),
              std::string::npos);
}

TEST_F(TServerTest, OnlyGetAndHeadWithinTheirLimits) {
    Start();
    TTestConnection::TReply post = HttpRequest(Port(), kPage, "POST", "Content-Length: 3\r\n\r\nabc");
    EXPECT_EQ(post.Status, 405);
    EXPECT_EQ(post.Headers["allow"], "GET, HEAD");
    EXPECT_EQ(HttpRequest(Port(), kPage, "DELETE").Status, 405);
    EXPECT_EQ(HttpRequest(Port(), kPage, "OPTIONS").Status, 405);

    TTestConnection::TReply get = Get(kPage);
    TTestConnection::TReply head = HttpRequest(Port(), kPage, "HEAD");
    EXPECT_EQ(head.Status, 200);
    EXPECT_EQ(head.Headers["content-length"], std::to_string(get.Body.size()));

    EXPECT_EQ(Get(kPage, "X-Filler: " + std::string(9000, 'a') + "\r\n").Status, 431);
    EXPECT_EQ(Get(std::string(kPage) + "&pad=" + std::string(9000, 'a')).Status, 431);
    EXPECT_EQ(Get(kPage, "X-Filler: " + std::string(7000, 'a') + "\r\n").Status, 200)
        << "under 8 KiB is fine";
    EXPECT_EQ(HttpRequest(Port(), kPage, "GET", "Content-Length: 4\r\n\r\nbody").Status, 400);

    EXPECT_EQ(HttpRequest(Port(), Submission("Ann", 5), "HEAD").Status, 405) << "HEAD stores nothing";
    EXPECT_EQ(m_app->Store().CountShown(0), 0);
    EXPECT_EQ(Get("http://scores.example" + std::string(kPage)).Status, 200) << "the absolute form";

    EXPECT_EQ(Get("/nothing").Status, 404);
    TTestConnection::TReply root = Get("/");
    EXPECT_EQ(root.Status, 302);
    EXPECT_EQ(root.Headers["location"], kPage);

    TTestConnection garbage(Port());
    garbage.Send("HELLO\r\n\r\n");
    EXPECT_EQ(garbage.Read().Status, 400);
}

TEST_F(TServerTest, OneConnectionCarriesSeveralRequests) {
    Start();
    TTestConnection c(Port());
    // Two requests in one go, as a pipelining client sends them, then a third.
    c.Send(std::string("GET /healthz HTTP/1.1\r\nHost: x\r\n\r\nGET ") + kPage +
           " HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(c.Read().Body, "ok\n");
    EXPECT_EQ(c.Read().Status, 200);
    c.Send("GET /healthz HTTP/1.0\r\n\r\n");
    EXPECT_EQ(c.Read().Status, 200);
    EXPECT_TRUE(c.ClosedWithin(2s)) << "HTTP/1.0 without keep-alive ends the connection";
}

TEST_F(TServerTest, SubmissionsPerAddressAreLimited) {
    Start([](TServerConfig& c) {
        c.Service.RateLimitPerMinute = 3;
        c.Http.TrustedProxies = {"127.0.0.2"};
    });
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Get(Submission("Ann", 100 + i)).Status, 200);
    TTestConnection::TReply limited = Get(Submission("Ann", 200));
    EXPECT_EQ(limited.Status, 429);
    EXPECT_EQ(limited.Headers["retry-after"], "20");
    EXPECT_EQ(Get(Submission("Ann", 201), "X-Forwarded-For: 203.0.113.5\r\n").Status, 429)
        << "127.0.0.1 is no trusted proxy: its X-Forwarded-For does not count";
    EXPECT_EQ(Get(kPage).Status, 200) << "pages are not limited";
    EXPECT_EQ(m_app->Store().CountShown(0), 3);
}

TEST_F(TServerTest, BehindATrustedProxyEachClientHasItsOwnLimit) {
    Start([](TServerConfig& c) {
        c.Service.RateLimitPerMinute = 1;
        c.Http.TrustedProxies = {"127.0.0.1"};
    });
    EXPECT_EQ(Get(Submission("A", 1), "X-Forwarded-For: 203.0.113.5\r\n").Status, 200);
    EXPECT_EQ(Get(Submission("B", 2), "X-Forwarded-For: 203.0.113.6\r\n").Status, 200);
    EXPECT_EQ(Get(Submission("C", 3), "X-Forwarded-For: 203.0.113.5\r\n").Status, 429);
    EXPECT_EQ(Get(Submission("D", 4), "X-Forwarded-For: 203.0.113.6, 127.0.0.1\r\n").Status, 429);
    std::vector<TStoredEntry> entries = m_app->Store().List(std::nullopt, 0);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Client, "203.0.113.6");
    EXPECT_EQ(entries[1].Client, "203.0.113.5");
}

TEST_P(TServerStoreTest, TheSameResultSentAgainIsStoredOnce) {
    Start();
    std::string target = Submission("Ann", 555, "crew");
    EXPECT_EQ(Get(target).Body, "stored\n");
    TTestConnection::TReply again = Get(target);
    EXPECT_EQ(again.Status, 200) << "the game may resend after a dropped connection";
    EXPECT_EQ(again.Body, "already stored\n");
    EXPECT_EQ(Get(Submission("Ann", 556, "crew")).Body, "stored\n");
    EXPECT_EQ(m_app->Store().CountShown(0), 2);
}

TEST_P(TServerStoreTest, ScoresAboveTheCeilingWaitForAnOperator) {
    Start([](TServerConfig& c) { c.Service.ScoreCeiling = 10000; });
    EXPECT_EQ(Get(Submission("Cheat", 999999)).Body, "stored; shown once an operator has looked at it\n");
    EXPECT_EQ(Get(Submission("Fair", 10000)).Body, "stored\n");
    EXPECT_EQ(Get(kPage).Body.find("Cheat"), std::string::npos);
    std::vector<TStoredEntry> held = m_app->Store().List(TEntryState::Held, 0);
    ASSERT_EQ(held.size(), 1u);
    ASSERT_TRUE(m_app->Store().SetState(held[0].Id, TEntryState::Shown));
    EXPECT_NE(Get(kPage).Body.find("Cheat"), std::string::npos) << "the cached page was rebuilt";
}

TEST_P(TServerStoreTest, PagesAndApiParameters) {
    const std::int64_t now = 1772638220;
    Start([now](TServerConfig& c) { c.Service.Clock = [now] { return now; }; });
    for (int i = 0; i < 230; ++i)
        AddDirect("P" + std::to_string(i), 1000 - i, i < 5 ? now - 3600 : now - 40 * 86400);

    auto rows = [](const std::string& body) {
        int n = 0;
        for (std::size_t at = body.find("<td class=\"place\">"); at != std::string::npos;
             at = body.find("<td class=\"place\">", at + 1))
            ++n;
        return n;
    };
    std::string first = Get(kPage).Body;
    EXPECT_EQ(rows(first), 100);
    EXPECT_NE(first.find("Places 1\xE2\x80\x93"
                         "100 of 230 results"),
              std::string::npos);
    EXPECT_NE(first.find("href=\"?prg=Spraydash&amp;show&amp;type=0&amp;page=2\" rel=\"next\""),
              std::string::npos);
    std::string third = Get(std::string(kPage) + "&page=3").Body;
    EXPECT_EQ(rows(third), 30);
    EXPECT_NE(third.find("rel=\"prev\""), std::string::npos);
    EXPECT_EQ(third.find("rel=\"next\""), std::string::npos);
    std::string today = Get(std::string(kPage) + "&period=today").Body;
    EXPECT_EQ(rows(today), 5);
    EXPECT_NE(today.find("aria-current=\"page\">Today<"), std::string::npos);
    EXPECT_EQ(Get(std::string(kPage) + "&period=month&page=99").Status, 404);
    EXPECT_EQ(Get(std::string(kPage) + "&utm_source=forum").Status, 200) << "a browser's extra parameters";

    EXPECT_EQ(Get(std::string(kPage) + "&page=0").Status, 400);
    EXPECT_EQ(Get(std::string(kPage) + "&page=x").Status, 400);
    EXPECT_EQ(Get(std::string(kPage) + "&period=year").Status, 400);
    EXPECT_EQ(Get("/cgi/version.pl?prg=Spraydash&show&type=1").Status, 400);
    EXPECT_EQ(Get("/cgi/version.pl").Status, 400);

    std::string json = Get("/api/v1/scores?period=today&offset=2&limit=2").Body;
    EXPECT_NE(json.find("\"period\":\"today\",\"since\":\"2026-03-04T00:00:00Z\",\"offset\":2,\"limit\":2,"
                        "\"total\":5,\"entries\":[{\"rank\":3,\"name\":\"P2\""),
              std::string::npos)
        << json;
    EXPECT_EQ(Get("/api/v1/scores?limit=100").Status, 200);
    EXPECT_NE(Get("/api/v1/scores?period=&offset=&limit=")
                  .Body.find("\"period\":\"all\",\"since\":null,\"offset\":0,"
                             "\"limit\":100,\"total\":230,"),
              std::string::npos)
        << "empty values are the defaults";
    for (const char* bad :
         {"/api/v1/scores?limit=101", "/api/v1/scores?limit=0", "/api/v1/scores?offset=-1",
          "/api/v1/scores?period=year", "/api/v1/scores?sort=name", "/api/v1/scores?limit=5&limit=6",
          "/api/v1/rank", "/api/v1/rank?score=2147483648", "/api/v1/rank?score=1&x=2"})
        EXPECT_EQ(Get(bad).Status, 400) << bad;
    EXPECT_NE(Get("/api/v1/rank?score=996&period=today").Body.find("\"rank\":5,\"total\":5"),
              std::string::npos);
}

TEST_F(TServerTest, ASlowClientIsDroppedWhileOthersAreServed) {
    Start([](TServerConfig& c) {
        c.Http.RequestTimeout = 2s;
        c.Http.IdleTimeout = 1s;
    });
    auto started = std::chrono::steady_clock::now();
    auto slow = std::async(std::launch::async, [&] {
        TTestConnection c(Port());
        const std::string request = std::string("GET ") + kPage + " HTTP/1.1\r\nHost: x\r\n\r\n";
        for (char byte : request) {
            if (!c.Send(std::string(1, byte)) || c.ClosedWithin(1s))
                return std::chrono::steady_clock::now() - started;
        }
        return std::chrono::steady_clock::duration::max(); // sent it all: never dropped
    });
    int served = 0;
    while (slow.wait_for(100ms) != std::future_status::ready)
        served += Get("/healthz").Status == 200;
    auto dropped = slow.get();
    EXPECT_GE(dropped, 1900ms);
    EXPECT_LT(dropped, 5s) << "the slow client was not dropped at its time limit";
    EXPECT_GE(served, 10) << "other clients were served meanwhile";

    TTestConnection idle(Port());
    idle.Send("GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(idle.Read().Status, 200);
    EXPECT_TRUE(idle.ClosedWithin(3s)) << "an idle kept-alive connection is closed";
    // The stream closes a timed-out socket itself and only then tells the connection, so the
    // count may follow the close by a moment.
    const std::string counted = "spraydash_connections_timed_out_total 2\n";
    std::string metrics = Get("/metrics").Body;
    for (auto until = std::chrono::steady_clock::now() + 2s;
         metrics.find(counted) == std::string::npos && std::chrono::steady_clock::now() < until;
         metrics = Get("/metrics").Body)
        std::this_thread::sleep_for(20ms);
    EXPECT_NE(metrics.find(counted), std::string::npos) << metrics;
}

TEST_F(TServerTest, ConnectionsAreCapped) {
    Start([](TServerConfig& c) { c.Http.MaxConnections = 3; });
    std::vector<std::unique_ptr<TTestConnection>> held;
    for (int i = 0; i < 3; ++i) {
        // In the middle of a request: not idle, so not to be closed for a newcomer.
        held.push_back(std::make_unique<TTestConnection>(Port()));
        held.back()->Send("GET /healthz HTTP/1.1\r\n");
    }
    std::this_thread::sleep_for(100ms);
    TTestConnection::TReply refused = Get("/healthz");
    EXPECT_EQ(refused.Status, 503);
    EXPECT_EQ(refused.Body, "too many connections; try again shortly\n");
    held.clear();
    bool servedAgain = false;
    for (int i = 0; i < 50 && !servedAgain; ++i) {
        servedAgain = Get("/healthz").Status == 200;
        if (!servedAgain)
            std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(servedAgain);
}

TEST_F(TServerTest, RequestsThatReadTwoWaysAreRefusedAndTheConnectionClosed) {
    Start();
    // What follows the head is a submission: a server that ignores the transfer coding takes it
    // for the next request and stores it.
    const std::string smuggled = "GET " + Submission("Smuggled", 999) + " HTTP/1.1\r\nHost: x\r\n\r\n";
    struct TCase {
        const char* What;
        std::string Head;
        int Status;
    } cases[] = {
        {"unknown coding", "GET /healthz HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: gzip\r\n\r\n", 501},
        {"a coding that only looks like chunked",
         "GET /healthz HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: xchunked\r\n\r\n", 501},
        {"chunked not last",
         "GET /healthz HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked, identity\r\n\r\n", 501},
        {"chunked on a GET", "GET /healthz HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n", 400},
        {"no Host", "GET /healthz HTTP/1.1\r\n\r\n", 400},
        {"two Hosts", "GET /healthz HTTP/1.1\r\nHost: x\r\nHost: y\r\n\r\n", 400},
        {"a folded field", "GET /healthz HTTP/1.1\r\nHost: x\r\nX-Note: a\r\n b\r\n\r\n", 400},
        {"a folded field with a tab", "GET /healthz HTTP/1.1\r\nHost: x\r\nX-Note: a\r\n\tb\r\n\r\n", 400},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TTestConnection connection(Port());
        connection.Send(c.Head + smuggled);
        TTestConnection::TReply reply = connection.Read();
        EXPECT_EQ(reply.Status, c.Status);
        EXPECT_EQ(reply.Headers["connection"], "close");
        EXPECT_EQ(connection.Read(false, 2s).Status, 0) << "nothing more is answered";
    }
    EXPECT_EQ(m_app->Store().List(std::nullopt, 0).size(), 0u) << "the smuggled submission was stored";
    EXPECT_EQ(HttpRequest(Port(), "/healthz").Status, 200);
    TTestConnection old(Port());
    old.Send("GET /healthz HTTP/1.0\r\n\r\n");
    EXPECT_EQ(old.Read().Status, 200) << "HTTP/1.0 needs no Host";
}

TEST_F(TServerTest, APagePastTheEndIs404WithAWayToTheLastPage) {
    Start();
    for (int i = 0; i < 149; ++i)
        AddDirect("P" + std::to_string(i), 1000 - i, 1772638220);
    EXPECT_EQ(Get(std::string(kPage) + "&page=2").Status, 200);
    TTestConnection::TReply past = Get(std::string(kPage) + "&page=3");
    EXPECT_EQ(past.Status, 404);
    EXPECT_EQ(past.Headers["content-type"], "text/html; charset=utf-8");
    EXPECT_NE(past.Body.find("href=\"?prg=Spraydash&amp;show&amp;type=0&amp;page=2\">page 2</a>"),
              std::string::npos)
        << past.Body;
    EXPECT_EQ(past.Body.find("Places 101"), std::string::npos) << "no link to places that do not exist";
    EXPECT_EQ(past.Body.find("rel=\"prev\""), std::string::npos);
    TTestConnection::TReply empty = Get(std::string(kPage) + "&period=today&page=2");
    EXPECT_EQ(empty.Status, 404) << "an empty list has one page";
    EXPECT_NE(empty.Body.find("href=\"?prg=Spraydash&amp;show&amp;type=0&amp;period=today\""),
              std::string::npos);
}

TEST_P(TServerStoreTest, DeepPagesAndPlacesFromTheListsOrderMatchTheStore) {
    Start();
    // Ties everywhere, so places repeat and pages begin in the middle of a tie.
    for (int i = 0; i < 1230; ++i)
        AddDirect("P" + std::to_string(i), 5000 - (i / 7) * 3, 1772638220 + i % 5);
    for (std::int64_t page : {11, 12, 13}) {
        SCOPED_TRACE("page " + std::to_string(page));
        TScorePage direct = m_app->Store().Top(0, (page - 1) * 100, 100);
        std::string body = Get(std::string(kPage) + "&page=" + std::to_string(page)).Body;
        std::size_t at = 0;
        for (const TRankedEntry& e : direct.Entries) {
            std::string row = ">" + e.Name + "</td><td class=\"score\">";
            std::size_t found = body.find(row, at);
            ASSERT_NE(found, std::string::npos) << e.Name << " in its place";
            std::size_t place = body.rfind("<td class=\"place\">", found);
            EXPECT_EQ(body.substr(place + 18, GroupedDigits(e.Rank).size() + 5),
                      GroupedDigits(e.Rank) + "</td>")
                << e.Name;
            at = found;
        }
    }
    EXPECT_EQ(Get(std::string(kPage) + "&page=14").Status, 404);
    for (std::int32_t score : {6000, 5000, 4999, 4997, 3000, 1000, -5}) {
        std::string expected =
            "\"rank\":" + std::to_string(m_app->Store().RankOf(score, 0)) + ",\"total\":1230";
        EXPECT_NE(Get("/api/v1/rank?score=" + std::to_string(score)).Body.find(expected), std::string::npos)
            << score;
    }
}

// What a player and a browser get of the page beyond the list itself.
TEST_F(TServerTest, ThePageCachesCompressesAndHelpsPlayersFindThemselves) {
    const std::int64_t now = 1772638220;
    Start([now](TServerConfig& c) { c.Service.Clock = [now] { return now; }; });
    for (int i = 0; i < 250; ++i)
        AddDirect(i == 7 ? "Zoe Quay" : i == 8 ? "" : "P" + std::to_string(i), 1234567 - i * 1000, now - 60);
    TNewScore crewless;
    crewless.Name = "Crewless";
    crewless.Score = 5;
    crewless.Crew = "_______";
    crewless.Received = now;
    crewless.Client = "198.51.100.1";
    crewless.Digest = 999;
    std::promise<void> stored;
    m_app->Store().Submit(crewless, [&stored](TSubmitOutcome) { stored.set_value(); });
    stored.get_future().get();

    TTestConnection::TReply page = Get(kPage);
    ASSERT_EQ(page.Status, 200);
    EXPECT_NE(page.Body.find(">1,234,567<"), std::string::npos);
    EXPECT_NE(page.Body.find("of 251 results"), std::string::npos);
    EXPECT_NE(page.Body.find("<caption class=\"sr\">World high scores, All time, places 1\xE2\x80\x93"
                             "100 of 251</caption>"),
              std::string::npos);
    EXPECT_NE(page.Body.find("<th scope=\"col\" class=\"place\">Place</th>"), std::string::npos);
    EXPECT_NE(page.Body.find("<span class=\"none\">(no name)</span>"), std::string::npos);
    EXPECT_NE(page.Headers["content-security-policy"].find("form-action 'self'"), std::string::npos);

    // Conditional requests: the same page is 304, with no body, until it changes.
    const std::string etag = page.Headers["etag"];
    ASSERT_FALSE(etag.empty());
    ASSERT_FALSE(page.Headers["last-modified"].empty());
    TTestConnection::TReply same = Get(kPage, "If-None-Match: " + etag + "\r\n");
    EXPECT_EQ(same.Status, 304);
    EXPECT_EQ(same.Body, "");
    EXPECT_EQ(same.Headers["etag"], etag);
    EXPECT_EQ(Get(kPage, "If-Modified-Since: " + page.Headers["last-modified"] + "\r\n").Status, 304);
    EXPECT_EQ(Get(kPage, "If-None-Match: \"other\"\r\n").Status, 200);
    AddDirect("Newcomer", 2000000, now);
    TTestConnection::TReply changed = Get(kPage, "If-None-Match: " + etag + "\r\n");
    EXPECT_EQ(changed.Status, 200) << "the list changed";
    EXPECT_NE(changed.Headers["etag"], etag);

    // gzip when asked for, the same page once unpacked.
    TTestConnection::TReply packed = Get(kPage, "Accept-Encoding: br, gzip;q=0.8\r\n");
    EXPECT_EQ(packed.Headers["content-encoding"], "gzip");
    EXPECT_EQ(packed.Headers["vary"], "Accept-Encoding");
    EXPECT_LT(packed.Body.size(), changed.Body.size() / 3);
    std::string unpacked(changed.Body.size() + 16, '\0');
    z_stream z{};
    inflateInit2(&z, 15 + 16);
    z.next_in = reinterpret_cast<Bytef*>(packed.Body.data());
    z.avail_in = static_cast<uInt>(packed.Body.size());
    z.next_out = reinterpret_cast<Bytef*>(unpacked.data());
    z.avail_out = static_cast<uInt>(unpacked.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    unpacked.resize(z.total_out);
    inflateEnd(&z);
    EXPECT_EQ(unpacked, changed.Body);
    EXPECT_EQ(Get(kPage, "Accept-Encoding: gzip;q=0\r\n").Headers.count("content-encoding"), 0u);

    // The default crew text shows as no text.
    std::string last = Get(std::string(kPage) + "&page=3").Body;
    std::size_t row = last.find(">Crewless<");
    ASSERT_NE(row, std::string::npos);
    EXPECT_EQ(last.substr(last.find("<td class=\"crew\">", row), 22), "<td class=\"crew\"></td>");

    // A search by name, and where a score would stand.
    std::string found = Get(std::string(kPage) + "&name=zoe+q").Body;
    EXPECT_NE(found.find(">Zoe Quay<"), std::string::npos);
    EXPECT_NE(found.find("<td class=\"place\">9</td>"), std::string::npos) << "with its place on the list";
    EXPECT_EQ(found.find(">P1<"), std::string::npos);
    EXPECT_NE(Get(std::string(kPage) + "&name=%E2%80%9Cnobody").Body.find("No name on this list contains"),
              std::string::npos);
    TTestConnection::TReply where = Get(std::string(kPage) + "&score=1100000");
    EXPECT_EQ(where.Status, 200);
    // 135 of the first results and the newcomer score better.
    EXPECT_NE(where.Body.find("A score of 1,100,000 takes place 137"), std::string::npos);
    EXPECT_NE(where.Body.find("<tr class=\"here\" id=\"here\"><td class=\"place\">137</td>"),
              std::string::npos);
    EXPECT_NE(where.Body.find("Places 101"), std::string::npos) << "on the second page";
    EXPECT_EQ(Get(std::string(kPage) + "&score=x").Status, 400);
    EXPECT_EQ(Get(std::string(kPage) + "&name=" + std::string(41, 'a')).Status, 400);
}

// Every text of the page against what it stands on: WCAG AA (4.5:1, 3:1 for large text).
TEST_F(TServerTest, EveryTextOfThePageIsReadable) {
    Start();
    std::string body = Get(kPage).Body;
    std::string css = body.substr(body.find("<style>"), body.find("</style>") - body.find("<style>"));
    auto colorOf = [&css](const std::string& rule, const std::string& property) {
        std::size_t at = css.find("\n" + rule + "{");
        EXPECT_NE(at, std::string::npos) << rule;
        std::size_t end = css.find('}', at);
        std::size_t p = css.find(property + ":#", at);
        EXPECT_TRUE(p != std::string::npos && p < end) << rule << " has no " << property;
        return css.substr(p + property.size() + 1, 7);
    };
    auto luminance = [](const std::string& hex) {
        double channel[3];
        for (int i = 0; i < 3; ++i) {
            double c = std::stoi(hex.substr(1 + 2 * i, 2), nullptr, 16) / 255.0;
            channel[i] = c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return 0.2126 * channel[0] + 0.7152 * channel[1] + 0.0722 * channel[2];
    };
    auto contrast = [&](const std::string& a, const std::string& b) {
        double la = luminance(a), lb = luminance(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    };
    // Each text's colour from its rule, each against the lightest or darkest ground it sits on.
    const std::string sheet = "#eaf5ff", stripe = "#d8ecfb", panelTop = "#1b3a6e", header = "#1f4180";
    struct TText {
        std::string Rule, Ground;
        double Least;
    } texts[] = {
        {"td.crew", stripe, 4.5},  {"td.date", stripe, 4.5},        {".none", stripe, 4.5},
        {".empty", sheet, 4.5},    {"th", "#c7e2f8", 4.5},          {".summary", panelTop, 4.5},
        {".sub", panelTop, 4.5},   {".tagline small", header, 4.5}, {"footer", "#0f2550", 4.5},
        {".note", "#eaf5ff", 4.5}, {".find", panelTop, 4.5},        {"h2", panelTop, 3.0},
    };
    for (const TText& t : texts) {
        std::string color = colorOf(t.Rule, "color");
        EXPECT_GE(contrast(color, t.Ground), t.Least) << t.Rule << " " << color << " on " << t.Ground;
    }
    EXPECT_EQ(colorOf("footer", "background"), "#0f2550") << "the footer has a ground of its own";
    EXPECT_EQ(colorOf(".note", "background"), "#eaf5ff");
}

TEST_F(TServerTest, AnAnswerTheClientNeverTakesCostsTheRequestTimeNotTheIdleTime) {
    Start([](TServerConfig& c) {
        c.Http.RequestTimeout = 1s;
        c.Http.IdleTimeout = 60s;
    });
    for (int i = 0; i < 100; ++i)
        AddDirect(std::string(10, static_cast<char>('A' + i % 26)), 1000 - i, 1772638220);
    ASSERT_GT(Get(kPage).Body.size(), 20000u);
    {
        // A receive window far smaller than the page; the client never reads.
        TTestConnection stuck(Port(), nullptr, 1024);
        stuck.Send(std::string("GET ") + kPage + " HTTP/1.1\r\nHost: x\r\n\r\n");
        auto sent = std::chrono::steady_clock::now();
        while (m_app->Metrics().OpenConnections() == 0 && std::chrono::steady_clock::now() - sent < 2s)
            std::this_thread::sleep_for(1ms);
        while (m_app->Metrics().OpenConnections() > 0 && std::chrono::steady_clock::now() - sent < 10s)
            std::this_thread::sleep_for(20ms);
        auto held = std::chrono::steady_clock::now() - sent;
        EXPECT_LT(held, 4s) << "the connection was kept although its answer was not taken";
        EXPECT_GE(held, 900ms);
    }
}

TEST_F(TServerTest, OneAddressCannotTakeEveryConnection) {
    Start([](TServerConfig& c) {
        c.Http.MaxConnections = 10;
        c.Http.MaxConnectionsPerAddress = 4;
    });
    auto connect = [this](const char* from, bool idle) {
        auto c = std::make_unique<TTestConnection>(Port(), from);
        if (idle) {
            c->Send("GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n");
            EXPECT_EQ(c->Read().Status, 200);
        } else {
            c->Send("GET /healthz HTTP/1.1\r\n"); // a request under way
        }
        return c;
    };
    auto status = [this](const char* from) {
        TTestConnection c(Port(), from);
        c.Send("GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        return c.Read().Status;
    };

    // Busy connections up to the address's cap: that address waits, others are served.
    std::vector<std::unique_ptr<TTestConnection>> busy;
    for (int i = 0; i < 4; ++i)
        busy.push_back(connect("127.0.0.2", false));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(status("127.0.0.2"), 503);
    EXPECT_EQ(status("127.0.0.3"), 200);

    // Idle connections give way, oldest first.
    std::vector<std::unique_ptr<TTestConnection>> idle;
    for (int i = 0; i < 4; ++i) {
        idle.push_back(connect("127.0.0.4", true));
        std::this_thread::sleep_for(20ms); // one after the other, also for the server
    }
    EXPECT_EQ(status("127.0.0.4"), 200);
    EXPECT_TRUE(idle[0]->ClosedWithin(2s)) << "the oldest idle connection made room";
    for (std::size_t i = 1; i < idle.size(); ++i)
        EXPECT_FALSE(idle[i]->ClosedWithin(100ms)) << i;

    // Eight held, two left: the last is kept for addresses with few connections, and the whole
    // cap reached by idle ones still lets a health check in.
    auto held = connect("127.0.0.5", true);
    EXPECT_EQ(status("127.0.0.6"), 200);
    std::vector<std::unique_ptr<TTestConnection>> more;
    for (int i = 0; i < 2; ++i)
        more.push_back(connect("127.0.0.7", true));
    EXPECT_EQ(status("127.0.0.8"), 200);
    EXPECT_NE(Get("/metrics").Body.find("spraydash_connections_evicted_total"), std::string::npos);
}

TEST_F(TServerTest, MetricsCanHaveAnAddressOfTheirOwn) {
    Start([](TServerConfig& c) {
        c.Http.MetricsAddress = "127.0.0.1";
        c.Http.MetricsPort = 0;
    });
    ASSERT_NE(m_app->MetricsPort(), 0);
    ASSERT_NE(m_app->MetricsPort(), Port());
    EXPECT_EQ(Get("/metrics").Status, 404) << "not to the public";
    EXPECT_EQ(Get(kPage).Status, 200);
    TTestConnection::TReply metrics = HttpRequest(m_app->MetricsPort(), "/metrics");
    EXPECT_EQ(metrics.Status, 200);
    EXPECT_NE(metrics.Body.find("spraydash_http_requests_total"), std::string::npos);
    EXPECT_EQ(HttpRequest(m_app->MetricsPort(), "/healthz").Status, 200);
    EXPECT_EQ(HttpRequest(m_app->MetricsPort(), kPage).Status, 404) << "the metrics address serves no pages";
    EXPECT_EQ(HttpRequest(m_app->MetricsPort(), Submission("Ann", 5)).Status, 404);
}

TEST_F(TServerTest, WhileTheDatabaseIsAwayPagesComeFromTheLastCopyAndResultsAre503) {
    SKIP_WITHOUT_POSTGRES(TStoreKind::Postgres);
    m_kind = TStoreKind::Postgres;
    Start([](TServerConfig& c) { c.SpoolLimit = 0; }); // without a spool
    ASSERT_EQ(Get(Submission("Ann", 4321)).Status, 200);
    TTestConnection::TReply before = Get(kPage);
    ASSERT_EQ(before.Status, 200);
    ASSERT_NE(before.Body.find("4,321"), std::string::npos);

    SharedPostgres().Stop();
    TTestConnection::TReply refused = Get(Submission("Bob", 99));
    EXPECT_EQ(refused.Status, 503);
    EXPECT_EQ(refused.Headers["retry-after"], "5");
    TTestConnection::TReply page = Get(kPage);
    EXPECT_EQ(page.Status, 200);
    EXPECT_EQ(page.Body, before.Body) << "the last good copy";
    EXPECT_EQ(Get("/healthz").Status, 503);
    EXPECT_EQ(Get(std::string(kPage) + "&period=week").Status, 503) << "a page never built has no copy";

    SharedPostgres().Start();
    int status = 0;
    for (int i = 0; i < 100 && status != 200; ++i) {
        std::this_thread::sleep_for(50ms);
        status = Get(Submission("Bob", 99)).Status;
    }
    EXPECT_EQ(status, 200) << "back by itself";
    EXPECT_NE(Get(kPage).Body.find(">Bob<"), std::string::npos);
    EXPECT_EQ(m_app->Store().CountShown(0), 2);
}

TEST_F(TServerTest, WhileTheDatabaseIsAwayResultsWaitInTheSpoolWithinItsBound) {
    SKIP_WITHOUT_POSTGRES(TStoreKind::Postgres);
    m_kind = TStoreKind::Postgres;
    auto withSpool = [](TServerConfig& c) { c.SpoolLimit = 2; };
    Start(withSpool);
    ASSERT_EQ(Get(Submission("Ann", 1)).Status, 200);

    SharedPostgres().Stop();
    TTestConnection::TReply kept = Get(Submission("Bob", 2));
    EXPECT_EQ(kept.Status, 200);
    EXPECT_EQ(kept.Body, "kept; stored as soon as the database answers again\n");
    EXPECT_EQ(Get(Submission("Cy", 3)).Status, 200);
    EXPECT_EQ(Get(Submission("Dee", 4)).Status, 503) << "past the spool's bound";
    EXPECT_NE(Get("/metrics").Body.find("spraydash_spool_entries 2\n"), std::string::npos);
    // The server stops while the database is still away: the spool keeps the two for the next.
    m_app.reset();

    SharedPostgres().Start();
    Start(withSpool);
    std::set<std::string> names;
    for (int i = 0; i < 100 && (names.size() < 3 || m_app->Spool()->Held() > 0); ++i) {
        std::this_thread::sleep_for(50ms);
        names.clear();
        for (const TStoredEntry& e : m_app->Store().List(std::nullopt, 0))
            names.insert(e.Name);
    }
    EXPECT_EQ(names, (std::set<std::string>{"Ann", "Bob", "Cy"}));
    EXPECT_EQ(m_app->Spool()->Held(), 0u);
    // Handed over once only, even when handed over again (as after a crash half-way through).
    EXPECT_EQ(m_app->Store().List(std::nullopt, 0).size(), 3u);
}

TEST_F(TServerTest, WithPostgresTheRateLimitHoldsAcrossServers) {
    SKIP_WITHOUT_POSTGRES(TStoreKind::Postgres);
    m_kind = TStoreKind::Postgres;
    Start([](TServerConfig& c) { c.Service.RateLimitPerMinute = 10; });
    TServerConfig second;
    second.Db = m_db->Target();
    second.Http.Port = 0;
    second.Http.Threads = 2;
    second.Service.RateLimitPerMinute = 10;
    second.SpoolLimit = 0;
    TScoreServerApp other(second);
    other.Start();
    int accepted = 0;
    int limited = 0;
    std::string retryAfter;
    for (int i = 0; i < 30; ++i) {
        unsigned short port = i % 2 ? other.Port() : Port();
        TTestConnection::TReply reply = HttpRequest(port, Submission("P" + std::to_string(i), i));
        accepted += reply.Status == 200;
        limited += reply.Status == 429;
        if (reply.Status == 429)
            retryAfter = reply.Headers["retry-after"];
    }
    EXPECT_EQ(accepted, 10) << "one player's allowance, whichever server takes the result";
    EXPECT_EQ(limited, 20);
    ASSERT_FALSE(retryAfter.empty());
    EXPECT_GE(std::stoi(retryAfter), 1);
    EXPECT_LE(std::stoi(retryAfter), 6) << "one more every six seconds";
}

TEST_F(TServerTest, ASpoolIsHandedOnlyToItsOwnDatabase) {
    Start();
    m_app.reset();
    TTestDatabase other(TStoreKind::Sqlite);
    TServerConfig config;
    config.Db = other.Target();
    config.Http.Port = 0;
    config.Spool = m_db->Dir().File("spool");
    TScoreServerApp app(config);
    EXPECT_EQ(app.Spool(), nullptr) << "the spool of another database was taken";
}

INSTANTIATE_TEST_SUITE_P(Stores, TServerStoreTest,
                         ::testing::Values(TStoreKind::Sqlite, TStoreKind::Postgres), StoreKindName);

} // namespace
