"""A small DevTools-protocol client: starts headless Chromium on a page and
evaluates JavaScript in it, dispatches touches and reads the console."""
import json
import os
import shutil
import subprocess
import tempfile
import time
import urllib.request

import websocket


class Browser:
    def __init__(self, profile=None):
        """profile: a folder for the browser's profile, kept (storage, the service
        worker's cache) across browsers started on it; by default a new one,
        removed on close."""
        self.keep_profile = profile is not None
        self.profile = profile or tempfile.mkdtemp(prefix="zindle-chromium-")
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        if os.path.exists(port_file):
            os.remove(port_file)
        # Port 0: the browser picks a free one and writes it into the profile,
        # so that runs side by side on one machine never meet.
        self.process = subprocess.Popen(
            ["chromium", "--headless=new", "--no-sandbox", "--remote-debugging-port=0",
             "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
             "--autoplay-policy=no-user-gesture-required", f"--user-data-dir={self.profile}",
             "--window-size=480,320", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 30
        while True:
            try:
                with open(port_file) as f:
                    port = int(f.readline())
                with urllib.request.urlopen(f"http://127.0.0.1:{port}/json") as r:
                    pages = [p for p in json.load(r) if p["type"] == "page"]
                if pages:
                    break
            except (OSError, ValueError):
                pass
            if time.time() > deadline:
                raise RuntimeError("Chromium did not start")
            time.sleep(0.2)
        self.ws = websocket.create_connection(pages[0]["webSocketDebuggerUrl"], timeout=600)
        self.next_id = 0
        self.console = []
        self.call("Runtime.enable")
        self.call("Page.enable")
        # A 480 x 320 landscape screen at two device pixels a point (a canvas of 960 x 640), with touch.
        self.call("Emulation.setDeviceMetricsOverride", width=480, height=320,
                  deviceScaleFactor=2, mobile=False)
        self.call("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=10)

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get("method") == "Runtime.consoleAPICalled":
                self.console.append(" ".join(str(a.get("value", "")) for a in message["params"]["args"]))
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message.get("result", {})

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True,
                           awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def open(self, url):
        self.call("Page.navigate", url=url)

    def wait_for(self, expression, seconds):
        """Waits until the expression is true; returns the seconds it took."""
        start = time.time()
        while time.time() - start < seconds:
            if self.evaluate(expression):
                return time.time() - start
            time.sleep(0.05)
        raise TimeoutError(f"{expression} still false after {seconds} s; console: {self.console[-10:]}")

    def touch(self, kind, points):
        """kind: touchStart, touchMove, touchEnd; points in CSS pixels."""
        self.call("Input.dispatchTouchEvent", type=kind,
                  touchPoints=[{"x": x, "y": y, "id": i} for i, (x, y) in points])

    def click(self, x, y):
        """A left click at (x, y) in CSS pixels."""
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)

    def close(self):
        try:
            self.ws.close()
        finally:
            self.process.terminate()
            self.process.wait(timeout=10)
            if not self.keep_profile:
                shutil.rmtree(self.profile, ignore_errors=True)
