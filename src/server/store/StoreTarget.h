#pragma once

#include "server/store/DatabaseAddress.h"
#include "server/store/ScoreStore.h"

#include <memory>
#include <string>
#include <string_view>

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
