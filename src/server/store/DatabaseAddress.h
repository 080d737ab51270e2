#pragma once

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
