#!/usr/bin/env bash
# Installs the Debian 12 packages the game needs to build, run and test, then builds it.
# Usage: scripts/setup.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    build-essential cmake pkg-config clang libclang-rt-14-dev clang-format
    libsdl2-dev libsdl2-ttf-dev libfontconfig-dev libxmp-dev libpng-dev librsvg2-dev libcairo2-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    fonts-liberation2 fonts-dseg fonts-dejavu-core
    xvfb xdotool x11-utils imagemagick openmpt123 librsvg2-bin python3
    wmctrl desktop-file-utils openbox
    libboost-dev libsqlite3-dev libcli11-dev chromium wrk nginx xdg-utils
    libpqxx-dev postgresql haproxy
    lintian appstream man-db
)

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
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build_dir" -j"$(nproc)"
