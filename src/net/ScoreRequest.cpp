#include "net/ScoreRequest.h"

#include "net/HttpClient.h"
#include "net/NetErrors.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {
constexpr std::chrono::milliseconds PumpInterval{15};

// What the worker owns: everything it touches, so that it can outlive a caller that stopped waiting.
struct TRequestJob {
    THttpClient Client;
    std::string Url;
    std::mutex Mutex;
    std::condition_variable Done;
    bool Finished = false;
    TScoreRequestOutcome Outcome;
};
} // namespace

std::string DescribeRequestFailure(const std::exception& error) {
    if (const auto* http = dynamic_cast<const EHttpError*>(&error)) {
        return "the server answered " + std::to_string(http->Status());
    }
    if (const auto* socket = dynamic_cast<const ESocketError*>(&error)) {
        switch (socket->Kind()) {
        case ESocketError::TKind::Lookup:
            return "the server was not found";
        case ESocketError::TKind::Connect:
            return "the server could not be reached";
        case ESocketError::TKind::Timeout:
            return "the server did not answer";
        case ESocketError::TKind::Transfer:
            return "the connection broke off";
        case ESocketError::TKind::Abandoned:
            return "the request was given up";
        }
    }
    if (dynamic_cast<const EHttpProtocolError*>(&error)) {
        return "the server's answer was not understood";
    }
    return "the request failed";
}

TScoreRequestOutcome RunScoreRequest(THttpClient& client, const std::string& url,
                                     const std::function<bool()>& whileWaiting) {
    // A submission must not be repeated, so it cannot fall back on a second try when a kept
    // connection turns out dead (a server's idle timeout, a router forgetting it): it goes out
    // on a connection of its own.
    client.CloseIdleConnection();
    auto job = std::make_shared<TRequestJob>();
    job->Client.TakeSettingsFrom(client);
    job->Url = url;
    try {
        std::thread([job] {
            TScoreRequestOutcome outcome;
            try {
                job->Client.Get(job->Url);
                outcome.Result = TScoreRequestOutcome::TResult::Sent;
            } catch (const std::exception& e) {
                // The submission is silent towards the game's flow: a failed request only means the
                // score stays local.
                outcome.Reason = DescribeRequestFailure(e);
            } catch (...) {
                outcome.Reason = DescribeRequestFailure(std::runtime_error(""));
            }
            std::lock_guard lock(job->Mutex);
            job->Outcome = outcome;
            job->Finished = true;
            job->Done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return TScoreRequestOutcome{TScoreRequestOutcome::TResult::Failed, "the request could not start"};
    }

    std::exception_ptr callbackError;
    for (;;) {
        {
            std::unique_lock lock(job->Mutex);
            if (job->Done.wait_for(lock, PumpInterval, [&] { return job->Finished; })) {
                break;
            }
        }
        if (whileWaiting && !callbackError) {
            try {
                if (!whileWaiting()) {
                    return TScoreRequestOutcome{TScoreRequestOutcome::TResult::Abandoned, {}};
                }
            } catch (...) {
                callbackError = std::current_exception();
            }
        }
    }
    if (callbackError) {
        std::rethrow_exception(callbackError);
    }
    std::lock_guard lock(job->Mutex);
    client.Cookies() = job->Client.Cookies();
    return job->Outcome;
}
