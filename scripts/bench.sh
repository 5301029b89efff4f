#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks and runs them: medians of
# repeated, randomly interleaved runs, then each game/floor ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
cmake --preset release -DSPARKRALLY_BENCH=ON >/dev/null
cmake --build build --target bench_logic bench_frame -j "$(nproc)"
args=(--benchmark_repetitions=15 --benchmark_enable_random_interleaving=true
      --benchmark_report_aggregates_only=true --benchmark_min_time=0.2 "$@")
build/bench/bench_logic "${args[@]}"
build/bench/bench_frame "${args[@]}"
