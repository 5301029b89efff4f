"""The three browser engines behind one small interface, for the web tests
and the web benchmarks: Debian's Chromium over chromedriver, Firefox ESR
over WebDriver BiDi, and WebKitGTK's MiniBrowser over WebKitWebDriver. Each
runs in a fresh profile and a clean environment, on software rendering, and
comes with the loopback server and, where it needs one, the X server it
uses. Run with Debian's python (/usr/bin/python3), which has selenium,
websockets and PIL.

    with Server(root) as server, open_browser('firefox') as browser:
        browser.open(server.url + 'index.html')
        browser.point('canvas', 3, 150)
        image = browser.shot('canvas')

SPARKRALLY_WEB_TIME_SCALE multiplies every timeout (a slow or busy
machine: 2 doubles them).
"""
import asyncio
import base64
import contextlib
import functools
import http.server
import io
import json
import os
import signal
import socket
import subprocess
import tempfile
import threading
import time
import urllib.parse
import urllib.request
import warnings

import websockets
from PIL import Image
from selenium import webdriver
from selenium.common.exceptions import JavascriptException, TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.remote.remote_connection import RemoteConnection
from selenium.webdriver.support.wait import WebDriverWait

ENGINES = ('chromium', 'firefox', 'webkit')
TIME_SCALE = float(os.environ.get('SPARKRALLY_WEB_TIME_SCALE') or 1)
# Every engine's page area at start: room for the page's text and the whole
# 640 x 480 canvas, shown 1:1 (the game page's field is 640 pixels wide
# between its 8-pixel margins).
VIEWPORT = (656, 800)
# What a test may need beyond the interface that every engine offers; each
# engine's class names those its automation lacks, and why (its `lacks`).
CAPABILITIES = {
    'touch': 'a finger on the page (drag)',
    'devtools': "Chrome's DevTools protocol (cdp)",
    'full screen': 'full screen for an element',
    'narrow window': 'a page as narrow as a phone',
    'key press': 'a focused button pressed by Enter or Space',
}
# W3C WebDriver's code for each key that the tests press.
KEYS = {'Escape': '\ue00c', 'Space': '\ue00d', 'ArrowRight': '\ue014', '+': '+', 'p': 'p',
        'Tab': '\ue004', 'Enter': '\ue007', 'ArrowUp': '\ue013', 'ArrowDown': '\ue015'}


def seconds(s):
    """A timeout of s seconds, scaled for this machine."""
    return s * TIME_SCALE


def clean_env(home, display=None):
    """An environment that names no display (but the given one), video
    driver or GL override: nothing of the session's display, SDL or Mesa
    settings reaches a child."""
    env = {'PATH': '/usr/bin:/bin', 'HOME': home, 'TMPDIR': home, 'LANG': 'C.UTF-8'}
    if display:
        env['DISPLAY'] = display
    return env


class ScriptError(Exception):
    """A script run in the page threw."""


class Timeout(AssertionError):
    """A wait ran out: a test's failure, not an error of the harness."""


# A gamepad in the standard mapping, given to the page in place of the
# browser's (no driver here can press a real one), as the browser gives one
# once a button has been pressed: window.pad is the pad, set(button, down)
# presses or lets go of a button.
PAD = ('var pad = {id: "stand-in", index: 0, mapping: "standard", connected: true,'
       '  timestamp: 0, axes: [0, 0, 0, 0], buttons: []};'
       'for (var i = 0; i < 17; i++) pad.buttons.push({pressed: false, value: 0});'
       'window.pad = pad;'
       'navigator.getGamepads = function () { return [pad, null, null, null]; };'
       'window.set = function (button, down) {'
       '  pad.buttons[button] = {pressed: down, value: down ? 1 : 0}; pad.timestamp++; };')


def until(probe, timeout, message, ignored=()):
    """Calls probe until it returns something true, and returns that; raises
    Timeout with message (a string, or a function giving one) after timeout
    seconds (scaled). Exceptions of the types in ignored count as false."""
    try:
        return WebDriverWait(None, seconds(timeout), poll_frequency=0.05,
                             ignored_exceptions=ignored).until(lambda _: probe())
    except TimeoutException:
        raise Timeout(message() if callable(message) else message) from None


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def tail(log):
    """The end of a log, to show why a browser did not start."""
    try:
        with open(log, errors='replace') as f:
            return '\n' + f.read()[-2000:]
    except OSError:
        return ''


@contextlib.contextmanager
def process(argv, env, log):
    """A child process in a process group of its own, which is ended (the
    browser's helpers with it) on leaving, whatever happens; its output goes
    to log."""
    with open(log, 'ab') as out:
        child = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                 stderr=subprocess.STDOUT, start_new_session=True)
    try:
        yield child
    finally:
        with contextlib.suppress(ProcessLookupError):
            os.killpg(child.pid, signal.SIGTERM)
        try:
            child.wait(seconds(10))
        except subprocess.TimeoutExpired:
            os.killpg(child.pid, signal.SIGKILL)
            child.wait()


@contextlib.contextmanager
def xvfb(home):
    """A private X server on a free display; yields its name (':N')."""
    read, write = os.pipe()
    try:
        # -displayfd picks a free display and writes its number once it
        # accepts clients; no TCP, no access control beyond the local socket.
        child = subprocess.Popen(
            # Big enough for a window that shows the largest page the tests ask for.
            ['Xvfb', '-displayfd', str(write), '-screen', '0', '2560x1600x24', '-nolisten',
             'tcp'], env=clean_env(home), pass_fds=(write,), stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write)
        write = None
        with os.fdopen(read) as f:
            read = None
            number = f.readline().strip()
    finally:
        for fd in (read, write):
            if fd is not None:
                os.close(fd)
    try:
        if not number.isdigit():
            raise RuntimeError('Xvfb did not start')
        yield ':' + number
    finally:
        child.terminate()
        child.wait()


class Handler(http.server.SimpleHTTPRequestHandler):
    # WebAssembly must come with its own type, or the browser compiles it the
    # slow way and warns about it in the console.
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.wasm': 'application/wasm'}
    extra = ()  # (name, value) headers added to every answer
    inject = b''  # HTML put at the start of every page's head

    def end_headers(self):
        for name, value in self.extra:
            self.send_header(name, value)
        super().end_headers()

    def do_GET(self):
        path = urllib.parse.urlsplit(self.path).path
        if not self.inject or not path.endswith('.html'):
            return super().do_GET()
        try:
            with open(self.translate_path(self.path), 'rb') as f:
                body = f.read().replace(b'<head>', b'<head>' + self.inject, 1)
        except OSError:
            return self.send_error(404)
        self.send_response(200)
        self.send_header('Content-Type', 'text/html; charset=utf-8')
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class Server:
    """Serves one directory on a free loopback port from a thread, with the
    given extra headers; inject is HTML put at the start of each page's head."""

    def __init__(self, root, headers=(), inject=b''):
        handler = type('Handler', (Handler,), {'extra': tuple(headers), 'inject': inject})
        self.httpd = http.server.ThreadingHTTPServer(
            ('127.0.0.1', 0), functools.partial(handler, directory=root))
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()
        self.url = 'http://127.0.0.1:%d/' % self.httpd.server_address[1]

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()
        self.thread.join(5)


class Unsupported(Exception):
    """A test used what its engine lacks without declaring that it needs it."""


class Browser:
    """What every engine offers the tests. Coordinates are CSS pixels, which
    are device pixels here: every engine runs at a scale of 1."""
    name = None
    # The CAPABILITIES that the engine's automation lacks, with the reason.
    lacks = {}
    # HTML that the server puts at the start of every page's head, for what
    # the engine's automation cannot do itself.
    inject = b''

    def open(self, url):
        """Loads url and returns once the page's load event has fired."""
        raise NotImplementedError

    def run(self, body, *args):
        """Runs body as a function's body in the page, with args (numbers
        and strings) as its arguments, and returns what it returns."""
        raise NotImplementedError

    def wait_for(self, body, *args, timeout):
        """As run, but awaits the promise that body returns, for up to
        timeout seconds (scaled)."""
        raise NotImplementedError

    def move(self, x, y):
        """Moves the real pointer to viewport pixel (x, y)."""
        raise NotImplementedError

    def press_button(self):
        """Presses and releases the pointer's main button where it is."""
        raise NotImplementedError

    def key_down(self, key):
        raise NotImplementedError

    def key_up(self, key):
        raise NotImplementedError

    def viewport(self, width, height):
        """Sizes the window so that the page sees width x height pixels."""
        raise NotImplementedError

    def viewport_png(self):
        raise NotImplementedError

    def console(self):
        """The errors and warnings logged since the last call, as
        (level, text), less the engine's own notes that say nothing wrong."""
        raise NotImplementedError

    def screen(self, width=None, height=None, ratio=1, mobile=False):
        """The page on a device's screen of width x height CSS pixels, with
        that pixel ratio, in a phone's or tablet's browser (mobile); here a
        window of that size. No size: back to the start."""
        self.viewport(*((width, height) if width else VIEWPORT))
        got = self.run('return [innerWidth, innerHeight]')
        if width and got != [width, height]:
            raise AssertionError('%s: its window cannot show a page of %d x %d (it gives %d x %d)'
                                 % (self.name, width, height, *got))

    def lacking(self, capability):
        return Unsupported('%s lacks %s (%s): the test must declare that it needs it'
                           % (self.name, CAPABILITIES[capability], self.lacks[capability]))

    def drag(self, points):
        """A finger put down at the first viewport point, moved through the
        others and lifted; returns the points as the engine sent them.
        Needs 'touch'."""
        raise self.lacking('touch')

    def cdp(self, method, params=None):
        """A Chrome DevTools protocol command. Needs 'devtools'."""
        raise self.lacking('devtools')

    def close(self):
        raise NotImplementedError

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # Built on the above, the same in every engine.

    def rect(self, element_id):
        return self.run('var r = document.getElementById(arguments[0]).getBoundingClientRect();'
                        'return [r.left, r.top, r.width, r.height];', element_id)

    def point(self, element_id, x, y):
        """Moves the pointer to pixel (x, y) of the element."""
        left, top = self.rect(element_id)[:2]
        self.move(round(left + x), round(top + y))

    def click(self, element_id):
        """A real click at the element's centre, once the element has stopped
        moving (the page's text may still be settling), as a player clicks
        what they see."""
        rect, start = self.rect(element_id), time.monotonic()
        while time.monotonic() - start < 2:
            time.sleep(0.05)
            again = self.rect(element_id)
            if again == rect:
                break
            rect = again
        left, top, width, height = rect
        self.move(round(left + width / 2), round(top + height / 2))
        self.press_button()

    def press(self, key, hold):
        """Holds key for hold seconds, as a player does."""
        self.key_down(key)
        time.sleep(hold)
        self.key_up(key)

    def shot(self, element_id):
        """The element as shown on screen, as an RGB image: cut from the
        viewport's screenshot, which is what the player sees. (WebKitGTK's
        own element screenshot reads the canvas's drawing buffer, which holds
        an older frame once the browser has shown the last one.)"""
        left, top, width, height = (round(v) for v in self.rect(element_id))
        img = Image.open(io.BytesIO(self.viewport_png())).convert('RGB')
        return img.crop((left, top, left + width, top + height))


class SeleniumBrowser(Browser):
    """An engine driven by a Selenium WebDriver (self.driver)."""

    def open(self, url):
        self.driver.get(url)

    def run(self, body, *args):
        try:
            return self.driver.execute_script(body, *args)
        except JavascriptException as e:
            raise ScriptError(e.msg) from None

    def wait_for(self, body, *args, timeout):
        self.driver.set_script_timeout(seconds(timeout))
        try:
            result = self.driver.execute_async_script(
                'var done = arguments[arguments.length - 1];'
                'Promise.resolve((function () {' + body + '}).apply(null,'
                '    Array.prototype.slice.call(arguments, 0, -1)))'
                '.then(function (v) { done({value: v}); },'
                '      function (e) { done({error: String(e)}); });', *args)
        except TimeoutException:
            raise Timeout('no answer within %g s from: %s' % (seconds(timeout), body)) from None
        except JavascriptException as e:
            raise ScriptError(e.msg) from None
        if 'error' in result:
            raise ScriptError(result['error'])
        return result.get('value')

    def move(self, x, y):
        actions = ActionBuilder(self.driver)
        actions.pointer_action.move_to_location(x, y)
        actions.perform()

    def press_button(self):
        ActionChains(self.driver).click().perform()

    def key_down(self, key):
        ActionChains(self.driver).key_down(KEYS[key]).perform()

    def key_up(self, key):
        ActionChains(self.driver).key_up(KEYS[key]).perform()

    def viewport(self, width, height):
        # The window's size holds the browser's own bars. WebKitGTK resizes
        # its window after the driver has answered, so the page may still
        # see the old size: wait for the new one, and measure the bars again
        # if they changed on the way.
        for _ in range(3):
            bars = self.run('return [outerWidth - innerWidth, outerHeight - innerHeight]')
            self.driver.set_window_size(width + bars[0], height + bars[1])
            try:
                until(lambda: self.run('return [innerWidth, innerHeight]') == [width, height],
                      2, '')
                return
            except Timeout:
                pass

    def viewport_png(self):
        return self.driver.get_screenshot_as_png()


class Chromium(SeleniumBrowser):
    """Debian's headless Chromium over chromedriver."""
    name = 'Chromium'
    lacks = {}
    FLAGS = [
        # Its own display: no X server needed.
        '--headless=new',
        # The sandbox needs user namespaces, which a container may not give.
        '--no-sandbox',
        # WebGL on the CPU (no GPU here); Chromium asks for this second flag
        # before it lets a page's WebGL run on SwiftShader.
        '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
        # No first-run tab, update or sync traffic, nothing beside the page.
        '--no-first-run', '--disable-background-networking', '--disable-component-update',
        '--disable-sync',
        # Screenshots read as field pixels: one CSS pixel, one device pixel.
        '--force-device-scale-factor=1',
    ]

    def __init__(self, webgl=True, chromium='/usr/bin/chromium',
                 chromedriver='/usr/bin/chromedriver'):
        self.home = tempfile.TemporaryDirectory(prefix='sparkrally-chromium-')
        options = webdriver.ChromeOptions()
        options.binary_location = chromium
        for flag in self.FLAGS + ['--user-data-dir=' + os.path.join(self.home.name, 'profile')]:
            options.add_argument(flag)
        if not webgl:
            options.add_argument('--disable-webgl')
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
        try:
            self.driver = webdriver.Chrome(
                service=Service(chromedriver, env=clean_env(self.home.name)), options=options)
        except Exception:
            self.home.cleanup()
            raise
        try:
            self.driver.set_page_load_timeout(seconds(20))
            self.viewport(*VIEWPORT)
        except Exception:
            self.close()
            raise

    def console(self):
        # WebGL reports its errors as warnings, so those count too, but not
        # the notes on performance (a read-back stalls the GPU, and says so).
        return [(e['level'], e['message']) for e in self.driver.get_log('browser')
                if e['level'] == 'SEVERE' or (
                    e['level'] == 'WARNING' and 'Performance' not in e['message'])]

    def screen(self, width=None, height=None, ratio=1, mobile=False):
        # Chromium's device emulation: the pixel ratio, a mobile browser's
        # viewport and touch.
        if not width:
            self.cdp('Emulation.clearDeviceMetricsOverride')
            self.cdp('Emulation.setTouchEmulationEnabled', {'enabled': False})
            return
        self.cdp('Emulation.setDeviceMetricsOverride', {
            'width': width, 'height': height, 'deviceScaleFactor': ratio, 'mobile': mobile})
        self.cdp('Emulation.setTouchEmulationEnabled', {'enabled': True, 'maxTouchPoints': 5})

    def drag(self, points):
        # The DevTools protocol's touch events, at fractional points as a
        # phone's finger gives them.
        for kind, (x, y) in zip(['touchStart'] + ['touchMove'] * (len(points) - 1), points):
            self.cdp('Input.dispatchTouchEvent', {'type': kind, 'touchPoints': [
                {'x': x, 'y': y, 'id': 1, 'radiusX': 4, 'radiusY': 4, 'force': 1}]})
        self.cdp('Input.dispatchTouchEvent', {'type': 'touchEnd', 'touchPoints': []})
        return points

    def cdp(self, method, params=None):
        return self.driver.execute_cdp_cmd(method, params or {})

    def close(self):
        try:
            self.driver.quit()
        finally:
            self.home.cleanup()


# Records what the page logs as an error or a warning, and its uncaught
# errors and rejections, in the tab's session storage, which outlives a
# reload; the driver reads and empties it. Where the storage refuses, the
# page says so in a variable of its own, which the driver reports.
CONSOLE_HOOK = b'''<script>(function () {
  function keep(level, text) {
    try {
      var kept = JSON.parse(sessionStorage.getItem('sparkrally-console') || '[]');
      kept.push([level, String(text)]);
      sessionStorage.setItem('sparkrally-console', JSON.stringify(kept));
    } catch (e) {
      window.consoleNotKept = 'the console hook lost an entry: ' + e;
    }
  }
  ['error', 'warn'].forEach(function (level) {
    var original = console[level];
    console[level] = function () {
      keep(level, Array.prototype.join.call(arguments, ' '));
      return original.apply(console, arguments);
    };
  });
  addEventListener('error', function (e) { keep('error', e.message); });
  addEventListener('unhandledrejection', function (e) { keep('error', e.reason); });
})();</script>'''


# A browser without WebGL, as the page sees one: no WebGL context.
NO_WEBGL = b'''<script>(function () {
  var getContext = HTMLCanvasElement.prototype.getContext;
  HTMLCanvasElement.prototype.getContext = function (kind) {
    return /webgl/.test(kind) ? null : getContext.apply(this, arguments);
  };
})();</script>'''


class WebKit(SeleniumBrowser):
    """WebKitGTK's MiniBrowser over WebKitWebDriver, on a private X server
    (the GTK MiniBrowser has no headless mode). Its driver has no log
    endpoint, so the console is what the page's own hook recorded: the
    page's console.error and console.warn and its uncaught errors, but not
    the engine's own warnings (WebGL's among them). Under automation the
    MiniBrowser ignores its --enable-webgl=false, so without WebGL the page
    comes with a hook that takes WebGL away."""
    name = 'WebKitGTK'
    lacks = {'touch': 'its driver turns touch actions into mouse events',
             'devtools': 'it speaks WebDriver alone',
             'narrow window': "its window is wider than a phone's screen, for its own bar"}

    def __init__(self, webgl=True,
                 minibrowser='/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser',
                 webdriver_binary='/usr/bin/WebKitWebDriver'):
        self.inject = CONSOLE_HOOK + (b'' if webgl else NO_WEBGL)
        self.stack = contextlib.ExitStack()
        self.log = os.devnull
        try:
            home = self.stack.enter_context(
                tempfile.TemporaryDirectory(prefix='sparkrally-webkit-'))
            self.log = os.path.join(home, 'webkit.log')
            display = self.stack.enter_context(xvfb(home))
            port = free_port()
            # Started here rather than by selenium 4.8's WebKitGTK class,
            # which takes no environment for it.
            self.stack.enter_context(process(
                [webdriver_binary, '--port=%d' % port], clean_env(home, display), self.log))
            options = webdriver.WebKitGTKOptions()
            options.binary_location = minibrowser
            # Lets the driver control the browser.
            options.add_argument('--automation')
            url = 'http://127.0.0.1:%d' % port
            until(lambda: self.answers(url), 10, 'WebKitWebDriver did not start')
            with warnings.catch_warnings():
                # Selenium 4.8's own WebKitGTK defaults still name a
                # 'platform', and it warns about that.
                warnings.filterwarnings('ignore', 'platform is not a w3c capability')
                self.driver = webdriver.Remote(command_executor=url, options=options)
            self.stack.callback(self.driver.quit)
            self.driver.set_page_load_timeout(seconds(20))
            self.viewport(*VIEWPORT)
        except Exception as e:
            said = tail(self.log)
            self.stack.close()
            raise RuntimeError('WebKitGTK did not start: %s%s' % (e, said)) from e
        self.kept = []

    @staticmethod
    def answers(url):
        try:
            with urllib.request.urlopen(url + '/status', timeout=1):
                return True
        except OSError:
            return False

    def drain(self):
        """Moves what the page's hook recorded into self.kept."""
        # Only pages from the server have the hook (and storage).
        self.kept += self.driver.execute_script(
            'if (!/^http/.test(location.protocol)) return [];'
            'var kept = JSON.parse(sessionStorage.getItem("sparkrally-console") || "[]");'
            'sessionStorage.removeItem("sparkrally-console");'
            'return window.consoleNotKept ? kept.concat([["error", window.consoleNotKept]])'
            '                             : kept;')

    def open(self, url):
        self.drain()
        super().open(url)

    def console(self):
        self.drain()
        kept, self.kept = self.kept, []
        # WebKit reports this notice as an error event now and then when a
        # page's layout changes while a ResizeObserver watches it, even one
        # that only queues work for the next frame as the page's does: it
        # says nothing wrong (WebKit's own account of ResizeObserver says
        # so), and other engines keep it out of the console.
        return [(level, text) for level, text in kept
                if text != 'ResizeObserver loop completed with undelivered notifications.']

    def close(self):
        self.stack.close()


class Firefox(Browser):
    """Firefox ESR over WebDriver BiDi, which it speaks itself (no
    geckodriver), on a private X server: Firefox gives no WebGL when
    headless. The console is the protocol's log.entryAdded events."""
    name = 'Firefox'
    # Headed under Xvfb, with no window manager, and driven over BiDi,
    # Firefox turns every full screen request down (and the page says so).
    lacks = {'devtools': 'it speaks WebDriver BiDi alone',
             'key press': 'with no window manager its window never has the focus, and '
                          'without it a focused button takes no Enter or Space',
             'full screen': 'it refuses full screen here, with no window manager'}
    PREFS = {
        # Firefox refuses WebGL on a software renderer such as llvmpipe
        # unless told to allow it.
        'webgl.force-enabled': True,
        # Screenshots read as field pixels: one CSS pixel, one device pixel.
        'layout.css.devPixelsPerPx': '1.0',
    }

    def __init__(self, webgl=True, firefox='/usr/bin/firefox-esr'):
        self.stack = contextlib.ExitStack()
        self.log = os.devnull
        try:
            home = self.stack.enter_context(
                tempfile.TemporaryDirectory(prefix='sparkrally-firefox-'))
            self.log = os.path.join(home, 'firefox.log')
            profile = os.path.join(home, 'profile')
            os.mkdir(profile)
            prefs = dict(self.PREFS, **({} if webgl else {'webgl.disabled': True}))
            with open(os.path.join(profile, 'user.js'), 'w') as f:
                for name, value in prefs.items():
                    f.write('user_pref(%s, %s);\n' % (json.dumps(name), json.dumps(value)))
            display = self.stack.enter_context(xvfb(home))
            port = free_port()
            self.stack.enter_context(process(
                # BiDi on the port; this profile alone; never hand over to
                # another Firefox already running.
                [firefox, '--remote-debugging-port=%d' % port, '--profile', profile,
                 '--no-remote', 'about:blank'], clean_env(home, display), self.log))
            self.loop = asyncio.new_event_loop()
            self.thread = threading.Thread(target=self.loop.run_forever, daemon=True)
            self.thread.start()
            self.stack.callback(self.stop_loop)
            self.sync(self.connect('ws://127.0.0.1:%d/session' % port), 30)
            self.stack.callback(self.end)
            self.command('session.new', {'capabilities': {}})
            self.command('session.subscribe', {'events': ['log.entryAdded']})
            self.context = self.command('browsingContext.getTree', {})['contexts'][0]['context']
            self.viewport(*VIEWPORT)
        except Exception as e:
            said = tail(self.log)
            self.stack.close()
            raise RuntimeError('Firefox did not start: %s%s' % (e, said)) from e

    # The protocol's connection lives on its own event loop in a thread; the
    # tests call it synchronously.

    def sync(self, coroutine, timeout):
        future = asyncio.run_coroutine_threadsafe(coroutine, self.loop)
        try:
            return future.result(seconds(timeout))
        except TimeoutError:
            future.cancel()
            raise Timeout('no answer from Firefox within %g s' % seconds(timeout)) from None

    async def connect(self, url):
        self.entries, self.waiting, self.next_id = [], {}, 0
        deadline = time.monotonic() + seconds(20)
        while True:  # the port opens a moment after the process starts
            try:
                self.socket = await websockets.connect(url, max_size=None)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                await asyncio.sleep(0.1)
        self.reader = asyncio.ensure_future(self.read())

    async def read(self):
        try:
            async for text in self.socket:
                message = json.loads(text)
                if message.get('method') == 'log.entryAdded':
                    self.entries.append(message['params'])
                elif message.get('id') in self.waiting:
                    self.waiting.pop(message['id']).set_result(message)
        except websockets.ConnectionClosed:
            pass  # said to every command still waiting, below
        for future in self.waiting.values():
            future.set_exception(ConnectionError('Firefox closed the connection'))
        self.waiting.clear()

    async def send(self, method, params):
        self.next_id += 1
        future = self.waiting[self.next_id] = self.loop.create_future()
        await self.socket.send(json.dumps({'id': self.next_id, 'method': method,
                                           'params': params}))
        return await future

    def command(self, method, params, timeout=30):
        answer = self.sync(self.send(method, params), timeout)
        if answer.get('type') == 'error':
            raise ScriptError('%s: %s: %s' % (method, answer.get('error'), answer.get('message')))
        return answer['result']

    def end(self):
        # Firefox may be gone already; its process group is ended after this
        # in any case.
        with contextlib.suppress(Exception):
            self.command('browser.close', {}, 10)
        with contextlib.suppress(Exception):
            self.sync(self.socket.close(), 5)

    def stop_loop(self):
        self.loop.call_soon_threadsafe(self.loop.stop)
        self.thread.join(5)

    # The interface.

    def open(self, url):
        self.command('browsingContext.navigate',
                     {'context': self.context, 'url': url, 'wait': 'complete'}, 30)

    def call(self, body, args, wait, timeout):
        answer = self.command('script.callFunction', {
            'functionDeclaration': 'function () {' + body + '}',
            'arguments': [serialise(a) for a in args],
            'target': {'context': self.context}, 'awaitPromise': wait,
            'resultOwnership': 'none'}, timeout)
        if answer['type'] == 'exception':
            raise ScriptError(answer['exceptionDetails']['text'])
        return deserialise(answer['result'])

    def run(self, body, *args):
        return self.call(body, args, False, 30)

    def wait_for(self, body, *args, timeout):
        return self.call(body, args, True, timeout)

    def actions(self, source):
        self.command('input.performActions', {'context': self.context, 'actions': [source]})

    def drag(self, points):
        # A touch pointer: Firefox gives the page touch events, at whole
        # CSS pixels.
        points = [(round(x), round(y)) for x, y in points]
        moves = [{'type': 'pointerMove', 'x': x, 'y': y, 'origin': 'viewport'} for x, y in points]
        self.actions({'type': 'pointer', 'id': 'finger', 'parameters': {'pointerType': 'touch'},
                      'actions': moves[:1] + [{'type': 'pointerDown', 'button': 0}] + moves[1:]
                      + [{'type': 'pointerUp', 'button': 0}]})
        return points

    def move(self, x, y):
        self.actions({'type': 'pointer', 'id': 'mouse', 'actions': [
            {'type': 'pointerMove', 'x': x, 'y': y, 'origin': 'viewport'}]})

    def press_button(self):
        self.actions({'type': 'pointer', 'id': 'mouse', 'actions': [
            {'type': 'pointerDown', 'button': 0}, {'type': 'pointerUp', 'button': 0}]})

    def key_down(self, key):
        self.actions({'type': 'key', 'id': 'keyboard', 'actions': [
            {'type': 'keyDown', 'value': KEYS[key]}]})

    def key_up(self, key):
        self.actions({'type': 'key', 'id': 'keyboard', 'actions': [
            {'type': 'keyUp', 'value': KEYS[key]}]})

    def viewport(self, width, height):
        self.command('browsingContext.setViewport', {
            'context': self.context, 'viewport': {'width': width, 'height': height}})

    def viewport_png(self):
        return base64.b64decode(self.command(
            'browsingContext.captureScreenshot', {'context': self.context})['data'])

    def shot(self, element_id):
        # Only the element's box is drawn and encoded: half the time of the
        # whole viewport's.
        left, top, width, height = (round(v) for v in self.rect(element_id))
        png = base64.b64decode(self.command('browsingContext.captureScreenshot', {
            'context': self.context, 'clip': {'type': 'box', 'x': left, 'y': top,
                                              'width': width, 'height': height}})['data'])
        return Image.open(io.BytesIO(png)).convert('RGB')

    def console(self):
        entries, self.entries = self.entries, []
        return [(e['level'], e.get('text') or '') for e in entries
                if e['level'] in ('error', 'warn')]

    def close(self):
        self.stack.close()


def serialise(value):
    """A number or a string as a BiDi local value."""
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        return {'type': 'number', 'value': value}
    if isinstance(value, str):
        return {'type': 'string', 'value': value}
    raise TypeError('cannot hand %r to the page' % (value,))


def deserialise(remote):
    """A BiDi remote value as Python: primitives, arrays and plain objects."""
    kind, value = remote['type'], remote.get('value')
    if kind in ('undefined', 'null'):
        return None
    if kind == 'number' and isinstance(value, str):
        return float(value)  # NaN, -0 and the infinities come as strings
    if kind in ('string', 'number', 'boolean'):
        return value
    if kind == 'array':
        return [deserialise(v) for v in value]
    if kind == 'object':
        return {k if isinstance(k, str) else deserialise(k): deserialise(v) for k, v in value}
    raise TypeError('the page returned a %s' % kind)


ENGINE_CLASSES = {'chromium': Chromium, 'firefox': Firefox, 'webkit': WebKit}


def open_browser(engine, **options):
    """A started browser of the named engine; use it as a context manager."""
    # No WebDriver command may wait for ever on a stuck browser.
    RemoteConnection.set_timeout(seconds(60))
    return ENGINE_CLASSES[engine](**options)
