#pragma once

#include "server/service/ReplayVerifier.h"
#include "server/store/ScoreStore.h"

#include <string>
#include <string_view>

// What /metrics says of the program, the process and the store, in the Prometheus text format.

// spraydash_build_info{version,commit,store} 1.
void RenderBuildInfo(std::string& out, std::string_view store);
// process_cpu_seconds_total, process_resident_memory_bytes, process_virtual_memory_bytes,
// process_open_fds, process_max_fds, process_start_time_seconds (from /proc).
void RenderProcessMetrics(std::string& out);
// spraydash_store_queued_submissions, spraydash_store_commits_total,
// spraydash_store_commit_seconds_total, spraydash_store_held_entries.
void RenderStoreMetrics(std::string& out, const TStoreFigures& figures);
// spraydash_replay_verifications_total{outcome}, spraydash_replay_queue_length,
// spraydash_replay_workers_busy, spraydash_replay_verification_seconds (histogram).
void RenderVerifierMetrics(std::string& out, const TVerifierFigures& figures);
