#include "server/Log.h"

#include "server/TextEscape.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <stdexcept>

namespace {

constexpr std::array<std::string_view, 4> kLevelNames = {"debug", "info", "warning", "error"};

struct TLogState {
    std::mutex Mutex;
    TLogOptions Options;
    std::FILE* File = nullptr;   // null: stderr
    std::FILE* Access = nullptr; // null: none
    std::atomic<int> Level{static_cast<int>(TLogLevel::Info)};
    std::atomic<bool> HasAccess{false};
};

TLogState& State() {
    static TLogState state;
    return state;
}

std::string Timestamp() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[40];
    std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
    std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(millis));
    return text;
}

std::FILE* OpenAppend(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "ae");
    if (f)
        std::setvbuf(f, nullptr, _IOLBF, 0);
    return f;
}

void WriteLine(std::FILE* to, const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), to);
    std::fflush(to);
}

} // namespace

bool ParseLogLevel(std::string_view name, TLogLevel& level) {
    for (std::size_t i = 0; i < kLevelNames.size(); ++i) {
        if (kLevelNames[i] == name) {
            level = static_cast<TLogLevel>(i);
            return true;
        }
    }
    return false;
}

void ConfigureLog(const TLogOptions& options) {
    TLogState& s = State();
    std::lock_guard lock(s.Mutex);
    std::FILE* file = nullptr;
    std::FILE* access = nullptr;
    if (!options.File.empty() && !(file = OpenAppend(options.File)))
        throw std::runtime_error("cannot write the log " + options.File);
    if (!options.AccessFile.empty() && !(access = OpenAppend(options.AccessFile))) {
        if (file)
            std::fclose(file);
        throw std::runtime_error("cannot write the access log " + options.AccessFile);
    }
    if (s.File)
        std::fclose(s.File);
    if (s.Access)
        std::fclose(s.Access);
    s.File = file;
    s.Access = access;
    s.Options = options;
    s.Level = static_cast<int>(options.Level);
    s.HasAccess = access != nullptr;
}

void ReopenLogs() {
    TLogState& s = State();
    std::string failed;
    {
        std::lock_guard lock(s.Mutex);
        auto reopen = [&failed](std::FILE*& f, const std::string& path) {
            if (path.empty())
                return;
            std::FILE* fresh = OpenAppend(path);
            if (!fresh) {
                failed += (failed.empty() ? "" : ", ") + path;
                return;
            }
            if (f)
                std::fclose(f);
            f = fresh;
        };
        reopen(s.File, s.Options.File);
        reopen(s.Access, s.Options.AccessFile);
    }
    if (!failed.empty())
        Log(TLogLevel::Error, "cannot reopen " + failed + "; writing on to the old file");
    else
        Log(TLogLevel::Info, "log files reopened");
}

bool LogEnabled(TLogLevel level) {
    return static_cast<int>(level) >= State().Level.load(std::memory_order_relaxed);
}

void Log(TLogLevel level, std::string_view message) {
    if (!LogEnabled(level))
        return;
    std::string line = Timestamp();
    line += ' ';
    line += kLevelNames[static_cast<std::size_t>(level)];
    line += ' ';
    line += message;
    line += '\n';
    TLogState& s = State();
    std::lock_guard lock(s.Mutex);
    WriteLine(s.File ? s.File : stderr, line);
}

bool AccessLogEnabled() {
    return State().HasAccess.load(std::memory_order_relaxed);
}

void LogAccess(const TAccessEntry& e) {
    if (!AccessLogEnabled())
        return;
    std::string line = "{\"time\":\"" + Timestamp() + "\",\"client\":\"";
    AppendJson(line, e.Client);
    line += "\",\"method\":\"";
    AppendJson(line, e.Method);
    line += "\",\"target\":\"";
    AppendJson(line, e.Target);
    line += "\",\"status\":" + std::to_string(e.Status) + ",\"bytes\":" + std::to_string(e.Bytes);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.6f", e.Seconds);
    line += ",\"seconds\":";
    line += seconds;
    line += ",\"route\":\"";
    AppendJson(line, e.Route);
    line += "\"}\n";
    TLogState& s = State();
    std::lock_guard lock(s.Mutex);
    if (s.Access)
        WriteLine(s.Access, line);
}
