#!/bin/sh
# Builds the archive fuzzer with clang and AddressSanitizer in its own build folder and
# runs it for the given number of seconds (default 60). Findings land in that folder.
#   fuzz/run.sh 30        BUILD_DIR=/tmp/f fuzz/run.sh 300
set -eu
duration=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$here/../build-fuzz}

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target fuzz_archive fuzz_archive_seeds

corpus=$build/corpus
mkdir -p "$corpus" "$build/findings"
"$build/fuzz_archive_seeds" "$corpus"

# Pictures may legitimately be a few tens of megabytes once decoded; stay well inside RSS.
"$build/fuzz_archive" -max_total_time="$duration" -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$build/findings/" -print_final_stats=1 "$corpus"
