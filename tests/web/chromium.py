"""Debian's Chromium, headless on software WebGL in a fresh profile and a
clean environment, and a loopback server for the pages it opens. Shared by
the web tests and the web frame benchmark; needs Debian's chromium,
chromium-driver and python3-selenium (run with /usr/bin/python3)."""
import functools
import http.server
import os
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

FLAGS = [
    '--headless=new', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
    '--no-first-run', '--disable-background-networking', '--disable-component-update',
    '--disable-sync', '--force-device-scale-factor=1',
    # Room for the page's text and the whole 640 x 480 canvas.
    '--window-size=800,800',
]


def clean_env(home):
    """An environment that names no display, video driver or GL override:
    nothing of the session's display, SDL or Mesa settings reaches a child."""
    return {'PATH': '/usr/bin:/bin', 'HOME': home, 'TMPDIR': home, 'LANG': 'C.UTF-8'}


class Handler(http.server.SimpleHTTPRequestHandler):
    # WebAssembly must come with its own type, or the browser compiles it the
    # slow way and warns about it in the console.
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.wasm': 'application/wasm'}
    extra = ()  # (name, value) headers added to every answer

    def end_headers(self):
        for name, value in self.extra:
            self.send_header(name, value)
        super().end_headers()

    def log_message(self, *args):
        pass


class Server:
    """Serves one directory on a free loopback port from a thread."""

    def __init__(self, root, headers=()):
        handler = type('Handler', (Handler,), {'extra': tuple(headers)})
        self.httpd = http.server.ThreadingHTTPServer(
            ('127.0.0.1', 0), functools.partial(handler, directory=root))
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()
        self.url = 'http://127.0.0.1:%d/' % self.httpd.server_address[1]

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()
        self.thread.join(5)


class Browser:
    """Headless Chromium in a fresh profile and a clean environment, its
    console kept for the caller to read."""

    def __init__(self, *extra_flags, chromium='/usr/bin/chromium',
                 chromedriver='/usr/bin/chromedriver'):
        self.home = tempfile.TemporaryDirectory(prefix='sparkrally-chromium-')
        options = webdriver.ChromeOptions()
        options.binary_location = chromium
        for flag in FLAGS + ['--user-data-dir=' + os.path.join(self.home.name, 'profile')]:
            options.add_argument(flag)
        for flag in extra_flags:
            options.add_argument(flag)
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
        try:
            self.driver = webdriver.Chrome(
                service=Service(chromedriver, env=clean_env(self.home.name)), options=options)
        except Exception:
            self.home.cleanup()
            raise
        self.driver.set_page_load_timeout(20)
        self.driver.set_script_timeout(10)

    def quit(self):
        try:
            self.driver.quit()
        finally:
            self.home.cleanup()
