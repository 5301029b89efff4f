#!/usr/bin/env bash
# Records the replay corpus in tests/replays/ again and rewrites its list,
# tests/replays/golden.txt: the scripted matches of make_golden, then real
# matches through every input path the game has (the desktop window and the
# Windows build under Wine played by the X server's pointer, the page in
# Chromium, Firefox and WebKitGTK by the pointer, in Chromium and Firefox
# by a finger, and in Chromium by the keys alone and by a gamepad). Each
# file's line (frames, score, final digest) is what the desktop game's
# --verify says of it.
#
# Every release must play these files exactly as the list says; the test
# command checks it on every target and engine. Run this only after raising
# rules_version (game/rulesversion.h), when a change to the rules alters
# matches on purpose, and say why in the commit. Needs Xvfb, xdotool, Wine,
# Chromium, Firefox and WebKitGTK (scripts/deps.sh test); takes about five
# minutes of real time, as the matches are played in real time.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=tests/replays
scripts/windows.sh --tests
scripts/web.sh --tests
cmake --preset release -DSPARKRALLY_TESTS=ON >/dev/null
cmake --build --preset release --target sparkrally make_golden record_x -j "$(nproc)"
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)

# Where and how each file is made, as the list says it.
declare -A how=(
    [rally]="scripted: make_golden's player, long rallies, through the replay layer"
    [escape]="scripted: make_golden's player, Escape mid-rally"
    [close]="scripted: make_golden's player, the window's close request"
    [match]="scripted: make_golden's player, played until a side has 5"
    [x11-escape]="desktop window, Xvfb, X pointer moved by xdotool, ended by Escape"
    [x11-close]="desktop window, Xvfb, X pointer moved by xdotool, ended by the window's close"
    [x11-pause]="desktop window, Xvfb, X pointer moved by xdotool, paused by P for 2 s, Escape"
    [wine-escape]="Windows build under Wine, Xvfb, X pointer moved by xdotool, ended by Escape"
    [web-chromium-pointer]="page in Chromium, pointer (WebDriver actions), ended by End match"
    [web-firefox-pointer]="page in Firefox, pointer (WebDriver BiDi actions), ended by End match"
    [web-webkit-pointer]="page in WebKitGTK, pointer (WebDriver actions), ended by End match"
    [web-chromium-finger]="page in Chromium on a phone's screen, finger (DevTools touch events)"
    [web-firefox-finger]="page in Firefox on a phone's screen, finger (WebDriver BiDi touch)"
    [web-chromium-keys]="page in Chromium, Up and Down held (WebDriver actions), no pointer, ended by Escape"
    [web-chromium-gamepad]="page in Chromium, a stand-in for the Gamepad API: stick, D-pad, Start twice, Back"
)
order=(rally escape close match x11-escape x11-close x11-pause wine-escape web-chromium-pointer
       web-firefox-pointer web-webkit-pointer web-chromium-finger web-firefox-finger
       web-chromium-keys web-chromium-gamepad)

build/tests/make_golden $dir >/dev/null
build/tests/record_x $dir "$wine64" "$PWD/build-windows"
(cd tests/web && /usr/bin/python3 record_web.py --page "$OLDPWD/build-web/page" --out "$OLDPWD/$dir")

list=$(mktemp)
trap 'rm -f "$list"' EXIT
{
    echo "# The replay corpus: file, frames, player's points, computer's points, final"
    echo "# state digest, then where and how it was made. Recorded by"
    echo "# scripts/record_corpus.sh with sparkrally $(build/sparkrally --version | awk '{print $NF}')."
    for name in "${order[@]}"; do
        said=$(build/sparkrally --verify "$dir/$name.sparkrally")
        fields=$(sed -n 's/^final score \([0-9]*\)-\([0-9]*\) after \([0-9]*\) frames, state digest \(0x[0-9a-f]*\)$/\3 \1 \2 \4/p' <<<"$said")
        if [ -z "$fields" ]; then
            echo "$name.sparkrally does not verify: $said" >&2
            exit 1
        fi
        echo "$name.sparkrally $fields ${how[$name]}"
    done
} >"$list"
chmod 644 "$list"
mv "$list" $dir/golden.txt
trap - EXIT
cat $dir/golden.txt
