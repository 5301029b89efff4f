#!/usr/bin/env bash
# Installs the Debian packages that are missing for playing ("play"), for
# cross-building the Windows zip ("windows"), for building the web page
# ("web"), for building every release artifact ("release") or for building
# and running every test ("test"). Uses sudo when not root.
set -euo pipefail

play=(g++ cmake make pkg-config libsdl1.2-compat-dev libgl-dev libgl1-mesa-dri libglx-mesa0 zlib1g-dev)
windows=(g++-mingw-w64-x86-64 libz-mingw-w64-dev cmake make git ca-certificates xz-utils python3)
web=(emscripten cmake make python3 librsvg2-bin pngquant node-terser)
# dpkg-shlibdeps and file find the .deb's dependencies; diffoscope explains
# how two builds differ.
release=("${play[@]}" "${windows[@]}" "${web[@]}" dpkg-dev file binutils diffoscope-minimal)
test=("${release[@]}" chromium chromium-driver firefox-esr webkit2gtk-driver python3-selenium python3-websockets python3-pil python3-mpmath wine wine64 lintian googletest libgtest-dev libbenchmark-dev xvfb xauth xdotool x11-apps
      x11-utils libx11-dev imagemagick desktop-file-utils appstream valgrind clang libclang-rt-14-dev)

case "${1:-}" in
play) wanted=("${play[@]}") ;;
windows) wanted=("${windows[@]}") ;;
web) wanted=("${web[@]}") ;;
release) wanted=("${release[@]}") ;;
test) wanted=("${test[@]}") ;;
*) echo "usage: $0 play|windows|web|release|test" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
