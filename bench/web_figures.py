#!/usr/bin/python3
"""The browser build's figures (build/web, headless Chromium with SwiftShader):
a first visit's transfer size gzipped, the time to the live page's first frame,
the demo played with ?headless (a first run and a warm one, as real-time
factors), the live page's frame time and main-thread CPU with four fingers
down, and what the page reports of its sound path. Prints them; asserts
nothing. Usage: bench/web_figures.py [REPO]"""
import gzip
import os
import sys
import time

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
sys.argv = [sys.argv[0], ROOT]
sys.path.insert(0, os.path.join(ROOT, "tests/web"))
import cdp  # noqa: E402
import web_test  # noqa: E402

WEB = os.path.join(ROOT, "build/web")
FIRST_VISIT = ["index.html", "page.js", "feed.js", "zindle.js", "zindle.wasm", "zindle.data", "sw.js",
               "manifest.webmanifest", "icons/zindle-128.png", "icons/zindle-256.png",
               "icons/zindle-512.png"]


def main():
    sizes = {}
    for name in FIRST_VISIT:
        with open(os.path.join(WEB, name), "rb") as f:
            sizes[name] = len(gzip.compress(f.read(), 9))
    total = sum(sizes.values())
    print(f"first visit, gzipped: {total / 1e6:.2f} MB (" +
          ", ".join(f"{n} {s / 1e6:.2f}" for n, s in sizes.items() if s > 20000) + " MB)")

    os.makedirs(os.path.join(WEB, "test"), exist_ok=True)
    with open(os.path.join(ROOT, "examples/demo.zs")) as src, \
            open(os.path.join(WEB, "test/demo.zs"), "w") as dst:
        dst.write(src.read())
    server = web_test.serve(WEB)
    base = f"http://127.0.0.1:{server.server_address[1]}"
    browser = cdp.Browser()
    try:
        for run in ("first", "warm", "warm"):
            browser.open(f"{base}/index.html?headless&script=test/demo.zs&seed=3")
            browser.wait_for('document.title == "done"', 300)
            ms = browser.evaluate("window.zindle.result.renderMilliseconds")
            print(f"demo (21.0 s) with ?headless, {run} run: {ms / 1000:.2f} s, {21000 / ms:.0f}x real time")

        started = time.time()
        browser.open(f"{base}/index.html")
        browser.wait_for("window.zindle && window.zindle.status && window.zindle.status().voices.length == 4", 60)
        print(f"live page: navigation to first frame {time.time() - started:.2f} s")
        browser.call("Performance.enable")
        browser.touch("touchStart", [(i, (60 + 100 * i, 80 + 50 * i)) for i in range(4)])
        # Every animation frame's interval, and the work of those that ran an
        # instrument frame (the others return at once).
        browser.evaluate("""(() => { const f = Module._zindle_frame; window.frameTimes = [];
          window.frameWork = []; let last = performance.now();
          Module._zindle_frame = () => { const s = performance.now(); f(); const t = performance.now();
            window.frameTimes.push(t - last); last = t; if (t - s > 0.2) window.frameWork.push(t - s); }; })()""")
        before = {m["name"]: m["value"] for m in browser.call("Performance.getMetrics")["metrics"]}
        wall = time.time()
        time.sleep(5)
        after = {m["name"]: m["value"] for m in browser.call("Performance.getMetrics")["metrics"]}
        wall = time.time() - wall
        gaps = sorted(browser.evaluate("window.frameTimes"))
        work = sorted(browser.evaluate("window.frameWork")) or [0.0]
        status = browser.evaluate("window.zindle.status()")
        browser.touch("touchEnd", [])
        busy = (after["TaskDuration"] - before["TaskDuration"]) / wall
        print(f"live, four fingers down ({sum(v['active'] for v in status['voices'])} voices), canvas "
              f"{browser.evaluate('canvas.width')} x {browser.evaluate('canvas.height')}: {len(work) / wall:.1f} "
              f"instrument frames a second, each {work[len(work) // 2]:.1f} ms of the page's thread "
              f"(90th percentile {work[int(len(work) * 0.9)]:.1f}); animation frames every "
              f"{gaps[len(gaps) // 2]:.0f} ms (90th percentile {gaps[int(len(gaps) * 0.9)]:.0f}); "
              f"page main thread busy {100 * busy:.0f}%")
        print(f"sound: {status.get('path')}, buffer {status['buffer']} frames, base latency "
              f"{status['baseLatency']} s, output latency {status['outputLatency']} s, "
              f"underruns {status.get('underruns')}")
    finally:
        browser.close()
        server.shutdown()


if __name__ == "__main__":
    main()
