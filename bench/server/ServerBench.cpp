// What one request costs inside the server, without the network.

#include "menus/ScoreSubmission.h"
#include "server/service/JsonApi.h"
#include "server/service/Period.h"
#include "server/service/ScoreCodec.h"
#include "server/store/SqliteStore.h"
#include "server/service/WorldPage.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <future>
#include <random>

#include <unistd.h>

namespace {

constexpr long kEntries = 100000;

TScorePage SamplePage() {
    TScorePage page;
    page.Total = kEntries;
    for (int i = 0; i < 100; ++i)
        page.Entries.push_back({i + 1, i + 1, "Player <" + std::to_string(i) + ">", 20000 - i * 7,
                                "Lake crew", 1772638220,
                                i % 2 == 0 ? TVerification::Verified : TVerification::Unverified,
                                i % 2 == 0 ? std::string(40, 'a') : std::string()}); // half with a replay
    return page;
}

// A database of kEntries results spread over 60 days, made once per run in the temporary folder.
class TBigStore {
  public:
    TBigStore()
        : m_path((std::filesystem::temp_directory_path() /
                  ("spraydash-bench-" + std::to_string(::getpid()) + ".db"))
                     .string()) {
        TSqliteOptions options;
        options.Path = m_path;
        m_store = std::make_unique<TSqliteStore>(options);
        std::mt19937 random(14);
        std::promise<void> done;
        std::atomic<long> remaining{kEntries};
        for (long i = 0; i < kEntries; ++i) {
            TNewScore s;
            s.Name = "Player " + std::to_string(i % 1000);
            s.Score = static_cast<std::int32_t>(random() % 20000);
            s.Crew = "crew";
            s.Received = kNow - static_cast<std::int64_t>(random() % (60 * 86400));
            s.Client = "198.51.100.1";
            s.Digest = static_cast<std::uint64_t>(i + 1);
            m_store->Submit(std::move(s), [&](TSubmitOutcome) {
                if (--remaining == 0)
                    done.set_value();
            });
        }
        done.get_future().get();
    }
    ~TBigStore() {
        m_store.reset();
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(m_path + suffix);
    }
    TSqliteStore& Store() { return *m_store; }
    static constexpr std::int64_t kNow = 1772638220;

  private:
    std::string m_path;
    std::unique_ptr<TSqliteStore> m_store;
};

TBigStore& BigStore() {
    static TBigStore store;
    return store;
}

void BM_TopOfAll(benchmark::State& state) {
    TSqliteStore& store = BigStore().Store();
    for (auto _ : state)
        benchmark::DoNotOptimize(store.Top(0, state.range(0), 100));
}
BENCHMARK(BM_TopOfAll)->Arg(0)->Arg(50000)->Unit(benchmark::kMicrosecond);

void BM_TopOfToday(benchmark::State& state) {
    TSqliteStore& store = BigStore().Store();
    std::int64_t today = PeriodStart(TPeriod::Today, TBigStore::kNow);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.Top(today, 0, 100));
}
BENCHMARK(BM_TopOfToday)->Unit(benchmark::kMicrosecond);

void BM_RankOf(benchmark::State& state) {
    TSqliteStore& store = BigStore().Store();
    for (auto _ : state)
        benchmark::DoNotOptimize(store.RankOf(10000, 0));
}
BENCHMARK(BM_RankOf)->Unit(benchmark::kMicrosecond);

void BM_DecodeAndParse(benchmark::State& state) {
    std::string url = BuildScoreRequestUrl("", "Ann|=Lee 7", 123456, "Lake crew");
    std::string symbols = url.substr(ScoreRequestPath.size());
    std::string error;
    for (auto _ : state) {
        auto bytes = DecodeSymbols(symbols, error);
        auto parsed = ParseScorePayload(*bytes, error);
        benchmark::DoNotOptimize(parsed);
    }
}
BENCHMARK(BM_DecodeAndParse);

void BM_RenderPage(benchmark::State& state) {
    TWorldPage page;
    TWorldPageView view;
    view.Scores = SamplePage();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string html = page.Render(view);
        bytes = html.size();
        benchmark::DoNotOptimize(html);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_RenderPage);

void BM_RenderJson(benchmark::State& state) {
    TScorePage page = SamplePage();
    for (auto _ : state)
        benchmark::DoNotOptimize(ScoresJson(TPeriod::All, 0, 0, 100, page));
}
BENCHMARK(BM_RenderJson);

} // namespace

BENCHMARK_MAIN();
