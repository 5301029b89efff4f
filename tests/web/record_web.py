#!/usr/bin/python3
"""Records the corpus's page matches into a folder: the game's page played
in Chromium, Firefox and WebKitGTK by the browser's real pointer (WebDriver
actions), and in Chromium and Firefox by a finger on a phone's screen
(touch through the DevTools protocol in Chromium, a touch pointer through
WebDriver BiDi in Firefox), and in Chromium by the arrow keys alone and by
a stand-in gamepad; each match is ended by End match (or Escape, or the
pad's Back) and saved as the page's own recording. scripts/record_corpus.sh runs it; each file's
line in the list comes from verifying it.

Usage: /usr/bin/python3 tests/web/record_web.py --page DIR --out DIR
"""
import argparse
import math
import os
import sys
import time

from browsers import PAD, ScriptError, Server, open_browser, until
from test_page import ballbox, paddlerow

# Play time of each match, in seconds.
PLAY = 20
# A phone's screen, as the page's touch tests emulate it.
PHONE = (390, 844, 3, True)


def ballrow(img):
    """The ball's centre row in a 640 x 480 picture of the field, or None."""
    box = ballbox(img)
    return None if box is None else (box[1] + box[3]) // 2


def started(b, page):
    b.open(page.url + 'index.html')
    until(lambda: b.run('return typeof Module._sparkrally_frame === "function" && '
                        'Module._sparkrally_frame() > 30'), 20, 'the match did not start',
          ignored=(ScriptError,))


def shown(b, element_id):
    return b.run('return document.getElementById(arguments[0]).getClientRects().length > 0',
                 element_id)


def saved(b, name, out):
    """The page's recording once its run has ended, written to out/name."""
    status = b.wait_for('return window.runEnded', timeout=10)
    if status != 0:
        raise RuntimeError('%s: the run ended with status %r' % (name, status))
    data = bytes(b.run('return Array.from(Module.recording)'))
    with open(os.path.join(out, name), 'wb') as f:
        f.write(data)
    print('%s recorded' % name, flush=True)


def pointer_match(b, page, name, out):
    """The pointer follows the ball as the canvas shows it, off by a slow
    swing of up to 30 rows, then End match."""
    started(b, page)
    t0 = time.monotonic()
    row = 240
    while time.monotonic() - t0 < PLAY and shown(b, 'end'):
        t = time.monotonic() - t0
        ball = ballrow(b.shot('canvas'))
        row = 240 + round(120 * math.sin(t * 2.1)) if ball is None \
            else ball + round(30 * math.sin(t * 0.9))
        b.point('canvas', 300 + round(40 * math.sin(t * 1.3)), min(max(row, 0), 479))
    if shown(b, 'end'):
        b.click('end')
    saved(b, name, out)


def finger_match(b, page, name, out):
    """On a phone's screen, a finger swipes up and down the field, lifted
    and put down again between swipes, then taps End match."""
    b.screen(*PHONE)
    try:
        started(b, page)
        left, top, width, height = b.rect('canvas')

        def at(fx, fy):
            return left + (fx + 0.5) * width / 640, top + (fy + 0.5) * height / 480

        t0, stroke = time.monotonic(), 0
        while time.monotonic() - t0 < PLAY and shown(b, 'end'):
            # A swipe of 40 points over about two seconds, each a little
            # different, as a thumb's are.
            first = 60 + 37 * stroke % 360
            points = [at(320 + 30 * math.sin(i / 7 + stroke),
                         first + (420 - first) * (0.5 - 0.5 * math.cos(i * math.pi / 20)))
                      for i in range(41)]
            touch(b, points, 0.05)
            stroke += 1
            time.sleep(0.3)
        if shown(b, 'end'):  # not once the match has been won
            el, et, ew, eh = b.rect('end')
            touch(b, [(el + ew / 2, et + eh / 2)], 0)
        saved(b, name, out)
    finally:
        b.screen()


def steered(b, step):
    """Plays PLAY seconds by step(ball, paddle) on each look at the field,
    the paddle off the ball by a slow swing of up to 25 rows."""
    t0 = time.monotonic()
    while time.monotonic() - t0 < PLAY and shown(b, 'end'):
        img = b.shot('canvas')
        ball, paddle = ballrow(img), paddlerow(img)
        if ball is not None and paddle is not None:
            step(ball + round(25 * math.sin((time.monotonic() - t0) * 0.9)) - paddle)
        else:
            step(0)


def keys_match(b, page, name, out):
    """The arrows alone, no pointer: Down or Up held while the ball is more
    than 12 rows off the paddle, then Escape."""
    started(b, page)
    held = [None]

    def step(off):
        want = 'ArrowDown' if off > 12 else 'ArrowUp' if off < -12 else None
        if want != held[0]:
            if held[0]:
                b.key_up(held[0])
            if want:
                b.key_down(want)
            held[0] = want
    steered(b, step)
    step(0)
    if shown(b, 'end'):
        b.press('Escape', 0.1)
    saved(b, name, out)


def pad_match(b, page, name, out):
    """A stand-in gamepad: the left stick tilted by how far the ball is off
    the paddle, the D-pad for a while, Start to pause for a second and
    again to go on, then Back to end."""
    started(b, page)
    b.run(PAD)
    steered(b, lambda off: b.run('pad.axes[1] = arguments[0]', max(-1, min(1, off / 120))))
    b.run('pad.axes[1] = 0; set(9, true)')
    time.sleep(0.2)
    b.run('set(9, false)')
    time.sleep(1)
    b.run('set(9, true)')
    time.sleep(0.2)
    b.run('set(9, false); set(13, true)')
    time.sleep(0.5)
    b.run('set(13, false); set(8, true)')
    saved(b, name, out)


def touch(b, points, step):
    """A finger down at the first point, moved through the others step
    seconds apart, and lifted."""
    if b.name == 'Chromium':
        for kind, (x, y) in zip(['touchStart'] + ['touchMove'] * (len(points) - 1), points):
            b.cdp('Input.dispatchTouchEvent', {'type': kind, 'touchPoints': [
                {'x': x, 'y': y, 'id': 1, 'radiusX': 4, 'radiusY': 4, 'force': 1}]})
            time.sleep(step)
        b.cdp('Input.dispatchTouchEvent', {'type': 'touchEnd', 'touchPoints': []})
        return
    moves = [{'type': 'pointerMove', 'x': round(x), 'y': round(y), 'origin': 'viewport',
              'duration': round(step * 1000)} for x, y in points]
    b.actions({'type': 'pointer', 'id': 'finger', 'parameters': {'pointerType': 'touch'},
               'actions': moves[:1] + [{'type': 'pointerDown', 'button': 0}] + moves[1:]
               + [{'type': 'pointerUp', 'button': 0}]})


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--page', required=True, help='the built game page directory')
    parser.add_argument('--out', required=True, help='where the replays go')
    args = parser.parse_args()
    with Server(args.page) as page:
        for engine, short in (('chromium', 'chromium'), ('firefox', 'firefox'),
                              ('webkit', 'webkit')):
            with open_browser(engine) as b:
                pointer_match(b, page, 'web-%s-pointer.sparkrally' % short, args.out)
                if engine != 'webkit':  # its driver turns touch into mouse events
                    finger_match(b, page, 'web-%s-finger.sparkrally' % short, args.out)
                if engine == 'chromium':
                    keys_match(b, page, 'web-chromium-keys.sparkrally', args.out)
                    pad_match(b, page, 'web-chromium-gamepad.sparkrally', args.out)


if __name__ == '__main__':
    sys.exit(main())
