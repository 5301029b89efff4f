#!/usr/bin/python3
"""Runs the web frame benchmark in each browser engine and the desktop one
beside them, and prints their medians side by side; then, with --tempo,
the frames per second of the real page in each engine and of the desktop
game's window under Xvfb over the same seconds of play.

    web_frame.py WEBDIR [--engines chromium,firefox,webkit] [--native bench_frame]
                 [--tempo SECONDS --page dist/web --desktop swap_clock] ...

WEBDIR holds web_frame.html, web_frame.js, web_frame.wasm and runend.js. The page is
served from 127.0.0.1 on a free port, cross-origin isolated so that the
browser's clock is fine-grained. Every engine renders WebGL on the CPU, as
the desktop benchmark renders with Mesa's llvmpipe: Chromium on
SwiftShader, Firefox and WebKitGTK on llvmpipe under a private X server
(tests/web/browsers.py). Needs what the web tests need.
"""

import argparse
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse

# The web tests' browsers, loopback server and clean environment.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
import browsers  # noqa: E402

COUNTS = (0, 1000, 5000)

RESULT = re.compile(r"^web_frame sparks=(\d+) (.*)$")


class Failure(Exception):
    pass


def parse_web(text):
    """The figures of each 'web_frame sparks=N key=value...' line, by N."""
    results = {}
    for line in text.splitlines():
        m = RESULT.match(line.strip())
        if not m:
            continue
        fields = {}
        for item in m.group(2).split():
            key, _, value = item.partition("=")
            try:
                fields[key] = float(value)
            except ValueError:
                pass
        results[int(m.group(1))] = fields
    return results


# Cross-origin isolation gives the page a clock of a few microseconds
# instead of a coarsened one.
ISOLATED = (("Cross-Origin-Opener-Policy", "same-origin"),
            ("Cross-Origin-Embedder-Policy", "require-corp"), ("Cache-Control", "no-store"))

# Put before the page's own scripts: the time of each of the web layer's
# uploads, one a frame at the swap.
FRAME_CLOCK = b"""<script>(function () {
  var stamps = window.frameStamps = [];
  [window.WebGLRenderingContext, window.WebGL2RenderingContext].forEach(function (kind) {
    if (!kind) return;
    var upload = kind.prototype.bufferData;
    kind.prototype.bufferData = function () {
      stamps.push(performance.now() / 1000);
      return upload.apply(this, arguments);
    };
  });
})();</script>"""


def run_page(browser, server, args):
    """One run of the benchmark page: its figures by spark count, and what
    its WebGL runs on."""
    query = urllib.parse.urlencode(
        {"frames": args.frames, "warmup": args.warmup, "sync": args.sync})
    browser.open(f"{server.url}web_frame.html?{query}")
    try:
        status = browser.wait_for("return window.runEnded", timeout=args.timeout)
    except browsers.Timeout as e:
        raise Failure(f"{browser.name}: {e}") from None
    text = browser.run("return document.getElementById('output').textContent")
    if status != 0 or "web_frame done" not in text:
        log = "\n".join(f"{level}: {message}" for level, message in browser.console())
        raise Failure(f"{browser.name}: the page failed ({status}):\n{text}\n{log}")
    info = dict(re.findall(r"^(renderer|vendor|webgl|isolated): (.*)$", text, re.M))
    return parse_web(text), info


def rate(stamps, seconds):
    """Frames a second over the first `seconds` seconds from the first
    frame, and the median time between two frames in milliseconds (which
    the game's pauses at a goal do not move)."""
    if not stamps or stamps[-1] - stamps[0] < seconds:
        return None
    stamps = [t for t in stamps if t - stamps[0] < seconds]
    gaps = [b - a for a, b in zip(stamps, stamps[1:])]
    return len(stamps) / seconds, statistics.median(gaps) * 1000


def page_tempo(engine, args):
    """The real page's frames a second in one engine over args.tempo seconds
    of play, counted from its first frame."""
    with browsers.open_browser(engine) as browser, \
            browsers.Server(args.page, inject=browser.inject + FRAME_CLOCK) as server:
        browser.open(server.url + "index.html")

        def played():
            stamps = browser.run("return window.frameStamps")
            return stamps if stamps and stamps[-1] - stamps[0] >= args.tempo else None

        # Play goes on by itself: the player's paddle waits on the top edge.
        time.sleep(args.tempo)
        try:
            return rate(browsers.until(played, args.tempo, "too few frames"), args.tempo)
        except browsers.Timeout as e:
            raise Failure(f"{browser.name}: {e} for {args.tempo} s of play") from None


def desktop_tempo(args, home):
    """The desktop game's frames a second in its window under Xvfb, over the
    same seconds of play, from its swaps' times."""
    with browsers.xvfb(home) as display:
        child = subprocess.Popen([args.desktop], env=browsers.clean_env(home, display),
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        stamps = []
        try:
            for line in child.stdout:
                stamps.append(float(line.split()[1]))
                if stamps[-1] - stamps[0] >= args.tempo:
                    break
        finally:
            child.terminate()
            child.wait()
    return rate(stamps, args.tempo)


def run_native(args, home):
    """Medians of BM_gameframe in microseconds by spark count, and the
    renderer that the desktop benchmark names."""
    out = os.path.join(home, "native.json")
    cmd = [args.native, "--benchmark_filter=^BM_gameframe/",
           f"--benchmark_repetitions={args.native_repetitions}",
           "--benchmark_report_aggregates_only=true",
           f"--benchmark_out={out}", "--benchmark_out_format=json"]
    try:
        done = subprocess.run(cmd, env=browsers.clean_env(home), stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, text=True, timeout=600)
    except (OSError, subprocess.TimeoutExpired) as e:
        raise Failure(f"{args.native} did not run: {e}") from e
    if done.returncode != 0 or not os.path.isfile(out):
        raise Failure(f"{' '.join(cmd)} failed ({done.returncode}):\n{done.stdout}")
    with open(out) as f:
        report = json.load(f)
    medians = {}
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}
    for b in report.get("benchmarks", []):
        if b.get("aggregate_name") != "median":
            continue
        m = re.match(r"BM_gameframe/(\d+)", b.get("run_name", b["name"]))
        if m:
            medians[int(m.group(1))] = b["real_time"] * scale[b.get("time_unit", "ns")]
    renderer = re.search(r"^renderer: (.*)$", done.stdout, re.M)
    return medians, renderer.group(1) if renderer else "unknown"


def positive(text):
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError(f"{text} is not a positive count")
    return value


def engines(text):
    names = text.split(",")
    for name in names:
        if name not in browsers.ENGINES:
            raise argparse.ArgumentTypeError(f"{name} is not one of {browsers.ENGINES}")
    return names


def figure(value):
    return "-" if value is None else f"{value:.0f}"


def table(header, rows):
    widths = [max(len(r[i]) for r in rows + [header]) for i in range(len(header))]
    for r in [header] + rows:
        print(" | ".join(c.rjust(widths[i]) for i, c in enumerate(r)))


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("webdir", help="folder with web_frame.html, .js, .wasm and runend.js")
    p.add_argument("--engines", type=engines, default=list(browsers.ENGINES),
                   help="comma-separated engines (default: all three)")
    p.add_argument("--native", help="the desktop bench_frame binary, run for comparison")
    p.add_argument("--native-repetitions", type=positive, default=5)
    p.add_argument("--frames", type=positive, default=300, help="timed frames per spark count")
    p.add_argument("--warmup", type=positive, default=50, help="untimed frames before them")
    p.add_argument("--sync", choices=("read", "finish"), default="read",
                   help="end each web frame with a one-pixel read (default) or at glFinish")
    p.add_argument("--rounds", type=positive, default=1,
                   help="turns of desktop and browser runs, whose medians are taken")
    p.add_argument("--timeout", type=float, default=120, help="seconds to wait for the page")
    p.add_argument("--tempo", type=positive, help="seconds of play over which to count frames "
                   "(a match left alone lasts about 10)")
    p.add_argument("--page", help="the built game page, for --tempo")
    p.add_argument("--desktop", help="the desktop game with its swaps timed (swap_clock), "
                   "for --tempo")
    args = p.parse_args()
    if args.tempo and not (args.page and args.desktop):
        p.error("--tempo needs --page and --desktop")
    for name in ("web_frame.html", "web_frame.js", "web_frame.wasm", "runend.js"):
        if not os.path.isfile(os.path.join(args.webdir, name)):
            p.error(f"{name} is missing from {args.webdir}")

    load = os.getloadavg()[0]
    # Per round: web figures by engine and count, native medians by count.
    rounds = []
    native_renderer, info, tempo = None, {}, {}
    with tempfile.TemporaryDirectory(prefix="web_frame.") as home:
        try:
            with browsers.Server(args.webdir, ISOLATED) as server:
                opened = {}
                try:
                    for engine in args.engines:
                        try:
                            opened[engine] = browsers.open_browser(engine)
                        except Exception as e:
                            raise Failure(f"{engine} did not start: {e}") from e
                    # Desktop and browsers take turns, so that a change in the
                    # machine's load falls on all.
                    for _ in range(args.rounds):
                        native = {}
                        if args.native:
                            native, native_renderer = run_native(args, home)
                        web = {}
                        for engine, browser in opened.items():
                            web[engine], info[engine] = run_page(browser, server, args)
                        rounds.append((web, native))
                finally:
                    for browser in opened.values():
                        browser.close()
            if args.tempo:
                # One at a time, so that none takes another's processor.
                for engine in args.engines:
                    tempo[browsers.ENGINE_CLASSES[engine].name] = page_tempo(engine, args)
                tempo["desktop window"] = desktop_tempo(args, home)
        except Failure as e:
            print(f"web_frame: {e}", file=sys.stderr)
            return 1

    names = {engine: browsers.ENGINE_CLASSES[engine].name for engine in args.engines}
    for engine in args.engines:
        i = info[engine]
        print(f"{names[engine]} renderer: {i.get('renderer', 'unknown')} ({i.get('vendor', '?')}; "
              f"{i.get('webgl', '?')}; fine clock: {i.get('isolated', '?')})")
    if args.native:
        print(f"native renderer: {native_renderer}")
    native_runs = (f"native: median of {args.native_repetitions} repetitions; "
                   if args.native else "")
    print(f"web: {args.frames} frames per count after {args.warmup} untimed, ending at "
          f"{'a one-pixel read' if args.sync == 'read' else 'glFinish'}; {native_runs}"
          f"{args.rounds} round(s), medians across rounds; load average {load:.1f} before, "
          f"{os.getloadavg()[0]:.1f} after")

    def across(pick):
        values = [v for v in (pick(web, native) for web, native in rounds) if v is not None]
        return statistics.median(values) if values else None

    def web_median(engine, n, key="median_us"):
        return across(lambda w, nat: w[engine].get(n, {}).get(key))

    header = ("sparks", "native median µs") + tuple(
        f"{names[e]} median µs (/native)" for e in args.engines)
    rows = []
    for n in COUNTS:
        native = across(lambda w, nat: nat.get(n))
        cells = []
        for engine in args.engines:
            ratio = across(lambda w, nat: w[engine][n]["median_us"] / nat[n]
                           if "median_us" in w[engine].get(n, {}) and nat.get(n) else None)
            cells.append(f"{figure(web_median(engine, n))}" +
                         ("" if ratio is None else f" ({ratio:.2f})"))
        rows.append((str(n), figure(native)) + tuple(cells))
    table(header, rows)
    print("web frame parts, medians in µs (game: the frame's functions up to the sparks; "
          "swap; glFinish; read), and the 90th percentile of the whole frame:")
    for engine in args.engines:
        for n in COUNTS:
            part = {k: figure(web_median(engine, n, k))
                    for k in ("game_us", "swap_us", "finish_us", "wait_us", "p90_us")}
            print(f"  {names[engine]:9} {n:5d}: game {part['game_us']}  swap {part['swap_us']}  "
                  f"finish {part['finish_us']}  read {part['wait_us']}  p90 {part['p90_us']}")
    if tempo:
        print(f"tempo: frames per second over the first {args.tempo} s of play, the real game "
              "left alone (the page's frames counted at its one upload a frame, the desktop's "
              "at its swap):")
        table(("", "frames a second", "median frame ms"),
              [(name, "-", "-") if t is None else (name, f"{t[0]:.1f}", f"{t[1]:.1f}")
               for name, t in tempo.items()])
    missing = sorted({(engine, n) for web, native in rounds for engine in args.engines
                      for n in COUNTS if n not in web[engine]} |
                     {("native", n) for web, native in rounds for n in COUNTS
                      if args.native and n not in native})
    if missing or None in tempo.values():
        print(f"web_frame: no figures for {missing or ''} "
              f"{[k for k, v in tempo.items() if v is None] or ''}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
