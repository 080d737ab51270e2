// Data for the load run:
//   server_bench_data fill DB N     N results spread over the last 60 days, committed in batches
//                                   (DB: a SQLite file or a postgresql://... address)
//   server_bench_data urls FILE N   N distinct submission addresses as the game builds them

#include "menus/ScoreSubmission.h"
#include "server/store/StoreTarget.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <random>
#include <string>

namespace {

std::string NameFor(long i) {
    constexpr std::string_view digits = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string name = "b";
    do {
        name += digits[static_cast<std::size_t>(i % 36)];
        i /= 36;
    } while (i > 0);
    return name;
}

int Fill(const char* path, long count) {
    auto started = std::chrono::steady_clock::now();
    TStoreConfig config;
    config.Target = path;
    std::unique_ptr<IScoreDatabase> database = OpenScoreDatabase(config);
    IScoreDatabase& store = *database;
    std::mt19937 random(14);
    std::int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    std::promise<void> allDone;
    std::atomic<long> remaining{count};
    for (long i = 0; i < count; ++i) {
        TNewScore s;
        s.Name = "Player " + std::to_string(i % 1000);
        s.Score = static_cast<std::int32_t>(random() % 20000);
        s.Crew = "crew " + std::to_string(i % 50);
        s.Received = now - static_cast<std::int64_t>(random() % (60 * 86400));
        s.Client = "198.51." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256);
        s.Digest = static_cast<std::uint64_t>(i + 1);
        s.ResendSince = s.Received - 600;
        store.Submit(std::move(s), [&](TSubmitOutcome) {
            if (--remaining == 0)
                allDone.set_value();
        });
    }
    if (count > 0)
        allDone.get_future().get();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%ld entries in %.1f s (%llu commits)\n", count, seconds,
                static_cast<unsigned long long>(store.CommittedBatches()));
    return 0;
}

int Urls(const char* path, long count) {
    std::ofstream out(path);
    for (long i = 0; i < count; ++i)
        out << BuildScoreRequestUrl("", NameFor(i), static_cast<std::int32_t>(i % 30000), "bench") << '\n';
    return out ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "fill")
        return Fill(argv[2], std::atol(argv[3]));
    if (argc == 4 && std::string(argv[1]) == "urls")
        return Urls(argv[2], std::atol(argv[3]));
    std::fprintf(stderr, "usage: %s fill DB N | urls FILE N\n", argv[0]);
    return 2;
}
