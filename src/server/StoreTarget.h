#pragma once

#include "server/ScoreStore.h"

#include <memory>
#include <string>
#include <string_view>

// Where the scores live, as the operator names it: a PostgreSQL address (postgresql://... or
// postgres://..., or libpq's key/value form "host=... dbname=..." starting with one of its
// parameter names) or else the path of a SQLite file.
bool IsPostgresTarget(std::string_view target);
// Throws EStoreError (the password hidden) for a key/value string libpq would not take.
void CheckPostgresTarget(std::string_view target);

// The target fit for logs and errors: a password in it is replaced by "***".
std::string RedactedTarget(std::string_view target);

// A PostgreSQL address that gives up connecting after seconds, unless it says otherwise.
std::string WithConnectTimeout(std::string target, int seconds);

struct TStoreConfig {
    std::string Target = "scores.db";
    // PostgreSQL only: where page reads go (a read-only replica).
    std::string ReadTarget;
    int ReadConnections = 2;
    // False for the operator's commands: nothing is submitted, and nobody listens for changes.
    bool Serving = true;
    // Not serving, a SQLite file that does not exist yet is made (an import into a new file).
    bool CreateMissing = false;
};

// Opens the store the target names; throws EStoreError (also for a SQLite file that does not
// exist when not serving: an operator's typo must not leave an empty database behind).
std::unique_ptr<IScoreDatabase> OpenScoreDatabase(const TStoreConfig& config);
