#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh build -DSPRAYDASH_TESTS=OFF -DSPRAYDASH_BENCH=OFF
# The game reads Data/... from its working directory; the build tree holds the generated data.
cd build
exec ./src/spraydash
