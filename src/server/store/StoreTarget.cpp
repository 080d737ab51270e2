#include "server/store/StoreTarget.h"

#include "server/store/DatabaseAddress.h"

#include "server/store/PostgresStore.h"
#include "server/store/SqliteStore.h"

#include <filesystem>

std::unique_ptr<IScoreDatabase> OpenScoreDatabase(const TStoreConfig& config) {
    if (IsPostgresTarget(config.Target)) {
        CheckPostgresTarget(config.Target);
        if (!config.ReadTarget.empty())
            CheckPostgresTarget(config.ReadTarget);
        TPostgresOptions options;
        options.Target = config.Target;
        options.ReadTarget = config.ReadTarget;
        options.ReadConnections = config.ReadConnections;
        options.Writer = config.Serving;
        options.Listen = config.Serving;
        return std::make_unique<TPostgresStore>(std::move(options));
    }
    if (!config.ReadTarget.empty())
        throw EStoreError("a separate database for reading (" + RedactedTarget(config.ReadTarget) +
                          ") needs a PostgreSQL database, not the file " + config.Target);
    if (!config.Serving && !config.CreateMissing && !std::filesystem::exists(config.Target))
        throw EStoreError(config.Target + ": no such database");
    TSqliteOptions options;
    options.Path = config.Target;
    options.ReadConnections = config.ReadConnections;
    options.Writer = config.Serving;
    return std::make_unique<TSqliteStore>(std::move(options));
}
