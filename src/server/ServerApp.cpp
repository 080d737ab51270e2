#include "server/ServerApp.h"

#include "server/Log.h"
#include "server/ProcessMetrics.h"
#include "server/Spool.h"
#include "server/StoreTarget.h"

#include <filesystem>
#include <thread>

TScoreServerApp::TScoreServerApp(TServerConfig config) {
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
    m_service =
        std::make_unique<TScoreService>(*m_store, m_metrics, std::move(config.Service), m_spool.get());
    m_http = std::make_unique<THttpServer>(std::move(config.Http), *m_service, m_metrics);
}

TScoreServerApp::~TScoreServerApp() {
    Stop();
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
