#!/usr/bin/env bash
# Builds the game as a static web page: installs what is missing (Debian's
# emscripten), builds with Emscripten into build-web/ and writes dist/web/
# (the page, the game's .js and .wasm, the icons, the manifest and service
# worker that make it installable and playable offline, and the licence
# texts).
# --serve then serves dist/web on 127.0.0.1 at a free port and prints the
# address to open; --tests also builds the unit tests and the test and
# benchmark pages that scripts/test.sh and scripts/bench.sh open.
set -euo pipefail
cd "$(dirname "$0")/.."
serve=no
tests=OFF
for arg in "$@"; do
    case $arg in
    --serve) serve=yes ;;
    --tests) tests=ON ;;
    *) echo "usage: $0 [--serve] [--tests]" >&2; exit 2 ;;
    esac
done
scripts/deps.sh web
# Debian's emcc finds its JavaScript modules here whichever node runs it.
export NODE_PATH=/usr/share/nodejs
cmake --preset web -DSPARKRALLY_TESTS=$tests -DSPARKRALLY_BENCH=$tests >/dev/null
cmake --build --preset web -j "$(nproc)"
rm -rf dist/web
cmake --install build-web --prefix dist/web >/dev/null
# What a player's browser downloads (everything but the licence texts),
# compressed as a web server sends it.
weight=0
for f in $(find dist/web -maxdepth 1 -type f ! -name LICENSE.txt | sort); do
    weight=$((weight + $(gzip -9c "$f" | wc -c)))
done
echo "dist/web: the page loads $weight bytes gzipped"
if [ $serve = yes ]; then
    echo "serving dist/web; press Ctrl+C to stop"
    exec python3 -m http.server --bind 127.0.0.1 --directory dist/web 0
fi
