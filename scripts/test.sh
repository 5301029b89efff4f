#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the Windows
# build cross-built and run under Wine, the web build run in node and in
# Chromium, Firefox and WebKitGTK, the whole suite on the release build (with
# the release built twice and compared byte for byte, reusing the Windows
# build's SDL), the replay reader fuzzed for 20 seconds (clang's libFuzzer,
# under AddressSanitizer and UndefinedBehaviorSanitizer), then the unit,
# replay, whole-match and soak tests again under both sanitizers. Extra
# arguments go to the first ctest (for example -L unit, or
# -LE 'e2e|package|windows').
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
jobs=$(nproc)
scripts/windows.sh --tests
scripts/web.sh --tests
cmake --preset release -DSPARKRALLY_TESTS=ON -DSPARKRALLY_BENCH=ON \
    -DSPARKRALLY_WINDOWS_BUILD="$PWD/build-windows" -DSPARKRALLY_WEB_BUILD="$PWD/build-web" >/dev/null
cmake --build --preset release -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs" "$@")
# The replay reader fuzzed for a bounded time (scripts/fuzz.sh replay for
# longer), then the sanitizers' run, whose summary closes the output.
scripts/fuzz.sh replay 20 --no-keep
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"
