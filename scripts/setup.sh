#!/usr/bin/env bash
# Installs the Debian 12 packages the game needs to build, run and test, then builds it.
# Usage: scripts/setup.sh [--server] [build-dir] [extra cmake arguments...]
#   --server: only what the score server needs to build, run, be backed up and be tested (no SDL,
#             no browser), and a build of the server alone (-DSPRAYDASH_GAME=OFF).
set -euo pipefail
cd "$(dirname "$0")/.."

server_only=0
if [ "${1:-}" = "--server" ]; then
    server_only=1
    shift
fi

# The score server: its libraries, sqlite3 for the backups, PostgreSQL for its tests, what builds
# the race's pictures it re-runs replays on (librsvg, cairo, libpng), the test and benchmark
# libraries, and what the load runs under bench/server use.
server_packages=(
    build-essential cmake pkg-config python3
    libboost-dev libsqlite3-dev sqlite3 libcli11-dev libpqxx-dev zlib1g-dev postgresql
    librsvg2-dev libcairo2-dev libpng-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    wrk nginx haproxy
)
packages=(
    "${server_packages[@]}"
    clang libclang-rt-14-dev clang-format
    libsdl2-dev libsdl2-ttf-dev libfontconfig-dev libxmp-dev
    fonts-liberation2 fonts-dseg fonts-dejavu-core
    xvfb xdotool x11-utils imagemagick openmpt123 librsvg2-bin
    wmctrl desktop-file-utils openbox
    chromium xdg-utils
    lintian appstream man-db adduser shared-mime-info
)
if [ "$server_only" -eq 1 ]; then
    packages=("${server_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

build_dir=${1:-build}
shift || true
game=()
[ "$server_only" -eq 0 ] || game=(-DSPRAYDASH_GAME=OFF)
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${game[@]}" "$@"
cmake --build "$build_dir" -j"$(nproc)"
