#!/usr/bin/python3
"""Runs the web frame benchmark in headless Chromium and the desktop one
beside it, and prints their medians side by side.

    web_frame.py WEBDIR [--native build/bench/bench_frame] [--frames N] ...

WEBDIR holds web_frame.html, web_frame.js and web_frame.wasm. The page is
served from 127.0.0.1 on a free port, cross-origin isolated so that the
browser's clock is fine-grained. Chromium renders WebGL with SwiftShader
on the CPU, as the desktop benchmark renders with Mesa's llvmpipe, and runs
with a fresh profile and an environment that names no display or driver.
Needs Debian's chromium, chromium-driver and python3-selenium.
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

# The web tests' Chromium and loopback server.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
import chromium  # noqa: E402

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


class BenchPage:
    """The benchmark page, served on loopback and open in headless Chromium."""

    def __init__(self, args):
        for name in ("web_frame.html", "web_frame.js", "web_frame.wasm"):
            if not os.path.isfile(os.path.join(args.webdir, name)):
                raise Failure(f"{name} is missing from {args.webdir}")
        self.args = args
        self.server = chromium.Server(args.webdir, ISOLATED)
        try:
            self.browser = chromium.Browser(chromium=args.chromium,
                                            chromedriver=args.chromedriver)
        except Exception as e:
            self.server.close()
            raise Failure(f"Chromium did not start: {e}") from e
        # The page is busy for a whole spark count at a time; a read of its
        # text waits until the count is done.
        self.browser.driver.set_script_timeout(args.timeout)

    def run(self):
        """One run of the page: its figures by spark count, and what its
        WebGL runs on."""
        args = self.args
        driver = self.browser.driver
        query = urllib.parse.urlencode(
            {"frames": args.frames, "warmup": args.warmup, "sync": args.sync})
        driver.get(f"{self.server.url}web_frame.html?{query}")
        deadline = time.monotonic() + args.timeout
        text = ""
        while time.monotonic() < deadline:
            text = driver.execute_script("return document.getElementById('output').textContent")
            if "web_frame done" in text or "web_frame failed" in text \
                    or re.search(r"web_frame exit [1-9]", text):
                break
            time.sleep(0.25)
        else:
            raise Failure(f"no result within {args.timeout:g} s; the page said:\n{text}")
        if "web_frame done" not in text:
            log = "\n".join(e.get("message", "") for e in driver.get_log("browser"))
            raise Failure(f"the page failed:\n{text}\n{log}")
        info = dict(re.findall(r"^(renderer|vendor|webgl|isolated): (.*)$", text, re.M))
        return parse_web(text), info

    def close(self):
        try:
            self.browser.quit()
        finally:
            self.server.close()


def run_native(args, home):
    """Medians of BM_gameframe in microseconds by spark count, and the
    renderer that the desktop benchmark names."""
    out = os.path.join(home, "native.json")
    cmd = [args.native, "--benchmark_filter=^BM_gameframe/",
           f"--benchmark_repetitions={args.native_repetitions}",
           "--benchmark_report_aggregates_only=true",
           f"--benchmark_out={out}", "--benchmark_out_format=json"]
    try:
        done = subprocess.run(cmd, env=chromium.clean_env(home), stdout=subprocess.PIPE,
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


def figure(value):
    return "-" if value is None else f"{value:.0f}"


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("webdir", help="folder with web_frame.html, .js and .wasm")
    p.add_argument("--native", help="the desktop bench_frame binary, run for comparison")
    p.add_argument("--native-repetitions", type=positive, default=5)
    p.add_argument("--frames", type=positive, default=300, help="timed frames per spark count")
    p.add_argument("--warmup", type=positive, default=50, help="untimed frames before them")
    p.add_argument("--sync", choices=("read", "finish"), default="read",
                   help="end each web frame with a one-pixel read (default) or at glFinish")
    p.add_argument("--rounds", type=positive, default=1,
                   help="turns of desktop and browser runs, whose medians are taken")
    p.add_argument("--timeout", type=float, default=120, help="seconds to wait for the page")
    p.add_argument("--chromium", default="/usr/bin/chromium")
    p.add_argument("--chromedriver", default="/usr/bin/chromedriver")
    args = p.parse_args()

    load = os.getloadavg()[0]
    rounds = []  # per round: (web figures by count, native medians by count)
    native_renderer, info = None, {}
    with tempfile.TemporaryDirectory(prefix="web_frame.") as home:
        try:
            browser = BenchPage(args)
            try:
                # Desktop and browser take turns, so that a change in the
                # machine's load falls on both.
                for _ in range(args.rounds):
                    native = {}
                    if args.native:
                        native, native_renderer = run_native(args, home)
                    web, info = browser.run()
                    rounds.append((web, native))
            finally:
                browser.close()
        except Failure as e:
            print(f"web_frame: {e}", file=sys.stderr)
            return 1

    print(f"web renderer: {info.get('renderer', 'unknown')} ({info.get('vendor', '?')}; "
          f"{info.get('webgl', '?')}; fine clock: {info.get('isolated', '?')})")
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

    header = ("sparks", "web median µs", "web min µs", "web p90 µs", "native median µs",
              "web/native")
    rows = []
    for n in COUNTS:
        ratio = across(lambda w, nat: w[n]["median_us"] / nat[n]
                       if n in w and "median_us" in w[n] and nat.get(n) else None)
        rows.append((str(n),) + tuple(
            figure(across(lambda w, nat, k=k: w.get(n, {}).get(k)))
            for k in ("median_us", "min_us", "p90_us")) +
            (figure(across(lambda w, nat: nat.get(n))),
             "-" if ratio is None else f"{ratio:.2f}"))
    widths = [max(len(r[i]) for r in rows + [header]) for i in range(len(header))]
    for r in [header] + rows:
        print(" | ".join(c.rjust(widths[i]) for i, c in enumerate(r)))
    print("web frame parts, medians in µs (game: the frame's functions up to the sparks; "
          "swap; glFinish; read):")
    for n in COUNTS:
        part = {k: figure(across(lambda w, nat, k=k: w.get(n, {}).get(k)))
                for k in ("game_us", "swap_us", "finish_us", "wait_us")}
        print(f"  {n:5d}: game {part['game_us']}  swap {part['swap_us']}  "
              f"finish {part['finish_us']}  read {part['wait_us']}")
    missing = sorted({n for web, native in rounds for n in COUNTS
                      if n not in web or (args.native and n not in native)})
    if missing:
        print(f"web_frame: no figures for {missing}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
