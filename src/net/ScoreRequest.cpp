#include "net/ScoreRequest.h"

#include "net/HttpClient.h"

#include <chrono>
#include <future>
#include <system_error>
#include <thread>

namespace {
constexpr std::chrono::milliseconds PumpInterval{15};
}

bool RunScoreRequest(THttpClient& client, const std::string& url, const std::function<void()>& whileWaiting) {
    // A submission must not be repeated, so it cannot fall back on a second try when a kept
    // connection turns out dead (a server's idle timeout, a router forgetting it): it goes out
    // on a connection of its own.
    client.CloseIdleConnection();
    std::promise<bool> outcome;
    std::future<bool> done = outcome.get_future();
    std::thread worker;
    try {
        worker = std::thread([&client, &url, &outcome] {
            bool ok = false;
            try {
                client.Get(url);
                ok = true;
            } catch (...) {
                // The submission is silent: a failed request only means the score stays local.
            }
            outcome.set_value(ok);
        });
    } catch (const std::system_error&) {
        return false;
    }

    std::exception_ptr callbackError;
    while (done.wait_for(PumpInterval) != std::future_status::ready) {
        if (whileWaiting && !callbackError) {
            try {
                whileWaiting();
            } catch (...) {
                callbackError = std::current_exception();
            }
        }
    }
    worker.join();
    if (callbackError)
        std::rethrow_exception(callbackError);
    return done.get();
}
