#!/usr/bin/env bash
# Runs each fuzz target for a bounded time under AddressSanitizer and UndefinedBehaviorSanitizer.
# Usage: .ci/fuzz.sh [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
build=build-fuzz-ci
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSPRAYDASH_FUZZ=ON -DSPRAYDASH_DATA=OFF -DSPRAYDASH_TESTS=OFF -DSPRAYDASH_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_archive fuzz_archive_seeds fuzz_http_reply fuzz_score_submission \
    fuzz_replay_reader fuzz_replay_seeds
mkdir -p "$build/corpus-archive" "$build/corpus-http" "$build/corpus-server" "$build/corpus-replay" "$build/findings"
"$build/fuzz/fuzz_archive_seeds" "$build/corpus-archive"
cp fuzz/http/corpus/* "$build/corpus-http/"
cp fuzz/server/corpus/* "$build/corpus-server/"
"$build/fuzz/replay/fuzz_replay_seeds" "$build/corpus-replay"
cp tests/replay/fixtures/*.sdreplay "$build/corpus-replay/"
"$build/fuzz/fuzz_archive" -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$build/findings/" "$build/corpus-archive"
"$build/fuzz/http/fuzz_http_reply" -max_total_time="$seconds" -max_len=8192 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$build/findings/" "$build/corpus-http"
"$build/fuzz/server/fuzz_score_submission" -max_total_time="$seconds" -max_len=4096 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$build/findings/" "$build/corpus-server"
"$build/fuzz/replay/fuzz_replay_reader" -max_total_time="$seconds" -max_len=8192 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$build/findings/" "$build/corpus-replay"
