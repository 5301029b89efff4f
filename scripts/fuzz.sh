#!/usr/bin/env bash
# Builds the libFuzzer target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and fuzzes the frame loop's input for
# SECONDS (default 600), growing tests/fuzz/corpus, which the test suite
# replays. Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
scripts/deps.sh test
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
install() {
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@"
}
command -v clang++ >/dev/null || install clang
# libFuzzer's runtime comes with the compiler-rt package of clang's version.
if [ ! -e "$(clang++ --print-runtime-dir)/libclang_rt.fuzzer-x86_64.a" ]; then
    install "libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev"
fi
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSPARKRALLY_FUZZ=ON -DSPARKRALLY_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all" \
    >/dev/null
cmake --build build-fuzz --target fuzz_frames -j "$(nproc)"

# Seeds: an idle match, a long rally, a flood, Escape held with a key-down.
work=build-fuzz/corpus
mkdir -p "$work" tests/fuzz/corpus
printf '\x7f\x7f\x7f\x7f' >"$work/seed-idle"
head -c 400 /dev/zero | tr '\0' '\224' >"$work/seed-follow"
printf '\xca\x42\x11\x01\x1b\x00\x00\x00' >"$work/seed-flood-escape"
build-fuzz/tests/fuzz_frames -max_total_time="$seconds" -max_len=4096 -timeout=60 \
    -rss_limit_mb=4096 -print_final_stats=1 "$work" tests/fuzz/corpus
# Add to the kept corpus only the inputs that reach something new; nothing
# already kept is removed.
build-fuzz/tests/fuzz_frames -merge=1 tests/fuzz/corpus "$work"
echo "tests/fuzz/corpus: $(ls tests/fuzz/corpus | wc -l) inputs"
