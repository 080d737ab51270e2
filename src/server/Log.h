#pragma once

#include <string>
#include <string_view>

enum class TLogLevel { Debug, Info, Warning, Error };

// "debug", "info", "warning", "error"; false for anything else.
bool ParseLogLevel(std::string_view name, TLogLevel& level);

// Where the server's log goes: standard error (the journal adds its own time then, but a line
// still carries one, so a file reads the same) or a file, reopened on SIGHUP for log rotation.
// Each line: "2026-12-11T03:40:01.123Z warning <message>". Thread-safe.
struct TLogOptions {
    TLogLevel Level = TLogLevel::Info;
    std::string File; // empty: standard error
    // One JSON line per answered request; empty: none.
    std::string AccessFile;
};
// Throws std::runtime_error naming a file that cannot be opened.
void ConfigureLog(const TLogOptions& options);
// Opens the files again under their names (after logrotate moved them); a file that cannot be
// opened keeps the old one and says so.
void ReopenLogs();

void Log(TLogLevel level, std::string_view message);
bool LogEnabled(TLogLevel level);

// One access-log line; nothing when there is no access log.
struct TAccessEntry {
    std::string_view Client;
    std::string_view Method;
    std::string_view Target;
    int Status = 0;
    std::size_t Bytes = 0;
    double Seconds = 0;
    std::string_view Route;
};
bool AccessLogEnabled();
void LogAccess(const TAccessEntry& entry);
