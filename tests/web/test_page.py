#!/usr/bin/python3
"""The web build in a real browser: the page plays, follows the pointer,
throws sparks, ends on Escape and says why it cannot start without WebGL;
it fits every screen, plays by touch, ends by its End match button, shows
the field alone in full screen, waits through a lost display and plays
offline; it pauses, holds the match while hidden, verifies and shows
replays from links and files, and its own recordings verify natively; and
its drawing matches the desktop's: rectangles pixel for pixel, lines to
within a pixel. One engine a run: Chromium, Firefox or WebKitGTK
(browsers.py); a test declares what it needs beyond what every engine's
automation offers (@needs), and skips, saying why, in an engine that lacks it.

Usage (Debian's python, which has selenium, websockets and PIL):
  /usr/bin/python3 tests/web/test_page.py --engine ENGINE --page DIR --scenes DIR \
      --native-scenes BIN --replays DIR --native BIN [unittest options]

  --engine ENGINE      chromium, firefox or webkit
  --page DIR           the built game page: index.html, sparkrally.js, sparkrally.wasm
  --scenes DIR         tests/web/scenes.cpp built for the browser: scenes.html, scenes.js,
                       scenes.wasm
  --native-scenes BIN  the same scenes.cpp built for the desktop against real SDL and OpenGL
  --replays DIR        the golden replays and their golden.txt
  --native BIN         the desktop game, which verifies the page's recordings

SPARKRALLY_WEB_TIME_SCALE multiplies every timeout.
"""
import argparse
import base64
import collections
import contextlib
import functools
import gzip
import os
import subprocess
import sys
import io
import math
import re
import struct
import tempfile
import time
import unittest
import zlib

from PIL import Image, ImageChops

from browsers import (CAPABILITIES, ENGINES, PAD, ScriptError, Server, clean_env, open_browser,
                      seconds, until)

ARGS = None  # the command line's engine, directories and binary
PAGE = SCENES = BROWSER = None  # the module's servers and shared browser


def mask(band, low):
    """255 where band >= low, else 0."""
    return band.point(lambda v: 255 if v >= low else 0)


def count(binary):
    return binary.histogram()[255]


def whites(img):
    r, g, b = img.split()
    return mask(ImageChops.darker(ImageChops.darker(r, g), b), 250)


def ballbox(img):
    """The bounding box of white in the field's interior, away from the paddles'
    columns and the pips' rows: where only the ball is white."""
    box = whites(img).crop((8, 20, 632, 480)).getbbox()
    if box is None:
        return None
    return (box[0] + 8, box[1] + 20, box[2] + 8, box[3] + 20)


def paddlerow(img):
    """The player's paddle's centre row in a picture of the field, from the
    lowest white row of its column (the top of the field may clip it, the
    bottom too), or None."""
    px = img.load()
    rows = [y for y in range(480) if px[3, y] == (255, 255, 255)]
    return None if not rows else 479 if rows[-1] == 479 else rows[-1] - 19


def link(data):
    """A replay file's bytes as the page's address carries them: base64url,
    unpadded."""
    return base64.urlsafe_b64encode(data).decode().rstrip('=')


def golden():
    """The kept replays: (file, frames, player's points, computer's points,
    digest) from golden.txt, whose lines then say where each was made."""
    with open(os.path.join(ARGS.replays, 'golden.txt')) as f:
        return [(name, int(frames), int(p), int(e), digest) for name, frames, p, e, digest in
                (line.split()[:5] for line in f if line.strip() and not line.startswith('#'))]


# What a kept replay that no longer plays as golden.txt says means.
CHANGED = ('%s no longer plays as golden.txt keeps it: the rules changed. If that was meant, '
           'raise rules_version in game/rulesversion.h and record the corpus again with '
           'scripts/record_corpus.sh')


def replay(name):
    with open(os.path.join(ARGS.replays, name), 'rb') as f:
        return f.read()


def varint(n):
    out = bytearray()
    while True:
        out.append(n & 0x7f | (0x80 if n > 0x7f else 0))
        n >>= 7
        if not n:
            return bytes(out)


def format1(frames):
    """A format-1 replay file (docs/replays.md) of frames (each frame's
    encoded bytes), in blocks of 300. Every digest is 0: the file reads, and
    drifts at its first digest when played."""
    header = b'SPRKRPLY' + struct.pack('<HB', 1, 5) + b'1.0.0'
    out = bytearray(header + struct.pack('<I', zlib.crc32(header)))
    stream = zlib.compressobj(9, zlib.DEFLATED, 15, 8)
    inflated = 0
    for first in range(0, len(frames), 300):
        events = b''.join(frames[first:first + 300])
        packed = stream.compress(events) + stream.flush(zlib.Z_SYNC_FLUSH)
        head = b'B' + struct.pack('<HIQI', min(300, len(frames) - first), len(events), 0,
                                  len(packed))
        out += head + struct.pack('<I', zlib.crc32(head)) + packed
        out += struct.pack('<I', zlib.crc32(packed))
        inflated += len(events)
    out += b'E' + struct.pack('<IIIQ', len(frames), (len(frames) + 299) // 300, inflated, 0)
    return bytes(out + struct.pack('<I', zlib.crc32(out)))


def closes(frames):
    """Frames of 65,536 close requests each, the most a frame may hold."""
    return [varint(65536) + b'\3' * 65536] * frames


def wandering(frames):
    """Frames of one pointer motion each, the pointer wandering smoothly
    over the field as a player's hand does."""
    out, x, y = [], 0, 0
    for t in range(frames):
        nx = 320 + round(250 * math.sin(t * 0.0123) + 20 * math.sin(t * 0.071))
        ny = 240 + round(190 * math.sin(t * 0.0091) + 15 * math.sin(t * 0.113))
        out.append(b'\1\1' + b''.join(varint(2 * d if d >= 0 else -2 * d - 1)
                                        for d in (nx - x, ny - y)))
        x, y = nx, ny
    return out


def needs(*capabilities):
    """Marks a test as needing browsers.CAPABILITIES that some engines'
    automation lacks: there it is skipped, with the engine's reason."""
    check(capabilities)

    def mark(test):
        @functools.wraps(test)
        def run(self, *args, **kwargs):
            self.require(capabilities)
            return test(self, *args, **kwargs)
        return run
    return mark


def check(capabilities):
    unknown = set(capabilities) - set(CAPABILITIES)
    if unknown:
        raise ValueError('no such capability: %s' % ', '.join(sorted(unknown)))
    return tuple(capabilities)


def setUpModule():
    global PAGE, SCENES, BROWSER
    stack = contextlib.ExitStack()
    unittest.addModuleCleanup(stack.close)
    BROWSER = stack.enter_context(open_browser(ARGS.engine))
    PAGE = stack.enter_context(Server(ARGS.page, inject=BROWSER.inject))
    SCENES = stack.enter_context(Server(ARGS.scenes, inject=BROWSER.inject))


class BrowserTest(unittest.TestCase):
    browser = None  # the class's own browser; the module's shared one by default

    @property
    def b(self):
        return self.browser or BROWSER

    def require(self, capabilities):
        """Skips the test (or subtest) where the engine lacks one of the
        capabilities, saying why."""
        lacking = [c for c in capabilities if c in self.b.lacks]
        if lacking:
            self.skipTest('; '.join('%s lacks %s: %s' % (self.b.name, CAPABILITIES[c],
                                                        self.b.lacks[c]) for c in lacking))

    def setUp(self):
        self.b.open('about:blank')
        self.b.console()  # what earlier tests left behind

    def assert_clean_console(self):
        """No console error or warning (WebGL reports its errors as warnings)."""
        bad = self.b.console()
        if bad:
            self.fail('console errors in %s:\n  ' % self.b.name +
                      '\n  '.join('%s: %s' % entry for entry in bad))

    def shown(self, element_id):
        return self.b.run('return document.getElementById(arguments[0])'
                          '.getClientRects().length > 0', element_id)

    def text(self, element_id):
        return self.b.run('return document.getElementById(arguments[0]).textContent',
                          element_id)

    def run_ended(self, timeout):
        """The run's exit status ('abort' on an abort), as the page reports it."""
        return self.b.wait_for('return window.runEnded', timeout=timeout)

    def frame(self):
        """Frames the game has played so far."""
        return self.b.run('return Module._sparkrally_frame()')

    def open_replay(self, kind, data, server=None):
        """Opens the page at #replay= or #verify= with data, afresh: from
        one such address to another the browser would only change the
        fragment."""
        self.b.open('about:blank')
        self.b.open('%sindex.html#%s=%s' % ((server or PAGE).url, kind, link(data)))

    def saved_replay(self):
        """Presses Save replay and returns the file it offers: its name and
        bytes, read back from the download's own address."""
        self.b.run('HTMLAnchorElement.prototype.click = function () {'
                   '  var a = this; window.saved = fetch(a.href)'
                   '    .then(function (r) { return r.arrayBuffer(); })'
                   '    .then(function (b) {'
                   '      return [a.download, Array.from(new Uint8Array(b))]; });'
                   '};')
        self.b.click('save')
        name, data = self.b.wait_for('return window.saved', timeout=10)
        self.assertRegex(name, r'^sparkrally-\d{8}-\d{6}\.sparkrally$')
        return bytes(data)

    def assert_verifies_natively(self):
        """The ended match's replay, as Save replay and Copy link offer it,
        verifies in the desktop game with the page's score, frames and
        digest."""
        data = self.saved_replay()
        self.assertEqual(data, bytes(self.b.run('return Array.from(Module.recording)')),
                         'Save replay offers other bytes than the recording')
        base = self.b.run('return location.href.split("#")[0]')
        self.assertEqual(self.b.run('return document.getElementById("link").value'),
                         base + '#replay=' + link(data), 'the link is not the saved file')
        score, frames, digest, verdict = self.b.run('return Module.replayResult').split()
        self.assertEqual(verdict, 'recorded')
        with tempfile.TemporaryDirectory(prefix='sparkrally-page-replay-') as home:
            path = os.path.join(home, 'page.sparkrally')
            with open(path, 'wb') as f:
                f.write(data)
            native = subprocess.run([ARGS.native, '--verify', path], capture_output=True,
                                    text=True, timeout=seconds(60), env=clean_env(home))
        said = native.stdout + native.stderr
        self.assertEqual((native.returncode, said),
                         (0, 'final score %s after %s frames, state digest %s\nreplay verified\n'
                          % (score, frames, digest)),
                         'the desktop game does not verify the page\'s %d-byte replay' % len(data))


class PageTest(BrowserTest):
    """Opens the game's page and reads what it shows."""

    def load(self, server=None):
        self.b.open((server or PAGE).url + 'index.html')
        # Screenshots are read as field pixels: that needs a 1:1 scale and the
        # whole canvas in view.
        view = self.b.run(
            'var r = document.getElementById("canvas").getBoundingClientRect();'
            'return [window.devicePixelRatio, r.left, r.top, r.width, r.height,'
            '        window.innerWidth, window.innerHeight];')
        ratio, left, top, width, height, vw, vh = view
        self.assertEqual((ratio, width, height), (1, 640, 480), 'canvas not shown 1:1: %r' % view)
        self.assertTrue(left >= 0 and top >= 0 and left + width <= vw and top + height <= vh,
                        'canvas not wholly in view: %r' % view)
        # The page's load comes before the game's start (the .wasm arrives
        # later): a pointer moved before the first frame moves nothing.
        until(lambda: ballbox(self.shot()), 10, 'the match did not start')

    def shot(self):
        img = self.b.shot('canvas')
        self.assertEqual(img.size, (640, 480), 'a canvas screenshot is not 1:1 with the field')
        return img

    def point(self, x, y):
        """Moves the real pointer to field pixel (x, y)."""
        self.b.point('canvas', x, y)

    def assert_paddle_at(self, row, shot, how):
        """The player's paddle is centred on field row row: in columns 0..7
        over the 50 rows above and below it, white exactly at x 2..4 and the
        20 rows above and below, black around it (for row 150: y 130..169)."""
        def wrong(img):
            px = img.load()
            return [(x, y) for y in range(max(row - 50, 0), min(row + 50, 480)) for x in range(8)
                    if (px[x, y] == (255, 255, 255)) != (2 <= x <= 4 and row - 20 <= y < row + 20)]

        last = {}

        def placed():
            last['img'] = shot()
            last['wrong'] = wrong(last['img'])
            return not last['wrong']

        def why():
            rows = [y for y in range(480) if last['img'].getpixel((3, y)) == (255, 255, 255)]
            return ('%s: paddle not at x 2..4, y %d..%d: wrong pixels %s; white rows of column '
                    '3: %s' % (how, row - 20, row + 19, last['wrong'][:8],
                               rows and '%d..%d' % (rows[0], rows[-1])))

        until(placed, 5, why)

    def assert_ball_moves(self):
        """The ball is on the field and moves; its first and a later box."""
        first = until(lambda: ballbox(self.shot()), 10, 'no ball seen on the field')

        def moved():
            box = ballbox(self.shot())
            return box if box and box != first else None

        return first, until(moved, 5, 'the ball did not move from %r' % (first,))


class GamePage(PageTest):
    def test_page_weighs_at_most_100_kib_gzipped(self):
        # Everything the page loads, at once or to install and play offline:
        # what it fetches from here and every file its service worker keeps.
        self.load()
        until(lambda: self.b.run('return typeof Module.asm !== "undefined"'), 10,
              'the game did not load')
        loaded = self.b.run(
            'return [location.href].concat(performance.getEntriesByType("resource")'
            '.map(function (e) { return e.name; }))')
        files = {'sw.js'}
        for url in loaded:
            self.assertTrue(url.startswith(PAGE.url), 'the page loads %s from elsewhere' % url)
            files.add(url[len(PAGE.url):].split('?')[0] or 'index.html')
        with open(os.path.join(ARGS.page, 'sw.js')) as f:
            kept = re.search(r'const FILES = \[(.*)\];', f.read()).group(1)
        files |= {name.strip("' ") for name in kept.split(',')} - {'./'}
        weights = {}
        for name in sorted(files):
            with open(os.path.join(ARGS.page, name), 'rb') as f:
                weights[name] = len(gzip.compress(f.read(), 9))
        weight = sum(weights.values())
        self.assertLessEqual(weight, 100 * 1024, 'the page loads %d bytes gzipped: %s'
                             % (weight, weights))
        self.assert_clean_console()

    def test_ball_moves_towards_the_player(self):
        self.load()
        first, later = self.assert_ball_moves()
        # The outline is 10 pixels across, give or take a rasterized pixel.
        for size in (first[2] - first[0], first[3] - first[1]):
            self.assertTrue(9 <= size <= 12, 'ball outline box %r' % (first,))
        self.assertLess(later[0], first[0], 'the serve goes left, towards the player')
        self.assert_clean_console()

    def test_pointer_places_the_player_paddle(self):
        self.load()
        self.point(3, 150)
        self.assert_paddle_at(150, self.shot, 'the pointer at row 150')
        self.assert_clean_console()

    def test_bounce_on_the_player_paddle_throws_blue_sparks(self):
        self.load()
        # The serve meets the left edge near y 122: a paddle centred at 124 hits it.
        self.point(3, 124)

        def sparks():
            r, g, b = self.shot().split()
            # Saturated: the brightest channel 100 or more above the darkest.
            high = ImageChops.lighter(ImageChops.lighter(r, g), b)
            low = ImageChops.darker(ImageChops.darker(r, g), b)
            saturated = count(mask(ImageChops.subtract(high, low), 100))
            # The player's burst: red 0, green below 50, blue from 155.
            blue = count(mask(ImageChops.subtract(b, ImageChops.lighter(r, g)), 100))
            return (saturated, blue) if saturated >= 30 else None

        saturated, blue = until(sparks, 8, 'no burst of coloured sparks within 8 s of the serve')
        self.assertGreaterEqual(blue, saturated * 0.9,
                                'the sparks are not blue: %d of %d' % (blue, saturated))
        self.assert_clean_console()

    def test_pauses_keep_showing_the_last_whole_frame(self):
        # Left alone, the player's paddle waits on the top edge and the
        # computer scores every few seconds. Each goal pauses half a second
        # inside its frame, after the clear and the paddles but before the
        # pips: were that frame shown, the computer's pips would vanish.
        self.load()

        def pips(img):
            return count(whites(img).crop((600, 8, 630, 9))) // 3

        seen = []

        def third_goal():
            seen.append(pips(self.shot()))
            self.assertEqual(seen, sorted(seen), 'the score shrank during a pause')
            return seen[-1] >= 3

        until(third_goal, 10, lambda: 'fewer than three goals seen: %s' % seen)
        self.assert_clean_console()

    def test_escape_ends_the_run_and_play_again_reloads(self):
        self.load()
        self.b.press('Escape', 0.2)
        self.assertEqual(self.run_ended(5), 0, 'the run did not end with status 0')
        self.assertTrue(self.shown('over'), 'the page did not say the run ended')
        self.assertEqual(self.text('verdict'), 'The match is over.')
        self.assertEqual(self.text('output'), '', 'the game printed something')
        self.assertFalse(self.shown('help'))
        # The canvas keeps the last frame: its paddles are still there.
        self.assertGreater(count(whites(self.shot())), 100, 'the canvas lost its last frame')

        self.b.run('window.beforeagain = true;')
        self.b.click('again')
        until(lambda: self.b.run(
            'return !window.beforeagain && document.readyState === "complete"'), 10,
            'Play again did not reload the page', ignored=(ScriptError,))
        self.assertFalse(self.shown('over'))
        until(lambda: ballbox(self.shot()), 10, 'no new match after reload')
        self.assert_clean_console()


    def paddle_row(self):
        row = paddlerow(self.shot())
        self.assertIsNotNone(row, 'no player paddle on the field')
        return row

    def tab_to(self, element_id):
        """Tab until the focus is on the control, as a player would."""
        if self.b.run('return document.activeElement.id') == element_id:
            return
        for _ in range(12):
            self.b.press('Tab', 0.02)
            if self.b.run('return document.activeElement.id') == element_id:
                return
        self.fail('Tab never reached %s' % element_id)

    def press_control(self, element_id, key):
        """Tab to the control and press it with key. Where the engine's
        automation cannot press a focused button by a key, the focused
        control is clicked from the page: the Tab path is still tested."""
        self.tab_to(element_id)
        if 'key press' in self.b.lacks:
            self.b.run('document.activeElement.click()')
        else:
            self.b.press(key, 0.05)

    def test_a_keyboard_alone_plays_pauses_ends_and_watches_the_replay(self):
        self.load()
        # Down held from the top, where the paddle starts without a pointer:
        # however many frames it was held, the paddle moved by the keys'
        # profile, 3 pixels, then 1 more each frame, up to 16.
        self.b.press('ArrowDown', 0.3)
        reach = [sum(min(3 + i, 16) for i in range(n)) for n in range(1, 200)]
        moved = self.paddle_row()
        self.assertIn(moved, reach, 'Down moved the paddle off the keys\' profile')
        self.b.press('ArrowDown', 1.5)
        self.assert_paddle_at(479, self.shot, 'Down held to the bottom')
        # The controls, by Tab, and pressed by Space and Enter.
        self.press_control('pause', 'Space')
        until(lambda: self.b.run('return Module._sparkrally_paused()'), 5, 'Space did not pause')
        self.assertEqual(self.text('pause'), 'Resume')
        self.press_control('pause', 'Enter')
        until(lambda: not self.b.run('return Module._sparkrally_paused()'), 5,
              'Enter did not resume')
        self.b.press('ArrowUp', 1.5)
        self.assert_paddle_at(0, self.shot, 'Up held to the top')
        self.press_control('end', 'Enter')
        self.assertEqual(self.run_ended(5), 0, 'End match by Enter did not end the run')
        self.assertEqual(self.b.run('return document.activeElement.id'), 'again',
                         'the focus did not move to the end\'s first control')
        recording = self.b.run('return Array.from(Module.recording)')
        self.press_control('watch', 'Enter')
        until(lambda: self.b.run('return document.documentElement.classList.contains("replaying")'),
              10, 'Watch replay did not play the replay', ignored=(ScriptError,))
        self.assertEqual(self.b.run('return location.hash'), '#replay=' + link(bytes(recording)))
        self.assertEqual(self.run_ended(30), 0, 'the replay did not play to its end')
        self.assertRegex(self.text('verdict'), r'^Replay verified: ')
        self.assert_clean_console()

    def test_a_gamepad_moves_pauses_and_ends(self):
        # No driver here can press a real pad: PAD stands in for the
        # browser's Gamepad API.
        self.load()
        self.b.run(PAD)
        self.b.run('set(13, true)')  # the D-pad's down
        self.assert_paddle_at(479, self.shot, 'D-pad down held to the bottom')
        self.b.run('set(13, false); pad.axes[1] = -1')  # the left stick, up
        self.assert_paddle_at(0, self.shot, 'left stick tilted up to the top')
        self.b.run('pad.axes[1] = 0.1')  # within the dead zone
        time.sleep(0.3)
        self.assert_paddle_at(0, self.shot, 'the stick at rest')
        self.b.run('set(9, true)')  # Start
        until(lambda: self.b.run('return Module._sparkrally_paused()'), 5, 'Start did not pause')
        self.b.run('set(9, false)')
        time.sleep(0.2)  # the pause reads the pad every 10 ms
        self.b.run('set(9, true)')
        until(lambda: not self.b.run('return Module._sparkrally_paused()'), 5,
              'Start did not resume')
        self.b.run('set(8, true)')  # Back
        self.assertEqual(self.run_ended(5), 0, 'Back did not end the run')
        self.assert_clean_console()

    def test_lost_display_waits_and_the_match_goes_on(self):
        self.load()
        # Every frame ends in a 16 ms sleep: count them.
        self.b.run(
            'window.frames16 = 0; var timeout = window.setTimeout;'
            'window.setTimeout = function (f, ms) {'
            '  if (ms === 16) window.frames16++; return timeout.apply(window, arguments); };'
            'window.loser = document.getElementById("canvas").getContext("webgl")'
            '  .getExtension("WEBGL_lose_context"); window.loser.loseContext();')
        until(lambda: self.shown('lost'), 5, 'the page did not say the display was lost')
        self.assertIn('display was lost', self.text('lost'))
        # The frame under way when the display went may still end its sleep.
        before = self.b.run('return window.frames16')
        time.sleep(seconds(1.5))
        waited = self.b.run('return window.frames16') - before
        self.assertLessEqual(waited, 1, 'the match went on for %d frames unseen' % waited)

        self.b.run('window.loser.restoreContext()')
        until(lambda: not self.shown('lost'), 5, 'the lost display line stayed')
        until(lambda: self.b.run('return window.frames16') > before + 5, 5,
              'the match did not go on after the display came back')
        # A whole frame again: both paddles and the ball.
        until(lambda: ballbox(self.shot()), 5, 'no ball after the restore')
        self.assertGreater(count(whites(self.shot()).crop((0, 0, 8, 480))), 20, 'no player paddle')
        self.assertGreater(count(whites(self.shot()).crop((632, 0, 640, 480))), 20,
                           'no computer paddle')
        self.assert_clean_console()

    def test_refused_shaders_say_so(self):
        # A WebGL that refuses the layer's shaders, as a broken driver would.
        refusing = b'<script>WebGLRenderingContext.prototype.shaderSource = (function (set) {' \
                   b'  return function (shader, source) { set.call(this, shader, source + "!"); };' \
                   b'})(WebGLRenderingContext.prototype.shaderSource);</script>'
        with Server(ARGS.page, inject=self.b.inject + refusing) as page:
            self.b.open(page.url + 'index.html')
            self.assertEqual(self.run_ended(10), 1, 'the run did not end with status 1')
        self.assertEqual(self.text('verdict'), 'The game could not start.')
        self.assertIn("Unable to set video mode: WebGL refused the field's shaders\n",
                      self.text('output'))
        errors = [text for level, text in self.b.console()]
        self.assertTrue(any("the vertex shader's compilation failed: " in e for e in errors),
                        'no shader log among the console errors: %s' % errors)

    def test_an_uncaught_error_ends_with_the_page_verdict(self):
        self.load()
        # A script of the page's own that throws.
        self.b.run('var bad = document.createElement("script");'
                   'bad.textContent = "throw new Error(\'trouble\')";'
                   'document.body.appendChild(bad);')
        self.assertEqual(self.run_ended(5), 'abort')
        self.assertEqual(self.text('verdict'), 'The game stopped on an error.')
        self.assertIn('trouble', self.text('output'))

    def test_no_unload_listener(self):
        # The browser's SDL would listen for the page's unload, which
        # browsers deprecate and which keeps the page out of the
        # back/forward cache. Every unload listener added to the window is
        # counted, whoever adds it, and its onunload read.
        counting = b'<script>window.unloadListeners = 0;' \
                   b'EventTarget.prototype.addEventListener = (function (add) {' \
                   b'  return function (type) {' \
                   b'    if (this === window && type === "unload") window.unloadListeners++;' \
                   b'    return add.apply(this, arguments); };' \
                   b'})(EventTarget.prototype.addEventListener);</script>'
        with Server(ARGS.page, inject=self.b.inject + counting) as page:
            self.load(page)  # the match has started: SDL is set up
            self.assertEqual(self.b.run('return [window.unloadListeners, window.onunload]'),
                             [0, None], 'the page listens for its unload')
        self.assert_clean_console()

    def test_golden_replays_verify_unseen(self):
        for name, frames, p, e, digest in golden():
            with self.subTest(name):
                self.open_replay('verify', replay(name))
                self.assertEqual(self.b.wait_for('return window.replayResult', timeout=60),
                                 '%d-%d %d %s verified' % (p, e, frames, digest), CHANGED % name)
                self.assertEqual(self.run_ended(5), 0)
                self.assertEqual(self.text('verdict'),
                                 'Replay verified: %d\u2013%d after %d frames.' % (p, e, frames))
                # The replay can be kept and passed on from here too.
                self.assertTrue(self.shown('save') and self.shown('link'))
                self.assert_clean_console()

    def test_a_replay_link_plays_shown_with_pause_step_and_speed(self):
        name, frames, p, e, digest = [g for g in golden() if g[0] == 'close.sparkrally'][0]
        data = replay(name)
        self.open_replay('replay', data)
        until(lambda: self.b.run('return (window.replayTimes || {}).firstFrame'), 10,
              'no frame of the replay shown')
        times = self.b.run('return window.replayTimes')
        print('\n%s: a replay link started: handed to the game %.0f ms after the page\'s '
              'script began, the game set up after %.0f ms, its first frame (after the serve\'s '
              'half-second pause) after %.0f ms' % (
                  self.b.name, times['loaded'] - times['script'],
                  times['started'] - times['script'], times['firstFrame'] - times['script']),
              file=sys.stderr)
        self.assertTrue(self.shown('watching'), 'the page does not say a replay plays')
        self.assertFalse(self.shown('help'))

        self.b.click('pause')
        until(lambda: self.text('pause') == 'Resume', 2, 'Pause did not pause')
        # The frame under way may still end.
        time.sleep(seconds(0.1))
        paused, shot = self.frame(), self.shot()
        time.sleep(seconds(0.5))
        self.assertEqual(self.frame(), paused, 'the replay went on while paused')
        self.assertEqual(ImageChops.difference(shot, self.shot()).getbbox(), None,
                         'the field changed while paused')
        self.b.click('step')
        until(lambda: self.frame() == paused + 1, 2, 'Step did not play one frame')
        self.b.press('ArrowRight', 0.05)
        until(lambda: self.frame() == paused + 2, 2, 'the right arrow did not play one frame')
        time.sleep(seconds(0.3))
        self.assertEqual(self.frame(), paused + 2, 'stepping went on playing')
        self.b.press('Space', 0.05)
        until(lambda: self.frame() > paused + 2, 2, 'Space did not resume')
        self.assertEqual(self.text('pause'), 'Pause')

        self.b.press('+', 0.05)
        until(lambda: self.text('speed') == '2\u00d7', 2, '+ did not double the speed')
        for factor in (4, 8):
            self.b.click('faster')
            until(lambda: self.text('speed') == '%d\u00d7' % factor, 2, 'Faster did not '
                  'double the speed: %s' % self.text('speed'))
        self.assertTrue(self.b.run('return document.getElementById("faster").disabled'),
                        'Faster is offered past 8x')
        self.assertEqual(self.b.wait_for('return window.replayResult', timeout=30),
                         '%d-%d %d %s verified' % (p, e, frames, digest))
        self.assertEqual(self.run_ended(5), 0)
        self.assertEqual(self.text('verdict'), 'Replay verified: %d\u2013%d after %d frames.'
                         % (p, e, frames))
        self.assertEqual(self.b.run('return document.getElementById("link").value'),
                         PAGE.url + 'index.html#replay=' + link(data))
        self.assert_clean_console()

    def test_a_match_played_here_verifies_natively(self):
        self.load()
        for row in (100, 300, 150):
            self.point(3, row)
            self.assert_paddle_at(row, self.shot, 'the pointer at row %d' % row)
        self.b.click('end')
        self.assertEqual(self.run_ended(5), 0)
        self.assertTrue(self.shown('save') and self.shown('copy'), 'no Save replay or Copy link')
        # Copied, or where the browser refuses the clipboard, said so.
        self.b.click('copy')
        until(lambda: self.text('shared'), 5, 'Copy link said nothing')
        self.assertRegex(self.text('shared'), r'^(Link copied\.|The link could not be copied '
                         r'\(.+\): copy it from the field\.)$')
        self.assert_verifies_natively()
        self.assert_clean_console()

    def test_a_replay_that_cannot_be_read_says_why_and_a_match_plays(self):
        close = replay('close.sparkrally')
        for kind, text, why in [
                ('replay', 'U1BSS1$$', 'the link is damaged (it is not base64url)'),
                ('replay', link(b'not a replay at all'), 'not a sparkrally replay (wrong magic)'),
                ('verify', link(close[:10]), None)]:
            with self.subTest(text):
                self.b.open('about:blank')
                self.b.open('%sindex.html#%s=%s' % (PAGE.url, kind, text))
                until(lambda: self.shown('refused'), 10, 'the page did not refuse the replay')
                said = self.text('refused')
                self.assertTrue(said.startswith('This replay cannot be played: ') and
                                said != 'This replay cannot be played: ', said)
                if why:
                    self.assertEqual(said, 'This replay cannot be played: ' + why)
                self.assertEqual(self.b.run('return location.hash'), '',
                                 'the page kept the replay it cannot play')
                self.assert_ball_moves()
                self.assertFalse(self.shown('over'), 'the run ended')
                self.assert_clean_console()

    def drop(self, data=None, zeros=0):
        """Drops a file on the field: data, or that many zero bytes made in
        the page."""
        self.b.run('var bytes = arguments[0] === null ? new Uint8Array(arguments[1]) :'
                   '  Uint8Array.from(atob(arguments[0]), function (c) {'
                   '    return c.charCodeAt(0); });'
                   'var files = new DataTransfer();'
                   'files.items.add(new File([bytes], "dropped.sparkrally"));'
                   'document.getElementById("field").dispatchEvent(new DragEvent("drop",'
                   '  {dataTransfer: files, bubbles: true, cancelable: true}));',
                   None if data is None else base64.b64encode(data).decode(), zeros)

    def test_a_dropped_file_plays_and_end_ends_it(self):
        # A file short enough for a link goes into the address; a longer one
        # (here a wrong one) waits in the tab's storage.
        drop = self.drop
        self.load()
        close = replay('close.sparkrally')
        drop(close)
        until(lambda: self.b.run('return document.readyState === "complete" && '
                                 '!!window.replayTimes'), 10, 'the dropped replay did not start',
              ignored=(ScriptError,))
        self.assertEqual(self.b.run('return location.hash'), '#replay=' + link(close))
        until(lambda: self.frame() > 10, 10, 'the dropped replay does not play')
        self.b.click('end')
        self.assertEqual(self.run_ended(5), 0)
        self.assertTrue(self.b.wait_for('return window.replayResult', timeout=5).endswith(' ended'))
        self.assertEqual(self.text('verdict'), 'Replay ended.')

        drop(b'\0' * 30000)
        until(lambda: self.b.run('return location.hash === "" && document.readyState === '
                                 '"complete" && !document.getElementById("refused").hidden'),
              10, 'the long file was not refused', ignored=(ScriptError,))
        self.assertEqual(self.text('refused'),
                         'This replay cannot be played: not a sparkrally replay (wrong magic)')
        self.assert_ball_moves()
        self.assert_clean_console()

    def assert_said_and_forgotten(self, how):
        """After a replay was opened: the page refused it, saying why, and a
        match plays; or it played the replay and said what it found. Either
        way the address no longer names it, so that a reload plays a match.
        Returns what the page said."""
        said = until(lambda: self.b.run(
            'if (document.readyState !== "complete") return null;'
            'var refused = document.getElementById("refused");'
            'if (!refused.hidden) return refused.textContent;'
            'return document.getElementById("over").hidden ? null :'
            '  document.getElementById("verdict").textContent;'), 120,
            '%s: the page said nothing' % how, ignored=(ScriptError,))
        if said.startswith('This replay cannot be played: '):
            self.assert_ball_moves()
            self.assertFalse(self.shown('over'), '%s: the run ended' % how)
        else:
            self.assertEqual(self.run_ended(5), 0, '%s: %s' % (how, self.text('output')))
            self.assertRegex(said, r'^(Replay verified|The replay file is incomplete|'
                             r'This replay drifted|Replay ended)', how)
            self.assertTrue(self.shown('again'), '%s: no way to play a match' % how)
        self.assertEqual(self.b.run('return location.hash'), '',
                         '%s: the address still names the replay' % how)
        self.assert_clean_console()
        return said

    def test_no_replay_however_large_or_crafted_stops_the_page(self):
        # Each case once, in one engine: the reader and the heap are the
        # page's own wasm in every engine, and crafted files take a while.
        if self.b.name != 'Chromium':
            self.skipTest('the crafted replays run in Chromium alone')
        limit = 64 << 20
        flood = format1(closes(30))
        self.assertEqual(len(link(flood)), 2764)
        long_match = format1(wandering(324000))
        for how, opened in [
                ('30 frames of 65,536 close requests, a 2,764-character link',
                 lambda: self.open_replay('replay', flood)),
                ('a 90-minute match of pointer motion, %d bytes, verified'
                 % len(long_match), lambda: self.open_replay('verify', long_match)),
                ('13 blocks of close requests, a dropped file',
                 lambda: self.drop(format1(closes(13 * 300)))),
                ('a link of 1,500,000 characters after a replay\'s header',
                 lambda: self.open_replay('replay', flood[:20] + bytes(1125000)))]:
            with self.subTest(how):
                self.b.console()  # what the last case left behind
                if how.endswith('dropped file'):
                    self.load()
                opened()
                print('\n%s: %s' % (how, self.assert_said_and_forgotten(how)), file=sys.stderr)
                if how.startswith('a 90-minute match'):
                    # Too long to share: the link's length is told, not made.
                    self.assertEqual(self.text('shared'), 'A link to this replay would be %d '
                                     'characters long, too long to share: save the file instead.'
                                     % len(PAGE.url + 'index.html#replay=' + link(long_match)))
        # Files over the reader's limit, or more than the tab can keep, are
        # refused unread; the match goes on.
        self.load()
        for size, why in [
                (limit + 1, '%d bytes, more than the %d a replay may have' % (limit + 1, limit)),
                (20 << 20, 'this tab cannot keep a file of %d bytes (' % (20 << 20))]:
            with self.subTest('a dropped file of %d bytes' % size):
                self.drop(zeros=size)
                until(lambda: self.shown('refused'), 30, 'the file was not refused')
                self.assertTrue(self.text('refused').startswith(
                    'This replay cannot be played: ' + why), self.text('refused'))
                self.b.run('document.getElementById("refused").hidden = true;')
                self.assert_ball_moves()
                self.assertFalse(self.shown('over'), 'the run ended')
                self.assert_clean_console()

    def test_pause_and_a_hidden_tab_hold_the_match(self):
        self.load()
        for how, pause, resume in [
                ('Pause', lambda: self.b.click('pause'), lambda: self.b.click('pause')),
                ('P', lambda: self.b.press('p', 0.05), lambda: self.b.press('p', 0.05)),
                ('a hidden tab', lambda: self.hide(True), lambda: self.hide(False))]:
            with self.subTest(how):
                pause()
                if how != 'a hidden tab':
                    until(lambda: self.text('pause') == 'Resume', 2, '%s: not paused' % how)
                # The frame under way may still end.
                time.sleep(seconds(0.1))
                held, shot = self.frame(), self.shot()
                time.sleep(seconds(0.5))
                self.assertEqual(self.frame(), held, '%s: the match went on' % how)
                self.assertIsNone(ImageChops.difference(shot, self.shot()).getbbox(),
                                  '%s: the field changed' % how)
                resume()
                until(lambda: self.frame() > held + 5, 2, '%s: the match did not go on' % how)
                until(lambda: self.text('pause') == 'Pause', 2, '%s: Pause reads %s'
                      % (how, self.text('pause')))
        self.assertFalse(self.shown('over'), 'the run ended')
        self.assert_clean_console()

    def hide(self, hidden):
        """The tab hidden or shown, as the page sees it."""
        self.b.run('Object.defineProperty(document, "hidden", {value: arguments[0],'
                   '                                           configurable: true});'
                   'document.dispatchEvent(new Event("visibilitychange"));', 1 if hidden else 0)


# Screens as players have them: CSS size, device pixel ratio, a phone's or
# tablet's browser, the field's expected CSS size on that screen (a whole
# multiple from 2x up, otherwise the largest 4:3 box, with the text beside
# the field where that leaves a larger one), and what the engine needs to
# show the screen.
Screen = collections.namedtuple('Screen', 'name width height ratio mobile size needs')
SCREENS = [
    Screen('phone', 390, 844, 3, True, (372, 279), check(['narrow window'])),
    Screen('phone on its side', 844, 390, 3, True, (496, 372), ()),
    Screen('tablet', 820, 1180, 2, True, (804, 603), ()),
    Screen('desktop window that holds 2x', 1400, 1150, 1, False, (1280, 960), ()),
    Screen('maximised window on a 1080p screen', 1920, 807, 1, False, (1052, 789), ()),
    Screen('short, wide window', 1366, 507, 1, False, (652, 489), ()),
    Screen('window short of 2x', 1400, 714, 1, False, (928, 696), ()),
]

# The canvas keeps its pixels after they are shown, so that a script can
# read the last swapped frame back whatever the field's size on the screen.
READBACK = (b'<script>HTMLCanvasElement.prototype.getContext = (function (get) {'
            b'  return function (type, attrs) {'
            b'    return get.call(this, type, Object.assign({}, attrs, {preserveDrawingBuffer: true}));'
            b'  };'
            b'})(HTMLCanvasElement.prototype.getContext);</script>')


class EveryScreen(PageTest):
    """The page on phones, tablets and big screens (in Chromium its device
    emulation, elsewhere a window of the screen's size), played by touch,
    and in full screen. The field is read back from the canvas' own
    640 x 480 pixels."""

    def setUp(self):
        super().setUp()
        self.page = Server(ARGS.page, inject=self.b.inject + READBACK)
        self.addCleanup(self.page.close)

    def open(self):
        self.b.open(self.page.url + 'index.html')
        until(lambda: ballbox(self.field()), 10, 'the match did not start')

    def on_screen(self, width, height, ratio, mobile):
        self.addCleanup(self.b.screen)  # also where the screen could not be had
        self.b.screen(width, height, ratio, mobile)
        self.open()

    def field(self):
        """The field's 640 x 480 pixels as last swapped."""
        url = self.b.run('return document.getElementById("canvas").toDataURL()')
        img = Image.open(io.BytesIO(base64.b64decode(url.split(',', 1)[1]))).convert('RGB')
        self.assertEqual(img.size, (640, 480), 'the drawing buffer is not 640 x 480')
        return img

    def view(self):
        return self.b.run(
            'var r = document.getElementById("canvas").getBoundingClientRect();'
            'var v = window.visualViewport, full = document.fullscreenElement;'
            'return {left: r.left, top: r.top, width: r.width, height: r.height,'
            '        innerWidth: innerWidth, innerHeight: innerHeight, scale: v.scale,'
            '        scrollX: scrollX, scrollY: scrollY,'
            '        pageWidth: document.documentElement.scrollWidth,'
            '        pageHeight: document.documentElement.scrollHeight,'
            '        full: full ? full.id : null,'
            '        rendering: getComputedStyle(document.getElementById("canvas"))'
            '                   .imageRendering}')

    @staticmethod
    def at(v, fx, fy):
        """The viewport point over the centre of field pixel (fx, fy)."""
        return (v['left'] + (fx + 0.5) * v['width'] / 640, v['top'] + (fy + 0.5) * v['height'] / 480)

    def drag_to_150(self):
        """A finger put on the field's middle and dragged to row 150 (or the
        row under the whole pixel nearest to it, where the engine touches
        at whole pixels); the paddle follows it there."""
        v = self.view()
        x, y = self.b.drag([self.at(v, 320, row) for row in (300, 250, 200, 150)])[-1]
        row = int((y - v['top']) * 480 / v['height'])
        self.assert_paddle_at(row, self.field, 'a finger at row %d' % row)

    def test_the_whole_field_fits_every_screen(self):
        for name, width, height, ratio, mobile, size, screen_needs in SCREENS:
            with self.subTest(name):
                self.require(screen_needs)
                self.on_screen(width, height, ratio, mobile)
                v = self.view()
                self.assertEqual((v['width'], v['height']), size, '%s: %r' % (name, v))
                self.assertTrue(v['left'] >= 0 and v['top'] >= 0
                                and v['left'] + v['width'] <= v['innerWidth']
                                and v['top'] + v['height'] <= v['innerHeight'],
                                '%s: the field is not wholly on the screen: %r' % (name, v))
                self.assertTrue(v['pageWidth'] <= v['innerWidth']
                                and v['pageHeight'] <= v['innerHeight'],
                                '%s: the page is larger than the screen: %r' % (name, v))
                # Pixels are drawn as squares at whole factors alone: scaled
                # by any other, a few rows and columns would come out twice.
                self.assertEqual(v['rendering'] == 'pixelated', size[0] % 640 == 0,
                                 '%s: image-rendering %s at %d x %d'
                                 % (name, v['rendering'], *size))
                self.assert_clean_console()

    @needs('touch', 'narrow window')  # the scrolled page is a phone's
    def test_a_finger_drives_the_paddle_on_every_screen(self):
        for name, width, height, ratio, mobile, size, screen_needs in SCREENS:
            with self.subTest(name):
                self.require(screen_needs)
                self.on_screen(width, height, ratio, mobile)
                self.drag_to_150()
                after = self.view()
                self.assertEqual((after['scrollX'], after['scrollY'], after['scale']), (0, 0, 1),
                                 '%s: the finger scrolled or zoomed the page' % name)
                self.assert_clean_console()
        with self.subTest('a scrolled page'):
            # Scrolled by 100 px (more content below), the field moves up and
            # the finger still lands on its own row.
            self.on_screen(390, 844, 3, True)
            self.b.run('var more = document.createElement("div"); more.style.height = "2000px";'
                       'document.body.appendChild(more); window.scrollTo(0, 100);')
            self.assertEqual(self.view()['scrollY'], 100)
            self.drag_to_150()
            self.assert_clean_console()

    @needs('touch', 'devtools', 'narrow window')
    def test_a_cancelled_touch_is_let_go(self):
        # The browser takes a touch back (a gesture of its own): that finger
        # holds nothing, and the next one, wherever it lands, drives the
        # paddle.
        self.on_screen(390, 844, 3, True)
        v = self.view()

        def touch(kind, number=None, row=None):
            self.b.cdp('Input.dispatchTouchEvent', {'type': kind, 'touchPoints': [] if row is None
                                                    else [dict(zip('xy', self.at(v, 320, row)),
                                                               id=number)]})

        touch('touchStart', 1, 400)
        self.addCleanup(touch, 'touchEnd')  # no finger left down for the tests after
        self.assert_paddle_at(400, self.field, 'a finger at row 400')
        touch('touchCancel')
        touch('touchStart', 2, 100)
        self.assert_paddle_at(100, self.field, 'a new finger at row 100 after a cancelled one')
        self.assert_clean_console()

    @needs('touch', 'narrow window')
    def test_a_match_played_by_a_finger_verifies_natively(self):
        self.on_screen(390, 844, 3, True)
        self.drag_to_150()
        left, top, width, height = self.b.rect('end')
        self.b.drag([(left + width / 2, top + height / 2)])
        self.assertEqual(self.run_ended(5), 0, 'the run did not end with status 0')
        self.assert_verifies_natively()
        self.assert_clean_console()

    @needs('touch', 'narrow window')
    def test_end_match_by_a_tap(self):
        self.on_screen(390, 844, 3, True)
        left, top, width, height = self.b.rect('end')
        self.b.drag([(left + width / 2, top + height / 2)])
        self.assertEqual(self.run_ended(5), 0, 'the run did not end with status 0')
        self.assertTrue(self.shown('over'))
        self.assertEqual(self.text('verdict'), 'The match is over.')
        self.assertFalse(self.shown('end'), 'End match is still offered')
        self.assert_clean_console()

    def enter_full_screen(self):
        self.b.click('full')
        # Entering and leaving full screen can take a while where the
        # browser animates it.
        until(lambda: self.view()['full'] or self.text('output'), 10, 'no full screen, no word why')
        self.assertEqual(self.view()['full'], 'field', 'no full screen: %s' % self.text('output'))

    @needs('full screen')
    def test_full_screen_shows_the_field_alone_and_the_pointer_is_exact(self):
        self.open()
        self.enter_full_screen()

        last = {}

        def boxed():
            # Settled, too: where the browser animates into full screen the
            # window still changes after the field first fills it.
            v = self.view()
            side = 4 * int(160 * min(v['innerWidth'] / 640, v['innerHeight'] / 480))
            settled = v == last.get('view')
            last['view'] = v
            return v if settled and (v['width'], v['height']) == (side, side * 3 // 4) else None

        v = until(boxed, 10, lambda: 'the field is not the screen\'s largest 4:3 box: %r'
                  % self.view())
        self.assertLessEqual(abs(v['left'] * 2 + v['width'] - v['innerWidth']), 2, 'not centred')
        self.assertLessEqual(abs(v['top'] * 2 + v['height'] - v['innerHeight']), 2, 'not centred')
        # The real pointer, over the middle of field row 150. The paddle
        # follows the row under the pointer where the page saw it (WebKitGTK's
        # driver can land a pixel or two away in full screen).
        self.b.run('document.addEventListener("mousemove", function (e) {'
                   '  window.pointer = e.clientY; }, true);')
        x, y = self.at(v, 3, 150)
        self.b.move(round(x), round(y))
        seen = until(lambda: self.b.run('return window.pointer'), 5, 'no pointer movement seen')
        self.assertLessEqual(abs(seen - round(y)), 2, 'the pointer went elsewhere')
        row = int((seen - v['top']) * 480 / v['height'])
        self.assert_paddle_at(row, self.field, 'the pointer at row %d in full screen' % row)

        self.b.run('document.exitFullscreen()')
        until(lambda: self.view()['width'] == 640, 10, lambda: 'not back on the page: %r'
              % self.view())
        self.assertTrue(self.shown('full'),
                        'Full screen is no longer offered: %s' % self.text('output'))

        # A run that ends in full screen leaves it, so that the page's
        # verdict shows.
        self.enter_full_screen()
        self.b.run('document.getElementById("end").click()')
        self.assertEqual(self.run_ended(5), 0, 'the run did not end with status 0')
        until(lambda: not self.view()['full'], 10, 'the run ended and the page stayed in full '
              'screen, its verdict hidden')
        self.assertTrue(self.shown('over'), 'the page did not say the run ended')
        self.assert_clean_console()


class Offline(PageTest):
    @needs('devtools')
    def test_installable_and_plays_with_no_network(self):
        with Server(ARGS.page, inject=self.b.inject) as server:
            url = server.url + 'index.html'
            self.b.open(url)
            self.b.wait_for('return navigator.serviceWorker.ready.then(function () {'
                            '  return true; })', timeout=10)
            errors = self.b.cdp('Page.getInstallabilityErrors')
            self.assertEqual(errors.get('installabilityErrors'), [])
        offline = {'offline': True, 'latency': 0, 'downloadThroughput': -1, 'uploadThroughput': -1}
        self.b.cdp('Network.enable')
        self.addCleanup(self.b.cdp, 'Network.disable')
        self.b.cdp('Network.emulateNetworkConditions', offline)
        self.addCleanup(self.b.cdp, 'Network.emulateNetworkConditions', dict(offline, offline=False))
        # The server is gone as well: nothing but the kept files can answer.
        self.b.open(url)
        until(lambda: self.b.run('return !!Module.asm'), 10, 'the game did not load offline')
        self.assert_ball_moves()
        self.assertFalse(self.shown('over'), 'the run ended: %s' % self.text('output'))
        self.assert_clean_console()


class WithoutWebGL(BrowserTest):
    @classmethod
    def setUpClass(cls):
        cls.browser = open_browser(ARGS.engine, webgl=False)
        cls.addClassCleanup(cls.browser.close)
        cls.page = Server(ARGS.page, inject=cls.browser.inject)
        cls.addClassCleanup(cls.page.close)

    def test_page_says_the_game_could_not_start(self):
        self.b.open(self.page.url + 'index.html')
        self.assertEqual(self.run_ended(10), 1, 'the run did not end with status 1')
        self.assertTrue(self.shown('over'), 'the page did not say the run ended')
        self.assertEqual(self.text('verdict'), 'The game could not start.')
        output = self.text('output').splitlines()
        self.assertEqual(len(output), 1, 'one line expected: %r' % output)
        self.assertTrue(output[0].startswith('Unable to set video mode: '), output[0])
        self.assertGreater(len(output[0]), len('Unable to set video mode: '), 'no reason given')
        self.assert_clean_console()


def scenes(output, who):
    """Parses scenes.cpp's output into {scene: {(x, y): (r, g, b)}} and
    {scene: number of line segments}."""
    bits, drawn, lines, ended = None, {}, {}, False
    for line in output:
        f = line.split()
        if f[:1] == ['bits'] and len(f) == 4:
            bits = tuple(int(v) for v in f[1:])
        elif f[:1] == ['scene'] and len(f) == 3:
            drawn[f[1]], lines[f[1]] = {}, int(f[2])
        elif f[:1] == ['px'] and len(f) == 7 and f[1] in drawn:
            drawn[f[1]][int(f[2]), int(f[3])] = tuple(int(v) for v in f[4:])
        elif f == ['end']:
            ended = True
        else:
            raise AssertionError('%s printed an unexpected line: %r' % (who, line))
    if not ended:
        raise AssertionError('%s stopped before the last scene' % who)
    # Colours are compared as bytes: both sides must draw into 8-bit channels.
    if bits != (8, 8, 8):
        raise AssertionError('%s draws into %r bits per channel, not 8' % (who, bits))
    return drawn, lines


def strays(mine, theirs):
    """Pixels of mine with no pixel of the same colour in theirs at or next to them."""
    return sorted(p for p, c in mine.items()
                  if not any(theirs.get((p[0] + dx, p[1] + dy)) == c
                             for dx in (-1, 0, 1) for dy in (-1, 0, 1)))


class DrawingMatchesDesktop(BrowserTest):
    def test_scenes_match_the_desktop(self):
        with tempfile.TemporaryDirectory(prefix='sparkrally-scenes-') as home:
            native = subprocess.run(
                [ARGS.native_scenes], capture_output=True, text=True, timeout=seconds(60),
                env=dict(clean_env(home), SDL_VIDEODRIVER='offscreen', LIBGL_ALWAYS_SOFTWARE='1'))
        self.assertEqual(native.returncode, 0, 'desktop scenes failed: %s%s'
                         % (native.stdout[-500:], native.stderr[-500:]))
        desktop, lines = scenes(native.stdout.splitlines(), 'the desktop build')

        self.b.open(SCENES.url + 'scenes.html')
        status = self.run_ended(30)
        browser_lines = self.b.run('return lines')
        self.assertEqual(status, 0, 'browser scenes failed: %s' % browser_lines[-5:])
        browser = scenes(browser_lines, 'the browser build')[0]

        self.assertEqual(list(browser), list(desktop), 'the two builds drew different scenes')
        problems, notes = [], []
        for name, want in desktop.items():
            got = browser[name]
            if not want:
                problems.append('%s: the desktop drew nothing' % name)
                continue
            differ = [p for p in set(want) | set(got) if want.get(p) != got.get(p)]
            if not differ:
                continue
            summary = '%s: desktop only %s; browser only %s; other colour %s' % (
                name, sorted(set(want) - set(got)), sorted(set(got) - set(want)),
                ['%s %s/%s' % (p, want[p], got[p]) for p in sorted(set(want) & set(got))
                 if want[p] != got[p]])
            # Filled rectangles must match exactly. OpenGL lets a line's pixels
            # lie up to one pixel from those of its diamond-exit rule, and
            # their number differ by one a segment; in practice only a
            # segment's end pixels move, at most two differing pixels each.
            far = strays(want, got) + strays(got, want)
            if far or abs(len(want) - len(got)) > lines[name] or len(differ) > 2 * lines[name]:
                problems.append(summary + ('; more than one pixel off: %s' % far if far else ''))
            else:
                notes.append(summary)
        if notes:
            print('\nLine pixels one away from the desktop\'s in %s (its WebGL and Mesa pick a '
                  'line\'s end pixels differently, as OpenGL allows):\n  ' % self.b.name +
                  '\n  '.join(notes), file=sys.stderr)
        if problems:
            self.fail('the browser draws differently from the desktop:\n  ' + '\n  '.join(problems))
        self.assert_clean_console()


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--engine', required=True, choices=ENGINES, help='the browser engine')
    parser.add_argument('--page', required=True, help='the built game page directory')
    parser.add_argument('--scenes', required=True, help='the browser build of scenes.cpp')
    parser.add_argument('--native-scenes', required=True, help='the desktop build of scenes.cpp')
    parser.add_argument('--replays', required=True, help='the golden replays\' directory')
    parser.add_argument('--native', required=True, help='the desktop game')
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)


if __name__ == '__main__':
    main()
