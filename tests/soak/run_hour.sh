#!/bin/sh
# An hour of simulated play under AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer: configures a sanitizer build of its own, builds soak_test and runs it,
# printing the figures and the real time it took.
#
#   tests/soak/run_hour.sh [build-dir] [minutes] [seed]
#
# Defaults: build-soak-asan beside the sources, 60 minutes, the test's own seed.
set -eu
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$repo/build-soak-asan}
minutes=${2:-60}
seed=${3:-}

cmake -S "$repo" -B "$build" -DSPRAYDASH_SANITIZE=ON -DSPRAYDASH_DATA=ON -DSPRAYDASH_BENCH=OFF
# The data tools run during the build, instrumented as well; what they leave unfreed at
# their exit is not the game's, so leak checking is off for the build only.
ASAN_OPTIONS=detect_leaks=0 cmake --build "$build" -j2 --target soak_test

cd "$build/tests/soak"
started=$(date +%s)
status=0
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:abort_on_error=0} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
SPRAYDASH_SOAK_MINUTES=$minutes ${seed:+SPRAYDASH_SOAK_SEED=$seed} \
    ./soak_test --gtest_color=no || status=$?
echo "real time: $(( $(date +%s) - started )) s; exit status $status"
exit $status
