#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks and runs them: medians of
# repeated, randomly interleaved runs, then each game/floor ratio.
# --web then also runs the whole frame in Chromium, Firefox and WebKitGTK
# beside the desktop's and prints them side by side, then the tempo: frames
# per second of the real page in each engine and of the desktop window under
# Xvfb over the same seconds of play. Every other argument goes to the
# benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
web=no
rest=()
for arg in "$@"; do
    case $arg in
    --web) web=yes ;;
    *) rest+=("$arg") ;;
    esac
done

scripts/deps.sh test
cmake --preset release -DSPARKRALLY_BENCH=ON >/dev/null
cmake --build build --target bench_logic bench_frame bench_replay swap_clock -j "$(nproc)"
if [ $web = yes ]; then
    scripts/web.sh --tests
fi
args=(--benchmark_repetitions=15 --benchmark_enable_random_interleaving=true
      --benchmark_report_aggregates_only=true --benchmark_min_time=0.2 "${rest[@]}")
build/bench/bench_logic "${args[@]}"
build/bench/bench_frame "${args[@]}"
build/bench/bench_replay "${args[@]}"
if [ $web = yes ]; then
    # Debian's python, which has selenium and websockets.
    /usr/bin/python3 bench/web_frame.py build-web/bench --native build/bench/bench_frame --rounds 3 \
        --tempo 8 --page dist/web --desktop build/bench/swap_clock
fi
