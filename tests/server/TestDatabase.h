#pragma once

#include "PostgresCluster.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <ostream>
#include <string>

// The two stores every store test runs against.
enum class TStoreKind { Sqlite, Postgres };

inline std::string StoreKindName(const ::testing::TestParamInfo<TStoreKind>& info) {
    return info.param == TStoreKind::Sqlite ? "Sqlite" : "Postgres";
}
inline void PrintTo(TStoreKind kind, std::ostream* out) {
    *out << (kind == TStoreKind::Sqlite ? "SQLite" : "PostgreSQL");
}

// The test process's PostgreSQL server, started when first needed and stopped at exit.
inline TPostgresCluster& SharedPostgres() {
    static TPostgresCluster cluster;
    return cluster;
}

// An empty database of either kind for one test, and a way in from outside the server (as
// another process or an operator's tool would come).
class TTestDatabase {
  public:
    // sqlitePath: a SQLite file somewhere else than a folder of the test's own.
    explicit TTestDatabase(TStoreKind kind, const std::string& sqlitePath = "") : m_kind(kind) {
        if (!sqlitePath.empty()) {
            m_target = sqlitePath;
        } else if (kind == TStoreKind::Postgres) {
            m_name = SharedPostgres().CreateDatabase();
            m_target = SharedPostgres().Uri(m_name);
        } else {
            m_target = m_dir.File("scores.db");
        }
    }

    TStoreKind Kind() const { return m_kind; }
    // What --db takes.
    const std::string& Target() const { return m_target; }
    const TTempDir& Dir() const { return m_dir; }

    // Runs SQL on the database; returns the first value of the last row, if any.
    std::string Exec(const std::string& sql) {
        if (m_kind == TStoreKind::Postgres) {
            std::string out = SharedPostgres().Psql(m_name, sql);
            std::size_t lastLine = out.rfind('\n');
            out = lastLine == std::string::npos ? out : out.substr(lastLine + 1);
            return out.substr(0, out.find('|'));
        }
        sqlite3* db = nullptr;
        if (sqlite3_open(m_target.c_str(), &db) != SQLITE_OK)
            throw std::runtime_error("cannot open " + m_target);
        std::string value;
        char* error = nullptr;
        int status = sqlite3_exec(
            db, sql.c_str(),
            [](void* into, int, char** values, char**) {
                *static_cast<std::string*>(into) = values[0] ? values[0] : "";
                return 0;
            },
            &value, &error);
        std::string message = error ? error : "";
        sqlite3_free(error);
        sqlite3_close(db);
        if (status != SQLITE_OK)
            throw std::runtime_error("\"" + sql + "\" failed: " + message);
        return value;
    }

    // Sets the schema version the database claims, as a newer server would leave it.
    void SetSchemaVersion(int version) {
        Exec(m_kind == TStoreKind::Sqlite ? "PRAGMA user_version = " + std::to_string(version)
                                          : "UPDATE schema_version SET version = " + std::to_string(version));
    }

  private:
    TStoreKind m_kind;
    TTempDir m_dir;
    std::string m_name; // PostgreSQL's database name
    std::string m_target;
};

// Skips a PostgreSQL case on a machine without the server (scripts/setup.sh installs it).
#define SKIP_WITHOUT_POSTGRES(kind)                                                                          \
    do {                                                                                                     \
        if ((kind) == TStoreKind::Postgres && !TPostgresCluster::Available())                                \
            GTEST_SKIP() << "PostgreSQL 15 is not installed (scripts/setup.sh installs it)";                 \
    } while (false)
