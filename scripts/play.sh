#!/usr/bin/env bash
# Installs what is missing, builds the game and starts a match.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh play
cmake --preset release -DSPARKRALLY_TESTS=OFF -DSPARKRALLY_BENCH=OFF >/dev/null
cmake --build build --target sparkrally -j "$(nproc)"
exec build/sparkrally
