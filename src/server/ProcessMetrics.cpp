#include "server/ProcessMetrics.h"

#include "server/BuildInfo.h"

#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

void Metric(std::string& out, std::string_view name, std::string_view type, std::string_view help,
            const std::string& value) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
    out += name;
    out += ' ';
    out += value;
    out += '\n';
}

std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

// The process's start, in seconds since the epoch: the boot time plus field 22 of /proc/self/stat.
double StartTime() {
    std::ifstream statFile("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    std::size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    std::ifstream procStat("/proc/stat");
    double boot = 0;
    for (std::string line; std::getline(procStat, line);)
        if (line.rfind("btime ", 0) == 0)
            boot = std::stod(line.substr(6));
    return boot + std::stod(field.empty() ? "0" : field) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

} // namespace

void RenderBuildInfo(std::string& out, std::string_view store) {
    out += "# HELP spraydash_build_info The program's version and commit, and the kind of store it uses.\n"
           "# TYPE spraydash_build_info gauge\nspraydash_build_info{version=\"";
    out += kServerVersion;
    out += "\",commit=\"";
    out += kServerCommit;
    out += "\",store=\"";
    out += store;
    out += "\"} 1\n";
}

void RenderProcessMetrics(std::string& out) {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    Metric(out, "process_cpu_seconds_total", "counter", "Processor time used, user and system, in seconds.",
           Number(cpu));
    long pages = 0, resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            pages = resident = 0;
        std::fclose(statm);
    }
    double page = static_cast<double>(::sysconf(_SC_PAGESIZE));
    Metric(out, "process_resident_memory_bytes", "gauge", "Resident memory in bytes.",
           Number(static_cast<double>(resident) * page));
    Metric(out, "process_virtual_memory_bytes", "gauge", "Virtual memory in bytes.",
           Number(static_cast<double>(pages) * page));
    std::error_code ec;
    std::size_t fds = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        ++fds;
    Metric(out, "process_open_fds", "gauge", "Open file descriptors (connections among them).",
           std::to_string(fds));
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    Metric(out, "process_max_fds", "gauge", "The open-file limit.",
           Number(static_cast<double>(limit.rlim_cur)));
    static const double started = StartTime();
    Metric(out, "process_start_time_seconds", "gauge", "Start of the process, in seconds since the epoch.",
           Number(started));
}

void RenderStoreMetrics(std::string& out, const TStoreFigures& figures) {
    Metric(out, "spraydash_store_queued_submissions", "gauge", "Results waiting for the next commit.",
           std::to_string(figures.Queued));
    Metric(out, "spraydash_store_commits_total", "counter", "Commits of results by this server.",
           std::to_string(figures.Commits));
    Metric(out, "spraydash_store_commit_seconds_total", "counter", "Time those commits took, in seconds.",
           Number(figures.CommitSeconds));
    if (figures.HeldEntries >= 0)
        Metric(out, "spraydash_store_held_entries", "gauge",
               "Entries above the score ceiling waiting for an operator.",
               std::to_string(figures.HeldEntries));
}

void RenderVerifierMetrics(std::string& out, const TVerifierFigures& figures) {
    out += "# HELP spraydash_replay_verifications_total Uploaded replays re-run, by what they came to.\n"
           "# TYPE spraydash_replay_verifications_total counter\n";
    out += "spraydash_replay_verifications_total{outcome=\"verified\"} " + std::to_string(figures.Verified) +
           "\n";
    out +=
        "spraydash_replay_verifications_total{outcome=\"failed\"} " + std::to_string(figures.Failed) + "\n";
    out += "spraydash_replay_verifications_total{outcome=\"copy\"} " + std::to_string(figures.Copies) + "\n";
    Metric(out, "spraydash_replay_queue_length", "gauge", "Replays waiting for a worker.",
           std::to_string(figures.Queued));
    Metric(out, "spraydash_replay_workers_busy", "gauge", "Workers re-running a replay right now.",
           std::to_string(figures.Busy));
    out += "# HELP spraydash_replay_verification_seconds Time one re-run took.\n"
           "# TYPE spraydash_replay_verification_seconds histogram\n";
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i < figures.Buckets.size(); ++i) {
        cumulative += figures.Buckets[i];
        const std::string le = i < TReplayVerifier::kSecondsBuckets.size()
                                   ? Number(TReplayVerifier::kSecondsBuckets[i])
                                   : "+Inf";
        out += "spraydash_replay_verification_seconds_bucket{le=\"" + le + "\"} " +
               std::to_string(cumulative) + "\n";
    }
    out += "spraydash_replay_verification_seconds_sum " + Number(figures.Seconds) + "\n";
    out += "spraydash_replay_verification_seconds_count " + std::to_string(cumulative) + "\n";
}
