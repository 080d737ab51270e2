// The service's cache of pages in front of a store: one rebuild per change, however many readers.

#include "server/service/ScoreService.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr std::string_view kPage = "/cgi/version.pl?prg=Spraydash&show&type=0";

// A store whose list takes a while to read and names the generation it was read at.
class TSlowStore final : public IScoreStore {
  public:
    void Submit(TNewScore, std::function<void(TSubmitOutcome)> done) override {
        done(TSubmitOutcome::Failed);
    }
    TScorePage Top(std::int64_t, std::int64_t, int) override {
        ++Reads;
        std::this_thread::sleep_for(50ms);
        TScorePage page;
        page.Total = 1;
        page.Entries.push_back({1, 1, "Gen" + std::to_string(Changes.load()), 100, "crew", 1772638220,
                                TVerification::Unverified, ""});
        return page;
    }
    std::int64_t RankOf(std::int32_t, std::int64_t) override { return 1; }
    std::int64_t CountShown(std::int64_t) override { return 1; }
    std::uint64_t Generation() override { return Changes.load(); }
    bool Healthy() override { return true; }

    std::atomic<int> Reads{0};
    std::atomic<std::uint64_t> Changes{0};
};

TServiceReply Get(TScoreService& service) {
    TServiceReply got;
    TServiceRequest request;
    request.Method = "GET";
    request.Target = kPage;
    request.Client = "192.0.2.1";
    service.Handle(request, [&got](TServiceReply r) { got = std::move(r); });
    return got;
}

TEST(ServiceCache, AChangeIsReadOnceHoweverManyReadersArrive) {
    TSlowStore store;
    TMetrics metrics;
    TScoreService service(store, metrics, {});
    ASSERT_NE(Get(service).Body->find(">Gen0<"), std::string::npos);
    EXPECT_EQ(store.Reads.load(), 1);
    EXPECT_NE(Get(service).Body->find(">Gen0<"), std::string::npos);
    EXPECT_EQ(store.Reads.load(), 1) << "nothing changed: the copy";

    store.Changes = 1;
    std::vector<std::thread> readers;
    std::atomic<int> served{0};
    for (int i = 0; i < 16; ++i)
        readers.emplace_back([&] { served += Get(service).Status == 200; });
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(served.load(), 16);
    EXPECT_EQ(store.Reads.load(), 2) << "one rebuild; the others had the copy from before the change";
    EXPECT_NE(Get(service).Body->find(">Gen1<"), std::string::npos);
    EXPECT_EQ(store.Reads.load(), 2);
}

} // namespace
