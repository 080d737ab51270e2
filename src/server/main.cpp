// spraydash-scores: the world score server, and its operator's commands.

#include "app/ReplayVerify.h"
#include "server/Admin.h"
#include "server/BuildInfo.h"
#include "server/http/HttpServer.h"
#include "server/Log.h"
#include "server/ServerApp.h"
#include "server/store/StoreTarget.h"

#include <CLI/CLI.hpp>

#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <iostream>

namespace {

constexpr int kDescriptorsBesideConnections = 64; // database files, logs, the listener

std::chrono::milliseconds Millis(double seconds) {
    return std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000.0));
}

// Raises the open-file limit as far as allowed and keeps the connection cap below it.
std::size_t FitConnections(std::size_t wanted) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return wanted;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > wanted + kDescriptorsBesideConnections)
        return wanted;
    auto fitted = static_cast<std::size_t>(limit.rlim_cur > kDescriptorsBesideConnections * 2
                                               ? limit.rlim_cur - kDescriptorsBesideConnections
                                               : 64);
    Log(TLogLevel::Warning, "open-file limit " + std::to_string(limit.rlim_cur) + ": at most " +
                                std::to_string(fitted) + " connections");
    return fitted;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"World high-score server for Spraydash: stores the results the game sends and serves the\n"
                 "world high-score page, a JSON API, /healthz and /metrics.",
                 "spraydash-scores"};
    app.fallthrough();
    app.require_subcommand(0, 1);

    TServerConfig config;
    std::string listen = "127.0.0.1:8080";
    double requestTimeout = 10;
    double idleTimeout = 30;
    std::size_t maxConnections = config.Http.MaxConnections;

    app.add_option("--listen", listen, "Address and port to serve on (host:port, [v6]:port)")
        ->envname("SPRAYDASH_SCORES_LISTEN")
        ->type_name("HOST:PORT")
        ->capture_default_str();
    app.add_option("--db", config.Db,
                   "SQLite database file (created when missing), or a PostgreSQL database that several\n"
                   "servers share: postgresql://user@host:port/database, or libpq's key/value form\n"
                   "\"host=... dbname=... user=...\" (the password best in PGPASSWORD or ~/.pgpass, as a\n"
                   "command line is visible to everyone on the machine; it is never shown in a message)")
        ->envname("SPRAYDASH_SCORES_DB")
        ->type_name("FILE|URL")
        ->capture_default_str();
    app.add_option("--db-read", config.DbRead,
                   "PostgreSQL only: a read-only database (a replica) for the pages and the API")
        ->envname("SPRAYDASH_SCORES_DB_READ")
        ->type_name("URL");
    app.add_option("--threads", config.Http.Threads, "Threads serving requests (0: one per core)")
        ->capture_default_str()
        ->check(CLI::Range(0, 256));
    app.add_option("--rate-limit", config.Service.RateLimitPerMinute,
                   "Results accepted per sender address and minute (0: no limit)")
        ->capture_default_str()
        ->check(CLI::Range(0, 1000000));
    app.add_option("--trusted-proxy", config.Http.TrustedProxies,
                   "Address of a reverse proxy whose X-Forwarded-For names the real sender (repeatable;\n"
                   "in the environment, separated by commas)")
        ->envname("SPRAYDASH_SCORES_TRUSTED_PROXIES")
        ->delimiter(',')
        ->type_name("ADDRESS");
    app.add_option("--score-ceiling", config.Service.ScoreCeiling,
                   "Results above this are stored but held until an operator shows them")
        ->capture_default_str();
    app.add_option("--max-connections", maxConnections,
                   "Open client connections at most. Past it, and past the per-address cap, the\n"
                   "connection idle the longest is closed to make room; only when none is idle is\n"
                   "the newcomer answered 503. The last tenth is kept for addresses holding at most\n"
                   "4 connections")
        ->capture_default_str()
        ->check(CLI::Range(std::size_t{1}, std::size_t{1000000}));
    app.add_option("--max-connections-per-address", config.Http.MaxConnectionsPerAddress,
                   "Open connections one client address may hold (trusted proxies: no cap;\n"
                   "0: a sixteenth of --max-connections, at least 8)")
        ->type_name("N")
        ->capture_default_str()
        ->check(CLI::Range(std::size_t{0}, std::size_t{1000000}));
    std::string metricsListen;
    app.add_option("--metrics-listen", metricsListen,
                   "A separate address for /metrics (and /healthz), e.g. 127.0.0.1:9090; /metrics is\n"
                   "then not served on --listen")
        ->envname("SPRAYDASH_SCORES_METRICS_LISTEN")
        ->type_name("HOST:PORT");
    app.add_option("--spool", config.Spool,
                   "File keeping results while the database cannot take them (synced before the 200,\n"
                   "stored once it can); default: beside the SQLite file (FILE.spool), or\n"
                   "spraydash-scores.spool in the working directory with PostgreSQL")
        ->envname("SPRAYDASH_SCORES_SPOOL")
        ->type_name("FILE");
    app.add_option("--spool-limit", config.SpoolLimit,
                   "Results the spool keeps at most; past it they are answered 503 (0: no spool)")
        ->capture_default_str()
        ->check(CLI::Range(std::size_t{0}, std::size_t{100000000}));
    config.Verify.GameData = DefaultGameData();
    app.add_option("--game-data", config.Verify.GameData,
                   "Folder holding the race's data (Res/Res3.dxg) that uploaded replays are re-run on")
        ->envname("SPRAYDASH_SCORES_GAME_DATA")
        ->type_name("DIR")
        ->capture_default_str();
    app.add_flag("--verified-only", config.Service.VerifiedOnly,
                 "List only results whose replay the server has re-run and found to match, on the page\n"
                 "and in the API (recommended for a public server)")
        ->envname("SPRAYDASH_SCORES_VERIFIED_ONLY");
    bool noReplays = false;
    app.add_flag("--no-replays", noReplays,
                 "Take no replays: POST /api/v1/replays answers 404, as a server from before replays");
    app.add_option("--verify-workers", config.Verify.Workers,
                   "Threads re-running replays (0: keep them queued)")
        ->capture_default_str()
        ->check(CLI::Range(0, 64));
    app.add_option("--verify-queue", config.Verify.QueueCap,
                   "Replays waiting for a worker at most; past it uploads are answered 503")
        ->capture_default_str()
        ->check(CLI::Range(std::size_t{1}, std::size_t{1000000}));
    app.add_option("--verify-max-ticks", config.Verify.MaxTicks,
                   "Longest race re-run, in 15 ms ticks; longer replays are answered 422")
        ->capture_default_str()
        ->check(CLI::Range(1u, 5760000u));
    double verifySeconds = 10;
    app.add_option("--verify-max-seconds", verifySeconds,
                   "Time one re-run may take; a replay that takes longer fails verification")
        ->type_name("SECONDS")
        ->capture_default_str()
        ->check(CLI::Range(0.01, 3600.0));
    app.add_option("--replay-rate-limit", config.Uploads.PerMinute,
                   "Replays accepted per sender address and minute (0: no limit)")
        ->capture_default_str()
        ->check(CLI::Range(0, 1000000));
    // What this build verifies, read from the game data when --help is shown.
    app.footer([&config] {
        try {
            TRaceBuild build = RaceBuildOf(config.Verify.GameData);
            char hash[17];
            std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(build.DataHash));
            return "Verifies replays of race version " + build.GameVersion + " with data hash " + hash +
                   " (from " + config.Verify.GameData + "); /api/v1/version says the same.";
        } catch (const std::exception& e) {
            return "Verifies replays of race version " + std::string(kServerVersion) +
                   "; its data cannot be read now: " + e.what();
        }
    });
    TLogOptions logOptions;
    std::string logLevel = "info";
    app.add_option("--log-level", logLevel, "debug, info, warning or error")
        ->capture_default_str()
        ->check(CLI::IsMember({"debug", "info", "warning", "error"}));
    app.add_option("--log-file", logOptions.File,
                   "Write the log to this file rather than standard error (reopened on SIGHUP)")
        ->envname("SPRAYDASH_SCORES_LOG_FILE")
        ->type_name("FILE");
    app.add_option("--access-log", logOptions.AccessFile,
                   "Write one JSON line per answered request to this file (reopened on SIGHUP)")
        ->envname("SPRAYDASH_SCORES_ACCESS_LOG")
        ->type_name("FILE");
    app.set_version_flag("--version", std::string(kServerVersionText));
    app.add_option("--request-timeout", requestTimeout,
                   "Seconds a client has for sending a request head and for taking the answer")
        ->type_name("SECONDS")
        ->capture_default_str()
        ->check(CLI::Range(0.05, 3600.0));
    app.add_option("--idle-timeout", idleTimeout, "Seconds a kept-alive connection may wait between requests")
        ->type_name("SECONDS")
        ->capture_default_str()
        ->check(CLI::Range(0.05, 3600.0));

    CLI::App* admin = app.add_subcommand("admin", "Operator commands on the database (safe while serving)");
    admin->require_subcommand(1);
    std::string stateName = "all";
    std::int64_t limit = 50;
    CLI::App* list = admin->add_subcommand("list", "List entries, newest first");
    list->add_option("--state", stateName, "shown, held (above the score ceiling), hidden or all")
        ->capture_default_str()
        ->check(CLI::IsMember({"shown", "held", "hidden", "all"}));
    list->add_option("--limit", limit, "Entries at most (0: all)")->capture_default_str();
    std::vector<std::int64_t> ids;
    CLI::App* hide = admin->add_subcommand("hide", "Take entries off the world list (kept in the database)");
    hide->add_option("ids", ids, "Entry ids")->required();
    CLI::App* show =
        admin->add_subcommand("show", "Put entries (back) on the world list; approves held ones");
    show->add_option("ids", ids, "Entry ids")->required();
    CLI::App* remove = admin->add_subcommand("delete", "Delete entries for good");
    remove->add_option("ids", ids, "Entry ids")->required();
    std::string output;
    std::string format = "csv";
    CLI::App* exportCsv = admin->add_subcommand(
        "export", "Write every entry, oldest first: as CSV for a spreadsheet (texts it would run as a\n"
                  "formula get a leading '), or as JSON lines, exactly as stored, for admin import");
    exportCsv->add_option("--output,-o", output, "File to write (default: standard output)");
    exportCsv->add_option("--format", format, "csv or jsonl")
        ->capture_default_str()
        ->check(CLI::IsMember({"csv", "jsonl"}));
    std::string input;
    std::string replayStatus = "all";
    CLI::App* replays =
        admin->add_subcommand("replays", "List uploaded replays, newest first, with their status and "
                                         "reason (failed, copy, other version)");
    replays->add_option("--status", replayStatus, "queued, verified, failed, copy, other-version or all")
        ->capture_default_str()
        ->check(CLI::IsMember({"queued", "verified", "failed", "copy", "other-version", "all"}));
    replays->add_option("--limit", limit, "Replays at most (0: all)")->capture_default_str();
    CLI::App* import = admin->add_subcommand(
        "import", "Add every entry of a JSON-lines export (admin export --format jsonl), all or none;\n"
                  "the entries get new ids");
    import->add_option("file", input, "File to read (- for standard input)")->required();

    CLI11_PARSE(app, argc, argv);

    try {
        if (admin->parsed()) {
            TStoreConfig options;
            options.Target = config.Db;
            options.ReadConnections = 1;
            options.Serving = false;
            options.CreateMissing = import->parsed();
            std::unique_ptr<IScoreDatabase> database = OpenScoreDatabase(options);
            IScoreAdmin& store = *database;
            if (list->parsed())
                return AdminList(store, ParseEntryState(stateName), limit, std::cout);
            if (replays->parsed()) {
                auto* kept = dynamic_cast<IReplayStore*>(database.get());
                if (!kept) {
                    std::cerr << "spraydash-scores: this store keeps no replays\n";
                    return 1;
                }
                return AdminReplays(*kept, ParseReplayStatus(replayStatus), limit, std::cout);
            }
            if (hide->parsed())
                return AdminSetState(store, ids, TEntryState::Hidden, std::cout, std::cerr);
            if (show->parsed())
                return AdminSetState(store, ids, TEntryState::Shown, std::cout, std::cerr);
            if (remove->parsed())
                return AdminDelete(store, ids, std::cout, std::cerr);
            if (import->parsed()) {
                if (input == "-")
                    return AdminImport(store, std::cin, "standard input", std::cout, std::cerr);
                std::ifstream file(input, std::ios::binary);
                if (!file) {
                    std::cerr << "spraydash-scores: cannot read " << input << "\n";
                    return 1;
                }
                return AdminImport(store, file, input, std::cout, std::cerr);
            }
            TExportFormat exportFormat = format == "jsonl" ? TExportFormat::JsonLines : TExportFormat::Csv;
            if (output.empty())
                return AdminExport(store, std::cout, exportFormat);
            std::ofstream file(output, std::ios::binary);
            if (!file) {
                std::cerr << "spraydash-scores: cannot write " << output << "\n";
                return 1;
            }
            AdminExport(store, file, exportFormat);
            file.close();
            if (!file) {
                std::cerr << "spraydash-scores: writing " << output << " failed\n";
                return 1;
            }
            return 0;
        }

        ParseLogLevel(logLevel, logOptions.Level);
        ConfigureLog(logOptions);
        config.Replays = !noReplays;
        config.Verify.MaxTime = Millis(verifySeconds);
        auto [host, port] = ParseListenAddress(listen);
        config.Http.Address = host;
        config.Http.Port = port;
        config.Http.RequestTimeout = Millis(requestTimeout);
        config.Http.IdleTimeout = Millis(idleTimeout);
        config.Http.MaxConnections = FitConnections(maxConnections);
        if (!metricsListen.empty()) {
            auto [metricsHost, metricsPort] = ParseListenAddress(metricsListen);
            config.Http.MetricsAddress = metricsHost;
            config.Http.MetricsPort = metricsPort;
        }
        std::string db = RedactedTarget(config.Db);
        TScoreServerApp server(std::move(config));
        Log(TLogLevel::Info,
            "listening on " + server.LocalAddress() + ", database " + db +
                (server.MetricsPort() ? ", metrics on port " + std::to_string(server.MetricsPort()) : ""));
        std::printf("spraydash-scores: listening on %s, database %s\n", server.LocalAddress().c_str(),
                    db.c_str());
        std::printf("spraydash-scores: world list at http://%s/cgi/version.pl?prg=Spraydash&show&type=0\n",
                    server.LocalAddress().c_str());
        if (server.MetricsPort() != 0)
            std::printf("spraydash-scores: metrics at http://%s:%u/metrics\n",
                        metricsListen.substr(0, metricsListen.rfind(':')).c_str(),
                        static_cast<unsigned>(server.MetricsPort()));
        std::fflush(stdout);
        server.Run(true);
        Log(TLogLevel::Info, "stopped");
        return 0;
    } catch (const std::exception& e) {
        if (admin->parsed())
            std::fprintf(stderr, "spraydash-scores: %s\n", e.what());
        else
            Log(TLogLevel::Error, e.what());
        return 1;
    }
}
