#!/usr/bin/env bash
# Builds a libFuzzer target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and fuzzes it for SECONDS (default 600):
#   frames  (the default) the frame loop's input, growing tests/fuzz/corpus,
#           which the test suite replays;
#   replay  the replay file reader, seeded with small replays that the
#           Writer makes and with the replays kept in tests/replays/,
#           growing tests/fuzz/replay-corpus.
# --no-keep leaves the kept corpus as it is (the test command's bounded run).
# Usage: scripts/fuzz.sh [frames|replay] [SECONDS] [--no-keep]
set -euo pipefail
cd "$(dirname "$0")/.."
target=frames
seconds=600
keep=yes
for arg in "$@"; do
    case $arg in
    frames | replay) target=$arg ;;
    --no-keep) keep=no ;;
    '' | *[!0-9]*) echo "usage: $0 [frames|replay] [SECONDS] [--no-keep]" >&2; exit 2 ;;
    *) seconds=$arg ;;
    esac
done
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
    -DSPARKRALLY_TESTS=ON -DSPARKRALLY_FUZZ=ON -DSPARKRALLY_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all" \
    >/dev/null

if [ $target = frames ]; then
    cmake --build build-fuzz --target fuzz_frames -j "$(nproc)"
    # Seeds: an idle match, a long rally, a flood, Escape held with a key-down.
    work=build-fuzz/corpus
    kept=tests/fuzz/corpus
    mkdir -p "$work" $kept
    printf '\x7f\x7f\x7f\x7f' >"$work/seed-idle"
    head -c 400 /dev/zero | tr '\0' '\224' >"$work/seed-follow"
    printf '\xca\x42\x11\x01\x1b\x00\x00\x00' >"$work/seed-flood-escape"
    build-fuzz/tests/fuzz_frames -max_total_time="$seconds" -max_len=4096 -timeout=60 \
        -rss_limit_mb=4096 -print_final_stats=1 "$work" $kept
else
    cmake --build build-fuzz --target fuzz_replay replay_seeds -j "$(nproc)"
    work=build-fuzz/replay-corpus
    kept=tests/fuzz/replay-corpus
    mkdir -p "$work"
    [ $keep = no ] || mkdir -p $kept
    build-fuzz/tests/replay_seeds "$work"
    if compgen -G 'tests/replays/*.sparkrally' >/dev/null; then
        cp tests/replays/*.sparkrally "$work"
    fi
    corpora=("$work")
    [ ! -d $kept ] || corpora+=($kept)
    # No input may take ten seconds (each takes microseconds), nor ask for
    # more memory at once than a replay's events may inflate to (256 MiB).
    build-fuzz/tests/fuzz_replay -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -malloc_limit_mb=320 -artifact_prefix=build-fuzz/ -print_final_stats=1 "${corpora[@]}"
fi
[ $keep = yes ] || exit 0
# Add to the kept corpus only the inputs that reach something new; nothing
# already kept is removed.
build-fuzz/tests/fuzz_$target -merge=1 $kept "$work"
echo "$kept: $(ls $kept | wc -l) inputs"
