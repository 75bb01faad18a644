#!/usr/bin/python3
"""Drives the browser build (build/web) in headless Chromium through the DevTools
protocol and checks it against the desktop build (build/release/zindle):
  - the demo played with ?headless matches the desktop's WAV note for note
    (pitch within 0.1 cent, level within 0.1 dB) and its first frame the desktop's;
  - the live page: two touches sound two voices at the desktop's pitches for
    those points, lifting them ends both, and a double tap in the corner opens the panel.
Prints the figures it measured. Usage: tests/web/web_test.py [REPO]"""
import base64
import functools
import http.server
import io
import json
import os
import shutil
import socketserver
import subprocess
import sys
import tempfile
import threading
import time
import wave

import numpy as np

import cdp

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../.."))
WEB = os.path.join(ROOT, "build/web")
DESKTOP = os.path.join(ROOT, "build/release/zindle")
failures = []
passes = []


def check(condition, message):
    print(("ok    " if condition else "FAIL  ") + message, flush=True)
    (passes if condition else failures).append(message)


def samples(wav_bytes):
    with wave.open(io.BytesIO(wav_bytes)) as w:
        assert (w.getnchannels(), w.getsampwidth(), w.getframerate()) == (1, 2, 44100)
        return np.frombuffer(w.readframes(w.getnframes()), dtype=np.int16).astype(np.float64)


def desktop(*args):
    with tempfile.TemporaryDirectory() as folder:
        wav = os.path.join(folder, "out.wav")
        subprocess.run([DESKTOP, "--headless", "--wav", wav, *args], check=True,
                       stdout=subprocess.DEVNULL)
        with open(wav, "rb") as f:
            return f.read()


def peak_hz(x):
    """The strongest partial's frequency: a Hann-windowed FFT, zero-padded 8
    times, its peak refined by a parabola through the log magnitudes."""
    n = len(x)
    spectrum = np.abs(np.fft.rfft(x * np.hanning(n), 8 * n)) + 1e-12
    k = int(np.argmax(spectrum[8:])) + 8
    a, b, c = np.log(spectrum[k - 1:k + 2])
    return (k + 0.5 * (a - c) / (a - 2 * b + c)) * 44100.0 / (8 * n)


def level_db(x):
    return 10 * np.log10(np.mean(x * x) + 1e-12)


def script_times(path):
    times = set()
    for line in open(path):
        fields = line.split("#", 1)[0].split()
        if fields:
            times.add(float(fields[0]))
            if fields[1] == "slide":
                times.add(float(fields[0]) + float(fields[-1]))
    return sorted(times)


def serve(folder):
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass
    handler = functools.partial(Quiet, directory=folder)
    server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def headless_demo(browser, base):
    demo = os.path.join(ROOT, "examples/demo.zs")
    reference = samples(desktop("--script", demo, "--seed", "3"))
    browser.open(f"{base}/index.html?headless&script=test/demo.zs&seed=3")
    waited = browser.wait_for('document.title == "done" || document.title == "failed"', 300)
    error = browser.evaluate("window.zindle.error")
    check(error is None, f"the demo plays headless in the page ({error})")
    if error:
        return
    result = browser.evaluate("window.zindle.result")
    web = samples(base64.b64decode(result["wav"]))
    seconds = len(reference) / 44100
    print(f"      demo: {seconds:.1f} s rendered in {result['renderMilliseconds'] / 1000:.2f} s "
          f"({seconds * 1000 / result['renderMilliseconds']:.1f}x real time; page ready to done {waited:.1f} s)")
    check(len(web) == len(reference), f"the page's WAV is as long as the desktop's ({len(web)}, {len(reference)})")
    difference = np.abs(web[:len(reference)] - reference[:len(web)])
    at = int(np.argmax(difference))
    print(f"      largest sample difference {difference[at]:.0f} at {at / 44100:.3f} s; "
          f"{np.count_nonzero(difference)} of {len(difference)} samples differ")
    # Every note: the time between two of the script's events, less 30 ms each side.
    worst_cents = worst_db = 0.0
    worst_note = ""
    times = script_times(demo) + [seconds]
    for start, end in zip(times, times[1:]):
        a, b = int((start + 0.03) * 44100), int((end - 0.03) * 44100)
        if b - a < 4410 or level_db(reference[a:b]) < 20:  # short, or silent
            continue
        cents = abs(1200 * np.log2(peak_hz(web[a:b]) / peak_hz(reference[a:b])))
        db = abs(level_db(web[a:b]) - level_db(reference[a:b]))
        if cents > worst_cents or db > worst_db:
            worst_note = f"{start:.2f}-{end:.2f} s"
        worst_cents, worst_db = max(worst_cents, cents), max(worst_db, db)
    check(worst_cents <= 0.1 and worst_db <= 0.1,
          f"every note of the demo: pitch within 0.1 cent ({worst_cents:.4f}), "
          f"level within 0.1 dB ({worst_db:.4f}; worst {worst_note})")


def region_differences(browser, png_base64, desktop_url):
    """Both PNGs decoded by the browser; for each region of a 6 x 4 grid (80 x 80
    pixels at 1x) its mean absolute difference and the desktop's brightness, as
    (column, row, difference, brightness); None when the sizes differ."""
    return browser.evaluate("""(async () => {
      async function pixels(src) {
        const image = new Image(); image.src = src; await image.decode();
        const c = document.createElement('canvas'); c.width = image.width; c.height = image.height;
        const g = c.getContext('2d'); g.drawImage(image, 0, 0);
        return [image.width, image.height, g.getImageData(0, 0, image.width, image.height).data];
      }
      const [w, h, web] = await pixels('data:image/png;base64,%s');
      const [dw, dh, desk] = await pixels('%s');
      if (w != dw || h != dh) return null;
      const out = [], rw = w / 6, rh = h / 4;
      for (let ry = 0; ry < 4; ++ry)
        for (let rx = 0; rx < 6; ++rx) {
          let difference = 0, brightness = 0;
          for (let y = ry * rh; y < (ry + 1) * rh; ++y)
            for (let x = rx * rw; x < (rx + 1) * rw; ++x)
              for (let c = 0; c < 3; ++c) {
                const i = (y * w + x) * 4 + c;
                difference += Math.abs(web[i] - desk[i]);
                brightness += desk[i];
              }
          out.push([rx, ry, difference / (rw * rh * 3), brightness / (rw * rh * 3)]);
        }
      return out;
    })()""" % (png_base64, desktop_url))


def first_frame(browser, base, folder):
    """The page's first frame against the desktop's 1x screenshot of the same
    seed, region by region: a black or half-drawn frame differs from it in
    most regions, a faithful one by a few steps of 255 at most."""
    shot = os.path.join(folder, "first.png")
    subprocess.run([DESKTOP, "--headless", "--seconds", "0.05", "--seed", "3", "--screenshot", shot],
                   check=True, stdout=subprocess.DEVNULL)
    browser.open(f"{base}/index.html?headless&seconds=0.05&seed=3")
    browser.wait_for('document.title == "done" || document.title == "failed"', 120)
    regions = region_differences(browser, browser.evaluate("window.zindle.result.png"), "test/first.png")
    check(regions is not None, "the page's frame is as large as the desktop's")
    if regions is None:
        return
    worst = max(regions, key=lambda r: r[2])
    robot = [r for r in regions if r[0] in (2, 3) and r[1] in (1, 2)]
    check(all(r[3] > 40 for r in robot), "the desktop's first frame shows the robot in the middle "
          f"(brightness {[round(r[3]) for r in robot]})")
    check(worst[2] < 3.0, "the page's first frame (robot, backdrop, panel button) matches the desktop's "
          f"in every region: worst mean difference {worst[2]:.3f} of 255 at region {worst[:2]}")


def script_outputs(browser, base, folder):
    """A script's shot in the page becomes part of the result (the frame the
    desktop's shot writes), and its save stores the settings in the page's storage."""
    with open(os.path.join(folder, "outputs.zs"), "w") as f:
        f.write("0.2 down 1 240 160\n0.4 shot middle.png\n0.5 up 1\n0.6 save kept.settings\n")
    subprocess.run([DESKTOP, "--headless", "--script", "outputs.zs", "--seed", "5"], check=True,
                   stdout=subprocess.DEVNULL, cwd=folder)
    browser.open(f"{base}/test/blank.html")
    browser.wait_for("document.readyState == 'complete'", 30)
    browser.evaluate("localStorage.removeItem('zindle.settings')")
    browser.open(f"{base}/index.html?headless&script=test/outputs.zs&seed=5")
    browser.wait_for('document.title == "done" || document.title == "failed"', 120)
    shots = browser.evaluate("window.zindle.result && Object.keys(window.zindle.result.shots)")
    check(shots == ["middle.png"], f"a script's shot is part of the page's result ({shots})")
    if shots == ["middle.png"]:
        regions = region_differences(browser, browser.evaluate("window.zindle.result.shots['middle.png']"),
                                     "test/middle.png")
        worst = max(regions, key=lambda r: r[2]) if regions else None
        check(worst is not None and worst[2] < 3.0,
              f"the shot shows what the desktop's does (worst region {worst})")
    stored = browser.evaluate("localStorage.getItem('zindle.settings')") or ""
    with open(os.path.join(folder, "kept.settings")) as f:
        desktop_settings = f.read()
    check(stored.strip() == desktop_settings.strip(),
          f"a script's save stores the desktop's settings in the page's storage ({len(stored)} characters)")


def live(browser, base):
    browser.open(f"{base}/index.html")
    ready = browser.wait_for("window.zindle && window.zindle.status && window.zindle.status().voices.length == 4", 60)
    print(f"      live page: first frame {ready:.2f} s after navigation")
    # 480 x 320 CSS pixels: a scene point is a CSS pixel.
    points = [(100.0, 220.0), (330.0, 100.0)]
    browser.touch("touchStart", [(i, (x, y)) for i, (x, y) in enumerate(points)])
    time.sleep(0.4)
    status = browser.evaluate("window.zindle.status()")
    fingers = sorted((f["x"], f["y"]) for f in status["fingers"])
    check(fingers == sorted(points), f"status() gives the touches as scene points ({fingers})")
    voices = sorted(v["hz"] for v in status["voices"] if v["active"])
    expected = []
    for x, y in points:
        wav = samples(desktop("--script", write_script(f"0 down 1 {x} {y}\n2 up 1\n")))
        expected.append(peak_hz(wav[22050:88200]))
    expected.sort()
    check(len(voices) == 2 and all(abs(1200 * np.log2(v / e)) < 1.0 for v, e in zip(voices, expected)),
          f"two touches sound two voices at the desktop's pitches ({voices} Hz, desktop {expected})")
    browser.touch("touchEnd", [])
    time.sleep(0.3)
    status = browser.evaluate("window.zindle.status()")
    check(not status["fingers"] and not any(v["active"] for v in status["voices"]),
          "lifting both fingers ends both voices")
    # A tap is down for two frames. One alone leaves the panel closed (its
    # window then passes); a second at once after it opens the panel.
    def tap():
        browser.touch("touchStart", [(0, (455, 295))])
        time.sleep(0.1)
        browser.touch("touchEnd", [])
    tap()
    time.sleep(0.7)
    panel = [browser.evaluate("window.zindle.status().panel")]
    started = time.time()
    tap()
    time.sleep(0.1)
    tap()
    between = time.time() - started
    time.sleep(0.3)
    panel.append(browser.evaluate("window.zindle.status().panel"))
    check(panel == [False, True],
          f"a double tap in the bottom-right corner opens the panel, a single one does not "
          f"({panel}; the double tap dispatched in {between:.2f} s)")
    status = browser.evaluate("window.zindle.status()")
    check(status["path"] == "AudioWorklet" and status["audio"] == "running",
          f"the sound plays through an AudioWorklet ({status['path']}, {status['audio']})")
    print(f"      audio: {status['path']} at {status['sampleRate']} Hz, ring of {status['buffer']} frames, "
          f"base latency {status['baseLatency']}, output latency {status['outputLatency']}, "
          f"{status['underruns']} underruns")


def notices(browser, base):
    """What the page says in the hint's place: to a mouse, how to open the panel; to a
    thirteenth finger, why it does not play."""
    browser.open(f"{base}/index.html")
    browser.wait_for("window.zindle && window.zindle.status && window.zindle.status().voices.length == 4", 60)
    # Three single clicks on the corner, each alone (its double-click window passes).
    for _ in range(3):
        browser.click(455, 295)
        time.sleep(0.7)
    notice = browser.evaluate("window.zindle.status().notice")
    check(notice == "Double-click the corner or press Tab for controls",
          f"three single clicks on the corner tell a mouse user to double-click or press Tab ({notice!r})")
    browser.touch("touchStart", [(i, (20.0 + 30 * i, 150.0)) for i in range(13)])
    time.sleep(0.3)
    status = browser.evaluate("window.zindle.status()")
    browser.touch("touchEnd", [])
    check(len(status["fingers"]) == 12 and status["notice"] == "Twelve fingers are down: lift one to play",
          f"a thirteenth finger is refused and the page says why ({len(status['fingers'])} fingers, "
          f"{status['notice']!r})")


def grid_lines(browser, png_base64):
    """The note grid's lines in a frame: runs of columns that are white (or
    black) from top to bottom, as (first column, width)."""
    columns = browser.evaluate("""(async () => {
      const image = new Image(); image.src = 'data:image/png;base64,%s'; await image.decode();
      const c = document.createElement('canvas'); c.width = image.width; c.height = image.height;
      const g = c.getContext('2d'); g.drawImage(image, 0, 0);
      const p = g.getImageData(0, 0, c.width, c.height).data;
      const out = [];
      for (let x = 0; x < c.width; ++x) {
        let white = 0, black = 0;
        for (let y = 0; y < c.height; ++y) {
          const i = (y * c.width + x) * 4;
          const low = Math.min(p[i], p[i + 1], p[i + 2]), high = Math.max(p[i], p[i + 1], p[i + 2]);
          if (low > 200) ++white;
          if (high < 40) ++black;
        }
        out.push(white > 0.9 * c.height || black > 0.9 * c.height);
      }
      return out;
    })()""" % png_base64)
    lines, x = [], 0
    while x < len(columns):
        if columns[x]:
            start = x
            while x < len(columns) and columns[x]:
                x += 1
            lines.append((start, x - start))
        x += 1
    return lines


def crisp(browser, base, folder):
    """At two device pixels a point the live canvas is drawn at device pixels:
    the note grid's one-point lines are two pixels wide, sharp, where the
    desktop draws them at --scale 2. The grid is switched on by settings in the
    page's storage, restored on the visit that follows."""
    settings = os.path.join(folder, "grid.settings")
    script = write_script(f"0 save {settings}\n")
    subprocess.run([DESKTOP, "--headless", "--script", script, "--seconds", "0.1"], check=True,
                   stdout=subprocess.DEVNULL)
    text = open(settings).read().replace("grid = off", "grid = on")
    with open(settings, "w") as f:
        f.write(text)
    shot = os.path.join(folder, "grid2x.png")
    subprocess.run([DESKTOP, "--headless", "--settings", settings, "--seconds", "0.1", "--seed", "3",
                    "--scale", "2", "--screenshot", shot], check=True, stdout=subprocess.DEVNULL)
    # The settings go into the page's storage from a page of the same origin
    # that is not the instrument (which keeps its own settings when left).
    browser.open(f"{base}/test/blank.html")
    browser.wait_for("document.readyState == 'complete'", 30)
    browser.evaluate(f"localStorage.setItem('zindle.settings', {json.dumps(text)})")
    browser.open(f"{base}/index.html")
    browser.wait_for("window.zindle && window.zindle.status && window.zindle.status().voices.length == 4", 60)
    time.sleep(0.5)
    restored = browser.evaluate("Module.ccall('zindle_settings', 'string', [], [])")
    check("grid = on" in restored, "settings kept in the page's storage are restored on the next visit")
    size = browser.evaluate("[canvas.width, canvas.height, devicePixelRatio]")
    check(size == [960, 640, 2], f"the canvas has the device's pixels ({size})")
    page = browser.call("Page.captureScreenshot", format="png")["data"]
    with open(shot, "rb") as f:
        desktop_lines = grid_lines(browser, base64.b64encode(f.read()).decode())
    page_lines = grid_lines(browser, page)
    widths = sorted({w for _, w in page_lines})
    check(len(page_lines) > 20 and page_lines == desktop_lines,
          f"the live canvas at two pixels a point draws the note grid's {len(page_lines)} lines "
          f"where the desktop's --scale 2 does (line widths {widths}, desktop "
          f"{sorted({w for _, w in desktop_lines})}; first differences "
          f"{sorted(set(page_lines) ^ set(desktop_lines))[:6]})")
    check(widths == [2], f"each one-point grid line is two device pixels wide and sharp ({widths})")


def desktop_hz(x, y, *args):
    """The pitch the desktop plays for a finger held at (x, y)."""
    wav = samples(desktop("--script", write_script(f"0 down 1 {x} {y}\n2 up 1\n"), *args))
    return peak_hz(wav[22050:88200])


def held_hz(browser, point, contact):
    """Holds a finger at a point of the live page; the pitch of the sound the
    instrument hands the page, measured over 1.5 s after the first 0.5 s."""
    browser.touch("touchStart", [(contact, point)])
    played = browser.evaluate("window.zindle.record(88200)")
    browser.touch("touchEnd", [])
    return peak_hz(np.array(played[22050:88200], dtype=np.float64))


LIVE = "window.zindle && window.zindle.status && window.zindle.status().voices.length == 4"


def visits(base, folder):
    """A Scala scale picked from a file changes the pitch a touch plays; the
    page installs (manifest, service worker), loads offline after the first
    visit, and a browser started again on the same profile finds the scale."""
    profile = tempfile.mkdtemp(prefix="zindle-profile-")
    scale = os.path.join(ROOT, "examples/19-equal.scl")
    # Autotune snaps to the scale's notes, so that the scale moves the pitch.
    settings = os.path.join(folder, "snap.settings")
    subprocess.run([DESKTOP, "--headless", "--script", write_script(f"0 save {settings}\n"),
                    "--seconds", "0.1"], check=True, stdout=subprocess.DEVNULL)
    text = open(settings).read().replace("autotune = Off", "autotune = Snap")
    with open(settings, "w") as f:
        f.write(text)
    point = (250.0, 160.0)
    plain = desktop_hz(*point, "--settings", settings)
    tuned = desktop_hz(*point, "--settings", settings, "--tuning", scale)
    check(abs(1200 * np.log2(tuned / plain)) > 10,
          f"the scale moves the desktop's pitch at that point ({plain:.3f} Hz to {tuned:.3f} Hz)")
    browser = cdp.Browser(profile)
    try:
        browser.open(f"{base}/test/blank.html")
        browser.wait_for("document.readyState == 'complete'", 30)
        browser.evaluate(f"localStorage.setItem('zindle.settings', {json.dumps(text)})")
        browser.open(f"{base}/index.html")
        browser.wait_for(LIVE, 60)
        document = browser.call("DOM.getDocument")["root"]["nodeId"]
        picker = browser.call("DOM.querySelector", nodeId=document, selector="#scale-file")["nodeId"]
        browser.call("DOM.setFileInputFiles", files=[scale], nodeId=picker)
        browser.wait_for("localStorage.getItem('zindle.scale') != null", 10)
        hz = held_hz(browser, point, 0)
        check(abs(1200 * np.log2(hz / tuned)) < 1.0,
              f"a Scala scale picked from a file plays the desktop's pitch for it ({hz:.3f} Hz, "
              f"desktop {tuned:.3f} Hz with the scale, {plain:.3f} Hz without)")
        installed = browser.evaluate("""(async () => {
          const manifest = await (await fetch(document.querySelector('link[rel=manifest]').href)).json();
          const registration = await navigator.serviceWorker.ready;
          return {name: manifest.name, orientation: manifest.orientation, display: manifest.display,
                  icons: manifest.icons.length, worker: registration.active ? registration.active.state : null};
        })()""")
        check(installed["worker"] == "activated" and installed["orientation"] == "landscape"
              and installed["icons"] >= 2, f"the manifest and the service worker are in place ({installed})")
        browser.call("Network.enable")
        browser.call("Network.emulateNetworkConditions", offline=True, latency=0,
                     downloadThroughput=-1, uploadThroughput=-1)
        browser.open(f"{base}/index.html")
        try:
            browser.wait_for(LIVE, 30)
            offline = True
        except TimeoutError:
            offline = False
        check(offline, "the page loads and starts offline after the first visit")
        browser.call("Network.emulateNetworkConditions", offline=False, latency=0,
                     downloadThroughput=-1, uploadThroughput=-1)
    finally:
        browser.close()
    browser = cdp.Browser(profile)
    try:
        browser.open(f"{base}/index.html")
        browser.wait_for(LIVE, 60)
        hz = held_hz(browser, point, 0)
        check(abs(1200 * np.log2(hz / tuned)) < 1.0,
              f"the picked scale is kept: the browser started again on its profile plays it ({hz:.3f} Hz)")
    finally:
        browser.close()
        shutil.rmtree(profile, ignore_errors=True)


def write_script(text):
    handle, path = tempfile.mkstemp(suffix=".zs")
    with os.fdopen(handle, "w") as f:
        f.write(text)
    return path


def main():
    folder = os.path.join(WEB, "test")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(ROOT, "examples/demo.zs")) as src, open(os.path.join(folder, "demo.zs"), "w") as dst:
        dst.write(src.read())
    with open(os.path.join(folder, "blank.html"), "w") as f:
        f.write("<!DOCTYPE html><title>blank</title>")
    server = serve(WEB)
    base = f"http://127.0.0.1:{server.server_address[1]}"
    browser = cdp.Browser()
    try:
        # A group that cannot finish (a page that never loads) fails, and the others still run.
        for group in (lambda: headless_demo(browser, base), lambda: first_frame(browser, base, folder),
                      lambda: script_outputs(browser, base, folder),
                      lambda: live(browser, base), lambda: notices(browser, base),
                      lambda: crisp(browser, base, folder),
                      lambda: visits(base, folder)):
            try:
                group()
            except Exception as error:  # noqa: BLE001 - reported as a failed check
                check(False, f"{type(error).__name__}: {error}")
    finally:
        browser.close()
        server.shutdown()
    print(f"web: {len(passes)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
