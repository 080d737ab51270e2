#pragma once

#include <pqxx/connection>

#include <string>

// The schema version this program writes.
int PostgresSchemaVersion();

// Brings the database's schema up to this program's version, one step at a time in one
// transaction; servers starting together take turns. Throws EStoreError for a schema newer
// than this program's (shownTarget names the database), pqxx::failure when the database fails.
void MigratePostgresSchema(pqxx::connection& db, const std::string& shownTarget);
