#!/usr/bin/env bash
# Regenerates docs/screenshot.png: a real match under Xvfb with sparks in
# flight. Plays the first serve back with the paddle in its way, watches
# the window for a few seconds and keeps the most colourful frame.
set -euo pipefail
cd "$(dirname "$0")/.."

# Build once, outside the virtual server, then run the rest inside it.
if [ -z "${SPARKRALLY_IN_XVFB:-}" ]; then
    scripts/deps.sh test
    cmake --preset release >/dev/null
    cmake --build build --target sparkrally -j "$(nproc)"
    # The game must use this server, whatever the session exports.
    exec env -u SDL_VIDEODRIVER -u WAYLAND_DISPLAY SPARKRALLY_IN_XVFB=1 \
        xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
build/sparkrally &
game=$!
# Wait for the window, but not for a game that has already ended.
win=""
for i in $(seq 1 100); do
    kill -0 "$game" 2>/dev/null || { wait "$game" || true; echo "the game ended before its window appeared" >&2; exit 1; }
    win=$(xdotool search --onlyvisible --pid "$game" 2>/dev/null | head -n 1 || true)
    [ -n "$win" ] && break
    sleep 0.1
done
[ -n "$win" ] || { kill "$game"; echo "no window appeared" >&2; exit 1; }
# The serve reaches the player's line near y 122.
xdotool mousemove --window "$win" 300 124
best=""
most=0
for i in $(seq 1 40); do
    sleep 0.15
    import -window "$win" "$shots/$i.png"
    # Share of strongly saturated pixels: the sparks.
    colour=$(convert "$shots/$i.png" -colorspace HSL -channel G -separate -threshold 50% \
        -format '%[fx:int(mean*w*h)]' info:)
    if [ "$colour" -gt "$most" ]; then
        most=$colour
        best="$shots/$i.png"
    fi
done
# Escape, held as a person holds it, ends the run before the server goes.
xdotool windowfocus --sync "$win" keydown Escape sleep 0.1 keyup Escape
wait "$game"
[ -n "$best" ] || { echo "no sparks seen" >&2; exit 1; }
mkdir -p docs
cp "$best" docs/screenshot.png
echo "docs/screenshot.png: $most spark pixels"
