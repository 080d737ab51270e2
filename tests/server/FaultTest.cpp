// Real server processes under a load of submissions while something breaks under them: the
// database stops, one of two servers is killed, the disk fills up. Whatever happens, a 200 means
// stored, and the servers come back by themselves. Each case prints its figures.

#include "HttpTestClient.h"
#include "ServerProcess.h"
#include "TestDatabase.h"
#include "menus/ScoreSubmission.h"

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

constexpr const char* kPage = "/cgi/version.pl?prg=Spraydash&show&type=0";

double Seconds(TClock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Senders that each submit new results one after the other on a kept-alive connection (a new
// one after a failure), and readers that fetch the world page, until stopped. Answers are
// counted per phase of the test.
class TLoad {
  public:
    static constexpr int kPhases = 4;

    struct TCounts {
        std::map<int, int> Submissions; // status (0: no answer) -> count
        std::map<int, int> Pages;
    };

    // senders[i] is the port sender i talks to.
    TLoad(std::vector<std::function<unsigned short()>> senders, std::function<unsigned short()> reader) {
        for (std::size_t i = 0; i < senders.size(); ++i)
            m_threads.emplace_back([this, i, port = senders[i]] { Send(static_cast<int>(i), port); });
        if (reader)
            m_threads.emplace_back([this, reader] { Read(reader); });
    }
    ~TLoad() { Stop(); }

    void Phase(int phase) { m_phase = phase; }
    void Stop() {
        m_stop = true;
        for (auto& t : m_threads)
            if (t.joinable())
                t.join();
    }

    TCounts Counts(int phase) {
        std::lock_guard lock(m_mutex);
        return m_counts[static_cast<std::size_t>(phase)];
    }
    int Submissions(int phase, int status) { return Counts(phase).Submissions[status]; }
    std::set<std::string> Acknowledged() {
        std::lock_guard lock(m_mutex);
        return m_acknowledged;
    }
    // When the first answer with this status after the given moment came (or max() when none in 30 s).
    TClock::time_point FirstSubmissionAfter(int status, TClock::time_point after) {
        for (;;) {
            {
                std::lock_guard lock(m_mutex);
                if (m_last[status] > after)
                    return m_last[status];
            }
            if (TClock::now() - after > 30s)
                return TClock::time_point::max();
            std::this_thread::sleep_for(5ms);
        }
    }

  private:
    void Send(int sender, const std::function<unsigned short()>& port) {
        std::unique_ptr<TTestConnection> c;
        for (int i = 0; !m_stop; ++i) {
            int phase = m_phase;
            std::string name = "s" + std::to_string(sender) + "n" + std::to_string(i);
            int status = 0;
            try {
                if (!c)
                    c = std::make_unique<TTestConnection>(port());
                c->Send("GET " + BuildScoreRequestUrl("", name, i, "load") + " HTTP/1.1\r\nHost: x\r\n\r\n");
                status = c->Read().Status;
            } catch (const std::exception&) {
            }
            if (status == 0) {
                c.reset(); // the server went away: a new connection, after a breath
                std::this_thread::sleep_for(20ms);
            }
            std::lock_guard lock(m_mutex);
            ++m_counts[static_cast<std::size_t>(phase)].Submissions[status];
            m_last[status] = TClock::now();
            if (status == 200)
                m_acknowledged.insert(name);
        }
    }

    void Read(const std::function<unsigned short()>& port) {
        while (!m_stop) {
            int phase = m_phase;
            int status = 0;
            try {
                status = HttpRequest(port(), kPage).Status;
            } catch (const std::exception&) {
            }
            {
                std::lock_guard lock(m_mutex);
                ++m_counts[static_cast<std::size_t>(phase)].Pages[status];
            }
            std::this_thread::sleep_for(5ms);
        }
    }

    std::atomic<bool> m_stop{false};
    std::atomic<int> m_phase{0};
    std::mutex m_mutex;
    std::array<TCounts, kPhases> m_counts;
    std::set<std::string> m_acknowledged;
    std::map<int, TClock::time_point> m_last;
    std::vector<std::thread> m_threads;
};

std::string Describe(const std::map<int, int>& statuses) {
    std::string text;
    for (auto [status, count] : statuses)
        text += (text.empty() ? "" : ", ") + std::to_string(count) + " x " +
                (status == 0 ? std::string("no answer") : std::to_string(status));
    return text.empty() ? "none" : text;
}

std::set<std::string> StoredNames(TTestDatabase& db) {
    std::set<std::string> names;
    std::string all = db.Exec(db.Kind() == TStoreKind::Sqlite ? "SELECT group_concat(name, ' ') FROM scores"
                                                              : "SELECT string_agg(name, ' ') FROM scores");
    std::size_t at = 0;
    while (at < all.size()) {
        std::size_t space = all.find(' ', at);
        names.insert(all.substr(at, space == std::string::npos ? std::string::npos : space - at));
        at = space == std::string::npos ? all.size() : space + 1;
    }
    return names;
}

// Every acknowledged result is stored, and nothing is stored that was not acknowledged.
void ExpectAcknowledgedEqualsStored(TLoad& load, TTestDatabase& db) {
    std::set<std::string> acknowledged = load.Acknowledged();
    std::set<std::string> stored = StoredNames(db);
    std::size_t lost = 0;
    for (const std::string& name : acknowledged)
        lost += stored.count(name) == 0;
    EXPECT_EQ(lost, 0u) << "acknowledged but not stored";
    EXPECT_EQ(acknowledged.size(), stored.size()) << "answered 200 vs entries stored";
    std::printf("  200 answers: %zu, entries stored: %zu, acknowledged but lost: %zu\n", acknowledged.size(),
                stored.size(), lost);
}

std::vector<std::function<unsigned short()>> Senders(int count, unsigned short port) {
    return std::vector<std::function<unsigned short()>>(static_cast<std::size_t>(count),
                                                        [port] { return port; });
}

TEST(Faults, DatabaseStoppedUnderLoad) {
    SKIP_WITHOUT_POSTGRES(TStoreKind::Postgres);
    TTestDatabase db(TStoreKind::Postgres);
    TServerProcess server({"--listen", "127.0.0.1:0", "--db", db.Target(), "--rate-limit", "0", "--spool",
                           db.Dir().File("spool")});
    ASSERT_EQ(HttpRequest(server.Port(), kPage).Status, 200);

    TLoad load(Senders(8, server.Port()), [&] { return server.Port(); });
    std::this_thread::sleep_for(1500ms);
    load.Phase(1);
    auto stopping = TClock::now();
    SharedPostgres().Stop();
    auto stopped = TClock::now();
    std::this_thread::sleep_for(2s);
    load.Phase(2);
    SharedPostgres().Start();
    auto started = TClock::now();
    auto recovered = load.FirstSubmissionAfter(200, started);
    std::this_thread::sleep_for(1s);
    load.Stop();

    EXPECT_EQ(HttpRequest(server.Port(), "/healthz").Status, 200) << "the server stayed up";
    TLoad::TCounts before = load.Counts(0), down = load.Counts(1), after = load.Counts(2);
    std::printf("database stopped under load (8 senders, 1 page reader, one server):\n"
                "  before:        submissions %s; pages %s\n"
                "  while stopped: submissions %s; pages %s\n"
                "  after restart: submissions %s; pages %s\n"
                "  pg_ctl stop took %.2f s; first 200 %.2f s after the database was back\n",
                Describe(before.Submissions).c_str(), Describe(before.Pages).c_str(),
                Describe(down.Submissions).c_str(), Describe(down.Pages).c_str(),
                Describe(after.Submissions).c_str(), Describe(after.Pages).c_str(),
                Seconds(stopped - stopping), Seconds(recovered - started));
    EXPECT_EQ(down.Submissions[503], 0) << "the spool kept every result while the database was away";
    EXPECT_GT(down.Submissions[200], 0);
    // The spool is handed over within moments of the database being back.
    for (auto until = TClock::now() + 10s;
         HttpRequest(server.Port(), "/metrics").Body.find("spraydash_spool_entries 0\n") ==
             std::string::npos &&
         TClock::now() < until;)
        std::this_thread::sleep_for(100ms);
    for (const TLoad::TCounts& phase : {before, down, after}) {
        for (auto [status, count] : phase.Submissions)
            EXPECT_TRUE(status == 200 || status == 503) << count << " answers " << status;
        EXPECT_EQ(phase.Pages.size(), 1u) << "the page is served throughout: " << Describe(phase.Pages);
    }
    EXPECT_LT(recovered, started + 5s) << "recovers by itself";
    EXPECT_GT(after.Submissions[200], 0);
    ExpectAcknowledgedEqualsStored(load, db);
}

TEST(Faults, Kill9OfOneOfTwoServersUnderLoad) {
    SKIP_WITHOUT_POSTGRES(TStoreKind::Postgres);
    TTestDatabase db(TStoreKind::Postgres);
    TServerProcess a({"--listen", "127.0.0.1:0", "--db", db.Target(), "--rate-limit", "0"});
    TServerProcess b({"--listen", "127.0.0.1:0", "--db", db.Target(), "--rate-limit", "0"});
    // As behind a load balancer: half the senders on each server; those on the killed one
    // find their way to the other after a failed attempt.
    std::atomic<bool> aAlive{true};
    std::vector<std::function<unsigned short()>> senders = Senders(4, b.Port());
    for (int i = 0; i < 4; ++i)
        senders.push_back([&] { return aAlive ? a.Port() : b.Port(); });
    TLoad load(senders, [&] { return b.Port(); });
    std::this_thread::sleep_for(1500ms);
    load.Phase(1);
    a.Kill9();
    aAlive = false;
    std::this_thread::sleep_for(2s);
    load.Stop();

    TLoad::TCounts before = load.Counts(0), after = load.Counts(1);
    std::printf("kill -9 of one of two servers under load (8 senders, 1 page reader on the survivor):\n"
                "  before: submissions %s; pages %s\n"
                "  after:  submissions %s; pages %s\n",
                Describe(before.Submissions).c_str(), Describe(before.Pages).c_str(),
                Describe(after.Submissions).c_str(), Describe(after.Pages).c_str());
    EXPECT_GT(after.Submissions[200], 0) << "the other server keeps serving";
    EXPECT_LE(after.Submissions[0], 4) << "at most the requests in flight on the killed server";
    EXPECT_EQ(after.Submissions[503], 0);
    EXPECT_EQ(before.Pages.size(), 1u);
    EXPECT_EQ(after.Pages.size(), 1u) << Describe(after.Pages);
    EXPECT_EQ(HttpRequest(b.Port(), "/healthz").Status, 200);
    // A result the killed server had not answered may or may not be stored; an answered one must be.
    std::set<std::string> acknowledged = load.Acknowledged();
    std::set<std::string> stored = StoredNames(db);
    std::size_t lost = 0;
    for (const std::string& name : acknowledged)
        lost += stored.count(name) == 0;
    EXPECT_EQ(lost, 0u);
    EXPECT_LE(stored.size() - acknowledged.size(), 4u) << "stored but unanswered: only those in flight";
    std::printf("  200 answers: %zu, entries stored: %zu, acknowledged but lost: %zu\n", acknowledged.size(),
                stored.size(), lost);
}

// A small file system of its own, mounted for the test and unmounted however it ends.
class TSmallDisk {
  public:
    TSmallDisk(const std::string& path, const std::string& size) : m_path(path) {
        std::filesystem::create_directories(path);
        std::string options = "size=" + size + ",mode=0755";
        if (::mount("spraydash-test", path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
            m_error = std::strerror(errno);
    }
    ~TSmallDisk() {
        if (m_error.empty())
            ::umount2(m_path.c_str(), MNT_DETACH);
    }
    TSmallDisk(const TSmallDisk&) = delete;
    TSmallDisk& operator=(const TSmallDisk&) = delete;
    const std::string& Error() const { return m_error; }

    // Writes a file until the disk is full.
    void Fill(const std::string& file) {
        std::FILE* f = std::fopen(file.c_str(), "wb");
        std::string block(4096, 'x');
        while (f && std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
        }
        if (f)
            std::fclose(f);
    }

  private:
    std::string m_path;
    std::string m_error;
};

TEST(Faults, SqliteOnAFullDisk) {
    TTempDir dir;
    TSmallDisk disk(dir.File("disk"), "16m");
    if (!disk.Error().empty())
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << disk.Error()
                     << "): the full-disk case needs root and a system that allows mounts";
    TTestDatabase database(TStoreKind::Sqlite, dir.File("disk/scores.db"));
    const std::string db = database.Target();
    const std::string filler = dir.File("disk/filler");
    TServerProcess server({"--listen", "127.0.0.1:0", "--db", db, "--rate-limit", "0"});
    ASSERT_EQ(HttpRequest(server.Port(), kPage).Status, 200);

    TLoad load(Senders(4, server.Port()), [&] { return server.Port(); });
    std::this_thread::sleep_for(500ms);
    load.Phase(1);
    auto filled = TClock::now();
    disk.Fill(filler);
    auto firstRefusal = load.FirstSubmissionAfter(503, filled);
    std::this_thread::sleep_for(1s);
    load.Phase(2);
    auto freed = TClock::now();
    std::filesystem::remove(filler);
    auto recovered = load.FirstSubmissionAfter(200, freed + 50ms);
    std::this_thread::sleep_for(1s);
    load.Stop();

    TLoad::TCounts before = load.Counts(0), full = load.Counts(1), after = load.Counts(2);
    std::printf("SQLite on a 16 MB disk that fills up under load (4 senders, 1 page reader):\n"
                "  before:       submissions %s; pages %s\n"
                "  disk full:    submissions %s; pages %s\n"
                "  space freed:  submissions %s; pages %s\n"
                "  first 503 %.3f s after the disk was filled; first 200 %.3f s after space returned\n",
                Describe(before.Submissions).c_str(), Describe(before.Pages).c_str(),
                Describe(full.Submissions).c_str(), Describe(full.Pages).c_str(),
                Describe(after.Submissions).c_str(), Describe(after.Pages).c_str(),
                Seconds(firstRefusal - filled), Seconds(recovered - freed));
    EXPECT_GT(full.Submissions[503], 0) << "a full disk refuses results";
    for (const TLoad::TCounts& phase : {before, full, after}) {
        for (auto [status, count] : phase.Submissions)
            EXPECT_TRUE(status == 200 || status == 503) << count << " answers " << status;
        EXPECT_EQ(phase.Pages.size(), 1u) << "the page is served throughout: " << Describe(phase.Pages);
    }
    EXPECT_LT(recovered, freed + 5s) << "normal service once space returns";
    EXPECT_EQ(HttpRequest(server.Port(), "/healthz").Status, 200);
    EXPECT_EQ(server.Terminate(), 0);

    std::string check = database.Exec("PRAGMA integrity_check");
    EXPECT_EQ(check, "ok");
    std::set<std::string> acknowledged = load.Acknowledged();
    std::set<std::string> stored = StoredNames(database);
    EXPECT_EQ(stored, acknowledged);
    std::printf("  integrity_check: %s; 200 answers: %zu, entries stored: %zu\n", check.c_str(),
                acknowledged.size(), stored.size());
}

} // namespace
