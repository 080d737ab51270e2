#pragma once

#include <functional>
#include <string>

class THttpClient;

// How a score request ended, with a few words for the player when it did not go through.
struct TScoreRequestOutcome {
    enum class TResult { Sent, Failed, Abandoned };
    TResult Result = TResult::Failed;
    std::string Reason; // when Failed: "the server did not answer", …

    bool Sent() const { return Result == TResult::Sent; }
};

// Runs client.Get(url) once, on a fresh connection, on a worker thread, and calls whileWaiting
// on the calling thread about every 15 ms until it has ended, so the caller's window stays alive.
// The request runs on a client of its own with client's settings and cookies (the cookies come
// back once it has ended), so that whileWaiting can give up waiting by returning false (the game
// is being ended): the request is then left to finish or fail by itself, and may still reach the
// server. Every failure of the request is swallowed into the outcome. An exception thrown by
// whileWaiting is passed on once the request has ended.
TScoreRequestOutcome RunScoreRequest(THttpClient& client, const std::string& url,
                                     const std::function<bool()>& whileWaiting);

// The few words that tell a player why a request failed, from what the client raised.
std::string DescribeRequestFailure(const std::exception& error);
