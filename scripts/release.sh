#!/usr/bin/env bash
# Builds every release artifact from scratch and writes dist/release/: the
# .deb, the Windows zip, the web page's zip (the page at its root) and
# SHA256SUMS over them. Installs what is missing first. The time stamped into
# every artifact is SOURCE_DATE_EPOCH, the last commit's time unless the
# caller sets it; nothing else of the machine but its toolchain reaches the
# artifacts, so the same sources give the same bytes in any folder, at any
# time, under any umask, locale and time zone.
#
#   --check             build the whole release twice, from two clean clones of
#                       HEAD in two folders, at two times, under two umasks,
#                       locales and time zones, and compare the artifacts byte
#                       for byte; diffoscope explains any difference
#   --windows-sdl DIR   link the SDL already built for Windows in DIR (a
#                       Windows build tree's sdl/ folder) instead of building
#                       it from the pinned sources: the release test's shortcut
set -euo pipefail
cd "$(dirname "$0")/.."

check=no
windows_sdl=
while [ $# -gt 0 ]; do
    case $1 in
    --check) check=yes ;;
    --windows-sdl) windows_sdl=$(realpath "${2:?--windows-sdl needs a folder}"); shift ;;
    *) echo "usage: $0 [--check] [--windows-sdl DIR]" >&2; exit 2 ;;
    esac
    shift
done

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
        { echo "release: no git history here: set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH
# The pinned SDL sources, where this machine has them.
third_party=$(realpath -m "${SPARKRALLY_THIRD_PARTY_DIR:-../shared/third_party}")
export SPARKRALLY_THIRD_PARTY_DIR=$third_party

scripts/deps.sh release

if [ $check = yes ]; then
    [ -z "$(git status --porcelain --untracked-files=no)" ] ||
        echo "release: uncommitted changes are not checked: the clones hold HEAD" >&2
    root=$PWD/build-check
    rm -rf "$root"
    # Two folders of different names and depths, so that no path of the
    # build can hide in an artifact.
    a=$root/a/sparkrally
    b=$root/second/build/sparkrally-source
    git clone -q --no-hardlinks "$PWD" "$a"
    git clone -q --no-hardlinks "$PWD" "$b"
    sdl=()
    [ -z "$windows_sdl" ] || sdl=(--windows-sdl "$windows_sdl")
    start=$SECONDS
    (cd "$a" && umask 0022 &&
        env LC_ALL=C.UTF-8 LANG=C.UTF-8 TZ=UTC scripts/release.sh "${sdl[@]}")
    echo "release: first build took $((SECONDS - start)) s"
    start=$SECONDS
    (cd "$b" && umask 0002 &&
        env LC_ALL= LANG=fr_CH.UTF-8 LANGUAGE=fr TZ=Pacific/Kiritimati scripts/release.sh "${sdl[@]}")
    echo "release: second build took $((SECONDS - start)) s"
    status=0
    for f in "$a"/dist/release/*; do
        name=$(basename "$f")
        if cmp -s "$f" "$b/dist/release/$name"; then
            echo "identical: $name"
        else
            status=1
            echo "DIFFERENT: $name"
            diffoscope --no-progress --text - --max-text-report-size 20000 \
                "$f" "$b/dist/release/$name" || true
        fi
    done
    [ "$(ls "$a/dist/release")" = "$(ls "$b/dist/release")" ] ||
        { status=1; echo "the two releases hold different files"; }
    [ $status -eq 0 ] && echo "release: both builds gave the same bytes" ||
        echo "release: the two builds differ" >&2
    exit $status
fi

# Only the sources decide what is built: no flags from the caller's
# environment.
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS MAKEFLAGS EMCC_CFLAGS
jobs=$(nproc)
build=$PWD/build-release
out=$PWD/dist/release
rm -rf "$build" "$out"
mkdir -p "$out"

cmake --preset release -B "$build/linux" >/dev/null
# The version CPack gives the .deb, which the web zip's name carries too;
# read before anything is built, as without it no zip can be named.
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/linux/CPackConfig.cmake")
[[ $version =~ ^[0-9]+(\.[0-9]+)*$ ]] ||
    { echo "release: no version in $build/linux/CPackConfig.cmake (found '$version')" >&2; exit 1; }
cmake --build "$build/linux" -j "$jobs"
# CPack gives the .deb's three members the modes its umask leaves them.
(umask 0022 && cpack --config "$build/linux/CPackConfig.cmake" -G DEB -B "$build/linux/package" >/dev/null)
cp "$build"/linux/package/*.deb "$out/"

windows=(-DSPARKRALLY_THIRD_PARTY_DIR="$third_party")
[ -z "$windows_sdl" ] || windows+=(-DSPARKRALLY_WINDOWS_SDL="$windows_sdl")
cmake --preset windows -B "$build/windows" -DSPARKRALLY_TESTS=OFF "${windows[@]}" >/dev/null
cmake --build "$build/windows" -j "$jobs"
cpack --config "$build/windows/CPackConfig.cmake" -B "$build/windows/package" >/dev/null
cp "$build"/windows/package/*.zip "$out/"

export NODE_PATH=/usr/share/nodejs
cmake --preset web -B "$build/web" -DSPARKRALLY_TESTS=OFF >/dev/null
cmake --build "$build/web" -j "$jobs"
cmake --install "$build/web" --prefix "$build/web-page" >/dev/null
python3 platform/zip.py "$build/web-page" "$out/sparkrally-$version-web.zip"

# Listed in byte order, whatever the caller's locale sorts by.
(cd "$out" && LC_ALL=C && files=(*) && sha256sum -- "${files[@]}" >SHA256SUMS)
echo "dist/release (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH):"
(cd "$out" && cat SHA256SUMS)
