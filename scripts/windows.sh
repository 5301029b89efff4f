#!/usr/bin/env bash
# Builds the Windows zip: installs what is missing (mingw-w64), cross-builds
# SDL2, sdl12-compat and the game, and writes
# dist/sparkrally-<version>-windows-x64.zip. With --tests it also builds the
# unit tests as build-windows/tests/unit_tests.exe, which the windows tests
# run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tests=OFF
[ "${1:-}" = --tests ] && tests=ON
scripts/deps.sh windows
# The linker stamps this time into the executable and the DLLs, and the zip
# into its entries: the last commit's, unless the caller sets one.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH
cmake --preset windows -DSPARKRALLY_TESTS=$tests -DSPARKRALLY_BENCH=OFF >/dev/null
cmake --build --preset windows -j "$(nproc)"
if [ $tests = ON ]; then
    cmake --build --preset windows --target unit_tests replay_tests -j "$(nproc)"
fi
rm -rf build-windows/package
cpack --config build-windows/CPackConfig.cmake -B build-windows/package >/dev/null
mkdir -p dist
for zip in build-windows/package/*.zip; do
    cp "$zip" dist/
    echo "dist/$(basename "$zip"): $(stat -c %s "$zip") bytes"
done
