#include "server/ServerApp.h"

#include "server/StoreTarget.h"

#include <thread>

TScoreServerApp::TScoreServerApp(TServerConfig config) {
    TStoreConfig store;
    store.Target = config.Db;
    store.ReadTarget = config.DbRead;
    store.ReadConnections = config.Http.Threads > 0
                                ? config.Http.Threads
                                : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    m_store = OpenScoreDatabase(store);
    config.Service.MetricsSeparate = !config.Http.MetricsAddress.empty();
    m_service = std::make_unique<TScoreService>(*m_store, m_metrics, std::move(config.Service));
    m_http = std::make_unique<THttpServer>(std::move(config.Http), *m_service, m_metrics);
}

TScoreServerApp::~TScoreServerApp() {
    Stop();
    // The store commits what is still queued and answers it into the stopped server, whose
    // connections are then dropped with it.
    m_store.reset();
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
