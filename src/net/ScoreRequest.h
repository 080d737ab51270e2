#pragma once

#include <functional>
#include <string>

class THttpClient;

// Runs client.Get(url) once, on a fresh connection, on a worker thread, and calls whileWaiting
// on the calling thread about every 15 ms until it has ended, so the caller's window stays alive.
// Every failure of the request is swallowed; the result says whether it succeeded.
// An exception thrown by whileWaiting is passed on once the request has ended.
bool RunScoreRequest(THttpClient& client, const std::string& url, const std::function<void()>& whileWaiting);
