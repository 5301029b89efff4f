#!/usr/bin/python3
"""The web build in a real browser: the page plays, follows the pointer,
throws sparks, ends on Escape and says why it cannot start without WebGL;
and its drawing matches the desktop's: rectangles pixel for pixel, lines to
within a pixel.

Usage (Debian's python, which has selenium and PIL):
  /usr/bin/python3 tests/web/test_page.py --page DIR --scenes DIR --native-scenes BIN \
      [unittest options]

  --page DIR           the built game page: index.html, sparkrally.js, sparkrally.wasm
  --scenes DIR         tests/web/scenes.cpp built for the browser: scenes.html, scenes.js,
                       scenes.wasm
  --native-scenes BIN  the same scenes.cpp built for the desktop against real SDL and OpenGL
"""
import argparse
import base64
import gzip
import io
import os
import subprocess
import sys
import time
import unittest

from PIL import Image, ImageChops
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.remote.remote_connection import RemoteConnection

from chromium import Browser, Server

ARGS = None  # the command line's directories and binary
PAGE = SCENES = BROWSER = None  # the module's servers and shared browser


def until(probe, timeout, interval=0.05):
    """Calls probe until it returns something true or timeout seconds pass;
    returns its last result either way, for the caller to judge."""
    deadline = time.monotonic() + timeout
    while True:
        result = probe()
        if result or time.monotonic() >= deadline:
            return result
        time.sleep(interval)


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


def setUpModule():
    global PAGE, SCENES, BROWSER
    PAGE = Server(ARGS.page)
    unittest.addModuleCleanup(PAGE.close)
    SCENES = Server(ARGS.scenes)
    unittest.addModuleCleanup(SCENES.close)
    BROWSER = Browser()
    unittest.addModuleCleanup(BROWSER.quit)


class BrowserTest(unittest.TestCase):
    browser = None  # the class's own Browser; the module's shared one by default

    @property
    def driver(self):
        return (self.browser or BROWSER).driver

    def setUp(self):
        self.driver.get('about:blank')
        self.driver.get_log('browser')  # what earlier tests left behind

    def assert_clean_console(self):
        """No console error. WebGL reports its errors as warnings, so those
        count too, though not the driver's notes on performance (a read-back
        stalls the GPU, and says so)."""
        bad = [e for e in self.driver.get_log('browser') if e['level'] == 'SEVERE' or (
            e['level'] == 'WARNING' and 'Performance' not in e['message'])]
        if bad:
            self.fail('console errors:\n  ' + '\n  '.join(e['message'] for e in bad))

    def shown(self, element_id):
        return self.driver.find_element('id', element_id).is_displayed()

    def text(self, element_id):
        return self.driver.find_element('id', element_id).get_attribute('textContent')


class PageTest(BrowserTest):
    """Opens the game's page and reads what it shows."""

    def load(self):
        self.driver.get(PAGE.url + 'index.html')
        self.canvas = self.driver.find_element('id', 'canvas')
        # Screenshots are read as field pixels: that needs a 1:1 scale and the
        # whole canvas in view.
        view = self.driver.execute_script(
            'var r = arguments[0].getBoundingClientRect();'
            'return [window.devicePixelRatio, r.left, r.top, r.width, r.height,'
            '        window.innerWidth, window.innerHeight];', self.canvas)
        ratio, left, top, width, height, vw, vh = view
        self.assertEqual((ratio, width, height), (1, 640, 480), 'canvas not shown 1:1: %r' % view)
        self.assertTrue(left >= 0 and top >= 0 and left + width <= vw and top + height <= vh,
                        'canvas not wholly in view: %r' % view)

    def shot(self):
        img = Image.open(io.BytesIO(self.canvas.screenshot_as_png)).convert('RGB')
        self.assertEqual(img.size, (640, 480), 'a canvas screenshot is not 1:1 with the field')
        return img

    def point(self, x, y):
        """Moves the real pointer to field pixel (x, y)."""
        # Offsets count from the element's centre.
        ActionChains(self.driver).move_to_element_with_offset(
            self.canvas, x - 320, y - 240).perform()

    def assert_paddle_at_150(self, shot, how):
        """The player's paddle is centred on field row 150: white at exactly
        x 2..4, y 130..169 in columns 0..7 over rows 100..199, black around."""
        def wrong(img):
            px = img.load()
            return [(x, y) for y in range(100, 200) for x in range(8)
                    if (px[x, y] == (255, 255, 255)) != (2 <= x <= 4 and 130 <= y < 170)]

        last = {}

        def placed():
            last['img'] = shot()
            last['wrong'] = wrong(last['img'])
            return not last['wrong']

        if not until(placed, 5):
            rows = [y for y in range(480) if last['img'].getpixel((3, y)) == (255, 255, 255)]
            self.fail('%s: paddle not at x 2..4, y 130..169: wrong pixels %s; white rows of column '
                      '3: %s' % (how, last['wrong'][:8], rows and '%d..%d' % (rows[0], rows[-1])))

    def assert_ball_moves(self):
        first = until(lambda: ballbox(self.shot()), 10)
        self.assertIsNotNone(first, 'no ball seen on the field')

        def moved():
            box = ballbox(self.shot())
            return box if box and box != first else None

        later = until(moved, 5)
        self.assertIsNotNone(later, 'the ball did not move from %r' % (first,))
        return first, later


class GamePage(PageTest):
    def test_page_weighs_at_most_100_kib_gzipped(self):
        self.load()
        self.assertTrue(until(lambda: self.driver.execute_script(
            'return typeof Module.asm !== "undefined"'), 10), 'the game did not load')
        loaded = self.driver.execute_script(
            'return [location.href].concat(performance.getEntriesByType("resource")'
            '.map(function (e) { return e.name; }))')
        weight = 0
        for url in loaded:
            self.assertTrue(url.startswith(PAGE.url), 'the page loads %s from elsewhere' % url)
            path = os.path.join(ARGS.page, url[len(PAGE.url):].split('?')[0])
            with open(path, 'rb') as f:
                weight += len(gzip.compress(f.read(), 9))
        self.assertLessEqual(weight, 100 * 1024, 'the page loads %d bytes gzipped' % weight)
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
        self.assert_paddle_at_150(self.shot, 'the pointer at row 150')
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

        seen = until(sparks, 8)
        self.assertIsNotNone(seen, 'no burst of coloured sparks within 8 s of the serve')
        saturated, blue = seen
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
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and max(seen, default=0) < 3:
            seen.append(pips(self.shot()))
            self.assertEqual(seen, sorted(seen), 'the score shrank during a pause')
        self.assertGreaterEqual(max(seen), 2, 'fewer than two goals seen: %s' % seen)
        self.assert_clean_console()

    def test_escape_ends_the_run_and_play_again_reloads(self):
        self.load()
        self.assertIsNotNone(until(lambda: ballbox(self.shot()), 10), 'the match did not start')
        ActionChains(self.driver).key_down(Keys.ESCAPE).pause(0.2).key_up(Keys.ESCAPE).perform()
        self.assertTrue(until(lambda: self.shown('over'), 5), 'the page did not say the run ended')
        self.assertEqual(self.text('verdict'), 'The match is over.')
        self.assertEqual(self.text('output'), '', 'the game printed something')
        self.assertFalse(self.shown('help'))
        # The canvas keeps the last frame: its paddles are still there.
        self.assertGreater(count(whites(self.shot())), 100, 'the canvas lost its last frame')

        self.driver.execute_script('window.beforeagain = true;')
        self.driver.find_element('id', 'again').click()
        reloaded = until(lambda: self.driver.execute_script(
            'return !window.beforeagain && document.readyState === "complete"'), 10)
        self.assertTrue(reloaded, 'Play again did not reload the page')
        self.canvas = self.driver.find_element('id', 'canvas')
        self.assertFalse(self.shown('over'))
        self.assertIsNotNone(until(lambda: ballbox(self.shot()), 10), 'no new match after reload')
        self.assert_clean_console()


    def test_lost_display_waits_and_the_match_goes_on(self):
        self.load()
        self.assertIsNotNone(until(lambda: ballbox(self.shot()), 10), 'the match did not start')
        # Every frame ends in a 16 ms sleep: count them.
        self.driver.execute_script(
            'window.frames16 = 0; var timeout = window.setTimeout;'
            'window.setTimeout = function (f, ms) {'
            '  if (ms === 16) window.frames16++; return timeout.apply(window, arguments); };'
            'window.loser = document.getElementById("canvas").getContext("webgl")'
            '  .getExtension("WEBGL_lose_context"); window.loser.loseContext();')
        self.assertTrue(until(lambda: self.shown('lost'), 5), 'the page did not say the display was lost')
        self.assertIn('display was lost', self.text('lost'))
        # The frame under way when the display went may still end its sleep.
        before = self.driver.execute_script('return window.frames16')
        time.sleep(1.5)
        waited = self.driver.execute_script('return window.frames16') - before
        self.assertLessEqual(waited, 1, 'the match went on for %d frames unseen' % waited)

        self.driver.execute_script('window.loser.restoreContext()')
        self.assertTrue(until(lambda: not self.shown('lost'), 5), 'the lost display line stayed')
        self.assertTrue(until(lambda: self.driver.execute_script('return window.frames16') > before + 5,
                              5), 'the match did not go on after the display came back')
        # A whole frame again: both paddles and the ball.
        self.assertIsNotNone(until(lambda: ballbox(self.shot()), 5), 'no ball after the restore')
        self.assertGreater(count(whites(self.shot()).crop((0, 0, 8, 480))), 20, 'no player paddle')
        self.assertGreater(count(whites(self.shot()).crop((632, 0, 640, 480))), 20, 'no computer paddle')
        self.assert_clean_console()

    def test_refused_shaders_say_so(self):
        # A WebGL that refuses the layer's shaders, as a broken driver would.
        script = self.driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': (
            'WebGLRenderingContext.prototype.shaderSource = (function (set) {'
            '  return function (shader, source) { set.call(this, shader, source + "\\nnot glsl"); };'
            '})(WebGLRenderingContext.prototype.shaderSource);')})
        try:
            self.driver.get(PAGE.url + 'index.html')
            status = self.driver.execute_async_script(
                'var done = arguments[0]; window.runEnded.then(done);')
        finally:
            self.driver.execute_cdp_cmd('Page.removeScriptToEvaluateOnNewDocument', script)
        self.assertEqual(status, 1)
        self.assertEqual(self.text('verdict'), 'The game could not start.')
        self.assertIn("Unable to set video mode: WebGL refused the field's shaders\n",
                      self.text('output'))
        errors = [e['message'] for e in self.driver.get_log('browser') if e['level'] == 'SEVERE']
        self.assertTrue(any("the vertex shader's compilation failed: " in e for e in errors),
                        'no shader log among the console errors: %s' % errors)


    def test_an_uncaught_error_ends_with_the_page_verdict(self):
        self.load()
        # A script of the page's own that throws.
        self.driver.execute_script(
            'var bad = document.createElement("script");'
            'bad.textContent = "throw new Error(\'trouble\')"; document.body.appendChild(bad);')
        status = self.driver.execute_async_script('window.runEnded.then(arguments[0]);')
        self.assertEqual(status, 'abort')
        self.assertEqual(self.text('verdict'), 'The game stopped on an error.')
        self.assertIn('trouble', self.text('output'))


# Screens as players have them: CSS size, device pixel ratio, a phone's or
# tablet's browser, and the field's expected CSS size on that screen.
SCREENS = [
    ('phone', 390, 844, 3, True, (372, 279)),
    ('phone on its side', 844, 390, 3, True, (496, 372)),
    ('tablet', 820, 1180, 2, True, (640, 480)),
    ('desktop window that holds 2x', 1400, 1150, 1, False, (1280, 960)),
]


class EveryScreen(PageTest):
    """The page on phones, tablets and big screens, in Chromium's device
    emulation with real touch events. The field is read back from the
    canvas' own 640 x 480 pixels, whatever its size on the screen."""

    def setUp(self):
        super().setUp()
        # The canvas keeps its pixels after they are shown, so that a script
        # can read the last swapped frame back.
        self.readback = self.driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {
            'source': 'HTMLCanvasElement.prototype.getContext = (function (get) {'
                      '  return function (type, attrs) {'
                      '    return get.call(this, type, Object.assign({}, attrs,'
                      '                                              {preserveDrawingBuffer: true}));'
                      '  };'
                      '})(HTMLCanvasElement.prototype.getContext);'})

    def tearDown(self):
        self.driver.execute_cdp_cmd('Page.removeScriptToEvaluateOnNewDocument', self.readback)
        self.driver.execute_cdp_cmd('Emulation.clearDeviceMetricsOverride', {})
        self.driver.execute_cdp_cmd('Emulation.setTouchEmulationEnabled', {'enabled': False})
        super().tearDown()

    def open_on(self, width, height, ratio, mobile):
        self.driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
            'width': width, 'height': height, 'deviceScaleFactor': ratio, 'mobile': mobile})
        self.driver.execute_cdp_cmd('Emulation.setTouchEmulationEnabled',
                                    {'enabled': True, 'maxTouchPoints': 5})
        self.driver.get(PAGE.url + 'index.html')
        self.canvas = self.driver.find_element('id', 'canvas')
        self.assertIsNotNone(until(lambda: ballbox(self.field()), 10), 'the match did not start')

    def field(self):
        """The field's 640 x 480 pixels as last swapped."""
        url = self.driver.execute_script('return arguments[0].toDataURL()', self.canvas)
        img = Image.open(io.BytesIO(base64.b64decode(url.split(',', 1)[1]))).convert('RGB')
        self.assertEqual(img.size, (640, 480), 'the drawing buffer is not 640 x 480')
        return img

    def view(self):
        return self.driver.execute_script(
            'var r = arguments[0].getBoundingClientRect(), v = window.visualViewport;'
            'return {left: r.left, top: r.top, width: r.width, height: r.height,'
            '        innerWidth: innerWidth, innerHeight: innerHeight, scale: v.scale,'
            '        scrollX: scrollX, scrollY: scrollY,'
            '        pageWidth: document.documentElement.scrollWidth,'
            '        pageHeight: document.documentElement.scrollHeight,'
            '        full: document.fullscreenElement && document.fullscreenElement.id}',
            self.canvas)

    def touch(self, kind, x, y):
        self.driver.execute_cdp_cmd('Input.dispatchTouchEvent', {
            'type': kind, 'touchPoints': [] if kind in ('touchEnd', 'touchCancel') else
            [{'x': x, 'y': y, 'id': 1, 'radiusX': 4, 'radiusY': 4, 'force': 1}]})

    def at(self, v, fx, fy):
        """The viewport point over the centre of field pixel (fx, fy)."""
        return (v['left'] + (fx + 0.5) * v['width'] / 640, v['top'] + (fy + 0.5) * v['height'] / 480)

    def drag_to_150(self, end='touchEnd'):
        """A finger put on the field's middle and dragged to row 150."""
        v = self.view()
        self.touch('touchStart', *self.at(v, 320, 300))
        for row in (250, 200, 150):
            self.touch('touchMove', *self.at(v, 320, row))
        self.assert_paddle_at_150(self.field, 'a finger at row 150')
        self.touch(end, 0, 0)

    def test_the_whole_field_fits_and_a_finger_drives_the_paddle(self):
        for name, width, height, ratio, mobile, size in SCREENS:
            with self.subTest(name):
                self.open_on(width, height, ratio, mobile)
                v = self.view()
                self.assertEqual((v['width'], v['height']), size, '%s: %r' % (name, v))
                self.assertTrue(v['left'] >= 0 and v['top'] >= 0
                                and v['left'] + v['width'] <= v['innerWidth']
                                and v['top'] + v['height'] <= v['innerHeight'],
                                '%s: the field is not wholly on the screen: %r' % (name, v))
                self.assertTrue(v['pageWidth'] <= v['innerWidth']
                                and v['pageHeight'] <= v['innerHeight'],
                                '%s: the page is larger than the screen: %r' % (name, v))
                self.drag_to_150()
                after = self.view()
                self.assertEqual((after['scrollX'], after['scrollY'], after['scale']), (0, 0, 1),
                                 '%s: the finger scrolled or zoomed the page' % name)
                self.assert_clean_console()
        # A page scrolled by 100 px (more content below it) moves the field up,
        # and the finger still lands on its own row; a cancelled touch leaves
        # nothing held.
        self.open_on(390, 844, 3, True)
        self.driver.execute_script(
            'var more = document.createElement("div"); more.style.height = "2000px";'
            'document.body.appendChild(more); window.scrollTo(0, 100);')
        self.assertEqual(self.view()['scrollY'], 100)
        self.drag_to_150(end='touchCancel')
        self.drag_to_150()
        self.assert_clean_console()

    def test_end_match_by_a_tap(self):
        self.open_on(390, 844, 3, True)
        end = self.driver.execute_script(
            'var r = document.getElementById("end").getBoundingClientRect();'
            'return [r.left + r.width / 2, r.top + r.height / 2]')
        self.touch('touchStart', *end)
        self.touch('touchEnd', *end)
        status = self.driver.execute_async_script('window.runEnded.then(arguments[0]);')
        self.assertEqual(status, 0)
        self.assertTrue(self.shown('over'))
        self.assertEqual(self.text('verdict'), 'The match is over.')
        self.assertFalse(self.shown('end'), 'End match is still offered')
        self.assert_clean_console()

    def test_full_screen_shows_the_field_alone_and_the_pointer_is_exact(self):
        self.open_on(800, 800, 1, False)
        self.driver.find_element('id', 'full').click()
        self.assertTrue(until(lambda: self.view()['full'] == 'field', 5), 'no full screen')

        def boxed():
            v = self.view()
            side = 4 * int(160 * min(v['innerWidth'] / 640, v['innerHeight'] / 480))
            return v if (v['width'], v['height']) == (side, side * 3 // 4) else None

        v = until(boxed, 5)
        self.assertIsNotNone(v, 'the field is not the screen\'s largest 4:3 box: %r' % self.view())
        self.assertLessEqual(abs(v['left'] * 2 + v['width'] - v['innerWidth']), 2, 'not centred')
        self.assertLessEqual(abs(v['top'] * 2 + v['height'] - v['innerHeight']), 2, 'not centred')
        # The real pointer, over the middle of field row 150.
        x, y = self.at(v, 3, 150)
        ActionChains(self.driver).move_to_element_with_offset(
            self.canvas, round(x - v['left'] - v['width'] / 2),
            round(y - v['top'] - v['height'] / 2)).perform()
        self.assert_paddle_at_150(self.field, 'the pointer at row 150 in full screen')

        self.driver.execute_script('document.exitFullscreen()')
        self.assertTrue(until(lambda: self.view()['width'] == 640, 5), 'not back on the page')
        self.assertTrue(self.shown('full'), 'Full screen is no longer offered: %s' % self.text('output'))
        self.assert_clean_console()


class Offline(PageTest):
    def test_installable_and_plays_with_no_network(self):
        server = Server(ARGS.page)
        try:
            self.driver.get(server.url + 'index.html')
            self.assertTrue(self.driver.execute_async_script(
                'var done = arguments[0];'
                'navigator.serviceWorker.ready.then(function () { done(true); });'),
                'no service worker')
            errors = self.driver.execute_cdp_cmd('Page.getInstallabilityErrors', {})
            self.assertEqual(errors.get('installabilityErrors'), [])
        finally:
            server.close()
        self.driver.execute_cdp_cmd('Network.enable', {})
        self.driver.execute_cdp_cmd('Network.emulateNetworkConditions', {
            'offline': True, 'latency': 0, 'downloadThroughput': -1, 'uploadThroughput': -1})
        try:
            self.driver.refresh()
            self.canvas = self.driver.find_element('id', 'canvas')
            self.assert_ball_moves()
        finally:
            self.driver.execute_cdp_cmd('Network.emulateNetworkConditions', {
                'offline': False, 'latency': 0, 'downloadThroughput': -1, 'uploadThroughput': -1})
            self.driver.execute_cdp_cmd('Network.disable', {})
        self.assertFalse(self.shown('over'), 'the run ended: %s' % self.text('output'))
        self.assert_clean_console()


class WithoutWebGL(BrowserTest):
    @classmethod
    def setUpClass(cls):
        cls.browser = Browser('--disable-webgl')

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()

    def test_page_says_the_game_could_not_start(self):
        self.driver.get(PAGE.url + 'index.html')
        self.assertTrue(until(lambda: self.shown('over'), 10), 'the page did not say the run ended')
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
        native = subprocess.run(
            [ARGS.native_scenes], capture_output=True, text=True, timeout=60,
            env={'PATH': '/usr/bin:/bin', 'SDL_VIDEODRIVER': 'offscreen',
                 'LIBGL_ALWAYS_SOFTWARE': '1'})
        self.assertEqual(native.returncode, 0, 'desktop scenes failed: %s%s'
                         % (native.stdout[-500:], native.stderr[-500:]))
        desktop, lines = scenes(native.stdout.splitlines(), 'the desktop build')

        self.driver.get(SCENES.url + 'scenes.html')
        # The exit status, wrapped so that a status of 0 counts as arrived.
        status = until(lambda: self.driver.execute_script(
            'return exitstatus === null ? null : [exitstatus]'), 30)
        self.assertIsNotNone(status, 'the browser scenes did not finish within 30 s')
        browser_lines = self.driver.execute_script('return lines')
        self.assertEqual(status, [0], 'browser scenes failed: %s' % browser_lines[-5:])
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
            print('\nLine pixels one away from the desktop\'s (Mesa and SwiftShader pick a line\'s '
                  'end pixels differently, as OpenGL allows):\n  ' + '\n  '.join(notes),
                  file=sys.stderr)
        if problems:
            self.fail('the browser draws differently from the desktop:\n  ' + '\n  '.join(problems))
        self.assert_clean_console()


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--page', required=True, help='the built game page directory')
    parser.add_argument('--scenes', required=True, help='the browser build of scenes.cpp')
    parser.add_argument('--native-scenes', required=True, help='the desktop build of scenes.cpp')
    ARGS, rest = parser.parse_known_args()
    # No WebDriver command may wait for ever on a stuck browser.
    RemoteConnection.set_timeout(60)
    unittest.main(argv=[sys.argv[0]] + rest)


if __name__ == '__main__':
    main()
