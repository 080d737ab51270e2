#pragma once

#include "server/http/HttpServer.h"
#include "server/Metrics.h"
#include "server/service/ReplayUpload.h"
#include "server/service/ReplayVerifier.h"
#include "server/service/ScoreService.h"

#include <memory>
#include <string>

class IScoreDatabase;
class TSpool;

struct TServerConfig {
    // A SQLite file, or a postgresql://... address.
    std::string Db = "scores.db";
    // PostgreSQL only: a read-only database (a replica) for the pages and the API.
    std::string DbRead;
    // Where results wait while the database is away: empty for beside the SQLite file
    // ("<file>.spool") or, with PostgreSQL, "spraydash-scores.spool" in the working directory.
    std::string Spool;
    // Results the spool keeps at most; 0: no spool (such results are answered 503).
    std::size_t SpoolLimit = 100000;
    THttpOptions Http;
    TServiceOptions Service;
    // Replays: taken and re-run unless off; the game data must then be readable.
    bool Replays = true;
    TVerifierOptions Verify;
    TUploadOptions Uploads;
};

// Where the race's data is looked for when --game-data is not given: installed beside the
// program (<prefix>/share/spraydash-scores), else the build's own Data folder.
std::string DefaultGameData();

// The whole server: the store, the service and the HTTP front, taken down in the order that
// lets every accepted result finish its commit.
class TScoreServerApp {
  public:
    // Opens the database and starts listening; throws EStoreError or std::runtime_error.
    explicit TScoreServerApp(TServerConfig config);
    ~TScoreServerApp();
    TScoreServerApp(const TScoreServerApp&) = delete;
    TScoreServerApp& operator=(const TScoreServerApp&) = delete;

    std::string LocalAddress() const;
    unsigned short Port() const;
    // The port of --metrics-listen; 0 without one.
    unsigned short MetricsPort() const;
    // Serves until SIGINT or SIGTERM (when asked) and then closes.
    void Run(bool stopOnSignals);
    // Serves on background threads until Stop() or destruction.
    void Start();
    void Stop();

    TMetrics& Metrics() { return m_metrics; }
    IScoreDatabase& Store() { return *m_store; }
    // Null without one.
    TSpool* Spool() { return m_spool.get(); }
    // Null when replays are not taken.
    TReplayVerifier* Verifier() { return m_verifier.get(); }

  private:
    TMetrics m_metrics;
    std::unique_ptr<IScoreDatabase> m_store;
    std::unique_ptr<TSpool> m_spool;
    std::unique_ptr<TReplayVerifier> m_verifier;
    std::unique_ptr<TReplayUploads> m_uploads;
    std::unique_ptr<TScoreService> m_service;
    std::unique_ptr<THttpServer> m_http;
};
