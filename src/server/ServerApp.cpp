#include "server/ServerApp.h"

#include "server/Log.h"
#include "server/ProcessMetrics.h"
#include "server/http/HttpServer.h"
#include "server/store/Spool.h"
#include "server/store/StoreTarget.h"

#include <chrono>
#include <filesystem>
#include <thread>

TScoreServerApp::TScoreServerApp(TServerConfig config) {
    CheckListenAddresses(config.Http);
    TStoreConfig store;
    store.Target = config.Db;
    store.ReadTarget = config.DbRead;
    store.ReadConnections = config.Http.Threads > 0
                                ? config.Http.Threads
                                : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    m_store = OpenScoreDatabase(store);
    if (config.SpoolLimit > 0) {
        TSpoolOptions spool;
        spool.Path = !config.Spool.empty()         ? config.Spool
                     : IsPostgresTarget(config.Db) ? std::string("spraydash-scores.spool")
                                                   : config.Db + ".spool";
        spool.MaxEntries = config.SpoolLimit;
        std::error_code ec;
        spool.Owner = IsPostgresTarget(config.Db) ? RedactedTarget(config.Db)
                                                  : std::filesystem::weakly_canonical(config.Db, ec).string();
        try {
            m_spool = std::make_unique<TSpool>(spool, *m_store);
        } catch (const EStoreError& e) {
            // Serving without it only loses what it would have kept during an outage.
            Log(TLogLevel::Warning,
                std::string(e.what()) + "; results that cannot be stored are answered 503");
        }
    }
    if (m_spool) {
        TSpool* kept = m_spool.get();
        m_metrics.AddSource([kept](std::string& out) {
            out += "# HELP spraydash_spool_entries Results waiting in the local spool for the store.\n"
                   "# TYPE spraydash_spool_entries gauge\nspraydash_spool_entries " +
                   std::to_string(kept->Held()) + "\n";
        });
    }
    IScoreDatabase* database = m_store.get();
    std::string kind = IsPostgresTarget(config.Db) ? "postgresql" : "sqlite";
    m_metrics.AddSource([database, kind](std::string& out) {
        RenderBuildInfo(out, kind);
        RenderProcessMetrics(out);
        RenderStoreMetrics(out, database->Figures());
    });
    config.Service.MetricsSeparate = !config.Http.MetricsAddress.empty();
    auto* replays = dynamic_cast<IReplayStore*>(m_store.get());
    if (config.Replays && !replays) {
        Log(TLogLevel::Warning,
            "this store keeps no replays: uploads are answered 404 and nothing is verified");
    }
    if (config.Service.VerifiedOnly && (!config.Replays || !replays))
        throw std::runtime_error("--verified-only needs replays, which this server does not take");
    if (config.Replays && replays) {
        config.Verify.ScoreCeiling = config.Service.ScoreCeiling;
        if (config.Verify.GameData.empty())
            config.Verify.GameData = DefaultGameData();
        m_verifier = std::make_unique<TReplayVerifier>(*replays, config.Verify);
        std::function<std::int64_t()> clock = config.Service.Clock, steady = config.Service.SteadyMs;
        if (!clock)
            clock = [] {
                return std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                    .count();
            };
        if (!steady)
            steady = [] {
                return std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                    .count();
            };
        m_uploads = std::make_unique<TReplayUploads>(*replays, *m_verifier, config.Uploads, clock, steady);
        TReplayVerifier* verifier = m_verifier.get();
        m_metrics.AddSource(
            [verifier](std::string& out) { RenderVerifierMetrics(out, verifier->Figures()); });
        Log(TLogLevel::Info, "verifying replays of race version " + verifier->RaceVersion() +
                                 " on the data in " + config.Verify.GameData);
    }
    m_service =
        std::make_unique<TScoreService>(*m_store, m_metrics, std::move(config.Service), m_spool.get());
    if (m_uploads) {
        m_service->TakeReplays(*m_uploads, *replays);
        m_verifier->Resume();
    }
    m_http = std::make_unique<THttpServer>(std::move(config.Http), *m_service, m_metrics);
}

std::string DefaultGameData() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path installed = self.parent_path().parent_path() / "share" / "spraydash-scores";
    if (!ec && std::filesystem::exists(installed / "Res" / "Res3.dxg", ec))
        return installed.string();
    if (std::filesystem::exists(std::filesystem::path(SPRAYDASH_BUILD_DATA) / "Res" / "Res3.dxg", ec))
        return SPRAYDASH_BUILD_DATA;
    return ec ? std::string("share/spraydash-scores") : installed.string();
}

TScoreServerApp::~TScoreServerApp() {
    Stop();
    // The workers finish the replays they run; the queued ones wait in the store.
    m_verifier.reset();
    // The spool stops handing over first; the store then commits what is still queued and
    // answers it (into the spool, should that fail) and the stopped server, whose connections
    // are then dropped with it.
    if (m_spool)
        m_spool->Stop();
    m_store.reset();
    m_spool.reset();
    m_http.reset();
}

std::string TScoreServerApp::LocalAddress() const {
    return m_http->LocalAddress();
}

unsigned short TScoreServerApp::Port() const {
    return m_http->Port();
}

unsigned short TScoreServerApp::MetricsPort() const {
    return m_http->MetricsPort();
}

void TScoreServerApp::Run(bool stopOnSignals) {
    m_http->Run(stopOnSignals);
}

void TScoreServerApp::Start() {
    m_http->Start();
}

void TScoreServerApp::Stop() {
    if (m_http)
        m_http->Stop();
}
