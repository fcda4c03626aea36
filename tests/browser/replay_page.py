#!/usr/bin/env python3
"""Checks homestead-sim's replay page in a real browser, or measures it.

Plays built-in scenarios (and one that fails) with the simulator given, each
with --replay and --trace, opens each page from disk in headless Chromium
through chromedriver (W3C WebDriver over HTTP, standard library only), and
checks what a person would see against the run's own timeline and trace:

  - the page makes no request and logs no console error;
  - at moments taken from the timeline (spoken lines, deaths, creations,
    milestones), opened as FILE.html#t=SECONDS, #clock reads the line's stamp,
    #subtitle holds the spoken line, and the markers stand where the timeline
    and the trace put the player and the occupants;
  - play, pause, the milestone jump, the keyboard and a click on a timeline
    line move the page where they should, and the address follows.

Screenshots of a few moments go into the output folder. A missing or broken
browser fails the run.

  replay_page.py --sim PATH --out DIR            check (exit 0 when all pass)
  replay_page.py --sim PATH --out DIR --bench    print size, open time and
                                                 frame times at 64x
  replay_page.py ... --readme-shot FILE.png      also write the README's picture
"""
import argparse
import base64
import json
import math
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request
from pathlib import Path

SCENARIOS = ["robbery", "shot-fleeing", "midnight", "homestead-7"]
# A run that fails: the flight is expected before anyone was there to flee.
FAILING = """name fails-early
about a run that fails: it expects a flight before the ride
start at 150m south of homestead 1
ride towards homestead 1 to 70m at 6m/s
wait for spawned up to 30s
expect flight
"""
# Two sets of occupants, one after the cooldown: the second set's markers
# replace the first's.
TWICE = """name twice
start at 150m south of homestead 1
ride towards homestead 1 to 70m at 6m/s
wait for spawned up to 30s
ride away from homestead 1 to 150m at 6m/s
wait for teardown up to 1min
advance clock 6h
wait for restored up to 1min
ride towards homestead 1 to 70m at 6m/s
wait for spawned up to 30s
"""
STAMP = re.compile(r"^(\d\d:\d\d)  (\d+):(\d\d)\.(\d{3})  (.*)$")
KEYS = {"Home": "\ue011", "End": "\ue010", "ArrowLeft": "\ue012", "ArrowRight": "\ue014",
        "ArrowDown": "\ue015", "Space": " "}
PLAYER = 100  # the player's ped handle in the simulated world
TOLERANCE_M = 0.03
FPS = 60


class Failure(Exception):
    pass


class Browser:
    """One chromedriver and one headless Chromium session."""

    def __init__(self, out):
        driver = shutil.which("chromedriver")
        chromium = shutil.which("chromium") or shutil.which("chromium-browser")
        if driver is None or chromium is None:
            raise Failure("no chromedriver or chromium on PATH: run scripts/setup.sh")
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        self.base = f"http://127.0.0.1:{port}"
        self.log = open(out / "chromedriver.log", "w")
        self.driver = subprocess.Popen([driver, f"--port={port}"], stdout=self.log,
                                       stderr=subprocess.STDOUT)
        self.profile = tempfile.mkdtemp(prefix="replay-chromium-")
        self.session = None
        deadline = time.monotonic() + 30
        while True:
            try:
                if self._call("GET", "/status")["value"].get("ready"):
                    break
            except (urllib.error.URLError, ConnectionError, OSError):
                pass
            if time.monotonic() > deadline or self.driver.poll() is not None:
                raise Failure("chromedriver did not start")
            time.sleep(0.1)
        args = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--disable-dev-shm-usage", "--hide-scrollbars", "--window-size=1280,860",
                f"--user-data-dir={self.profile}"]
        caps = {"capabilities": {"alwaysMatch": {
            "browserName": "chrome",
            "goog:chromeOptions": {"binary": chromium, "args": args},
            "goog:loggingPrefs": {"browser": "ALL"},
        }}}
        value = self._call("POST", "/session", caps)["value"]
        self.session = value["sessionId"]

    def _call(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=60) as response:
                return json.load(response)
        except urllib.error.HTTPError as error:
            raise Failure(f"WebDriver {method} {path}: {error.read().decode()[:500]}") from None

    def call(self, method, path, body=None):
        return self._call(method, f"/session/{self.session}{path}", body)["value"]

    def open(self, url):
        self.call("POST", "/url", {"url": "about:blank"})
        self.call("POST", "/url", {"url": url})
        self.wait("return document.documentElement.dataset.ready !== undefined")

    def js(self, script, *args):
        return self.call("POST", "/execute/sync", {"script": script, "args": list(args)})

    def wait(self, condition, seconds=10):
        deadline = time.monotonic() + seconds
        while not self.js(condition):
            if time.monotonic() > deadline:
                raise Failure(f"timed out waiting for: {condition}")
            time.sleep(0.05)

    def click(self, css):
        element = self.call("POST", "/element", {"using": "css selector", "value": css})
        self.call("POST", f"/element/{next(iter(element.values()))}/click", {})

    def key(self, name):
        value = KEYS[name]
        self.call("POST", "/actions", {"actions": [{"type": "key", "id": "keyboard", "actions": [
            {"type": "keyDown", "value": value}, {"type": "keyUp", "value": value}]}]})

    def console(self):
        return self.call("POST", "/se/log", {"type": "browser"})

    def screenshot(self, path):
        path.write_bytes(base64.b64decode(self.call("GET", "/screenshot")))

    def cdp(self, command, params):
        return self.call("POST", "/goog/cdp/execute", {"cmd": command, "params": params})

    def size(self, width, height):
        self.call("POST", "/window/rect", {"width": width, "height": height})

    def close(self):
        try:
            if self.session:
                self._call("DELETE", f"/session/{self.session}")
        finally:
            self.driver.terminate()
            self.driver.wait(10)
            self.log.close()
            shutil.rmtree(self.profile, ignore_errors=True)


class Run:
    """One simulator run: its page, timeline and trace."""

    def __init__(self, sim, out, name, scenario_file=None):
        self.name = name
        self.page = out / f"{name}.html"
        self.trace_path = out / f"{name}.jsonl"
        source = ["--file", str(scenario_file)] if scenario_file else ["--scenario", name]
        done = subprocess.run([sim, *source, "--replay", str(self.page), "--trace",
                               str(self.trace_path)], capture_output=True, text=True)
        if done.returncode not in (0, 1) or not self.page.exists():
            raise Failure(f"{name}: homestead-sim exited {done.returncode}: {done.stderr}")
        self.status = done.returncode
        self.lines = []  # (ms, stamp, text)
        for line in done.stdout.splitlines():
            m = STAMP.match(line)
            if m:
                ms = (int(m[2]) * 60 + int(m[3])) * 1000 + int(m[4])
                self.lines.append((ms, f"{m[1]}  {m[2]}:{m[3]}.{m[4]}", m[5]))
        self.milestones = []
        self.player_at = {}  # ms -> (x, y) from the plug-in's own queries
        with open(self.trace_path) as trace:
            next(trace)
            for record in map(json.loads, trace):
                ms = math.floor(record["time_ms"])
                if "milestone" in record:
                    self.milestones.append(ms)
                elif (record.get("op") == "GetEntityCoords" and
                      record["named"].get("entity") == PLAYER):
                    self.player_at[ms] = tuple(record["result"][:2])
        html = self.page.read_text()
        data = re.search(r'id="replay-data">(.*?)</script>', html, re.S).group(1)
        self.data = json.loads(data)
        self.homestead = re.search(r"Homestead (\d+)", self.data["title"])[1]
        self.url = self.page.resolve().as_uri()


def near(a, b):
    return abs(a[0] - b[0]) <= TOLERANCE_M and abs(a[1] - b[1]) <= TOLERANCE_M


READ_STATE = """
const pick = (el) => el && {x: +el.dataset.x, y: +el.dataset.y, state: el.dataset.state || ''};
const occupants = {};
for (const el of document.querySelectorAll('#overview [data-occupant]')) {
  if (getComputedStyle(el).display !== 'none') occupants[el.dataset.occupant] = pick(el);
}
const current = document.querySelector('#lines li.current');
return {clock: document.getElementById('clock').textContent,
        subtitle: document.getElementById('subtitle').textContent,
        player: pick(document.getElementById('player')), occupants,
        current: current ? current.textContent : null, hash: location.hash,
        objective: document.getElementById('objective').textContent};
"""


class Checker:
    def __init__(self, browser):
        self.browser = browser
        self.problems = []
        self.checks = 0

    def expect(self, ok, what):
        self.checks += 1
        if not ok:
            self.problems.append(what)

    def state(self):
        return self.browser.js(READ_STATE)

    def at(self, run, ms, reopen=False):
        url = f"{run.url}#t={ms / 1000}"
        if reopen:
            self.browser.open(url)
        else:
            self.browser.call("POST", "/url", {"url": url})
            self.browser.wait(f"return document.getElementById('clock').textContent"
                              f".endsWith('{ms // 60000}:{ms // 1000 % 60:02}.{ms % 1000:03}')")
        return self.state()

    def moments(self, run):
        """The page at moments the timeline names agrees with the timeline and trace."""
        spoken = [l for l in run.lines if re.search(r" says \S+, variation \d+$", l[2])]
        deaths = [l for l in run.lines if " shot dead at " in l[2]]
        created = [l for l in run.lines if re.match(r"occupant \d+ created ", l[2])]
        milestones = [l for l in run.lines if re.search(r"\[[a-z-]+, .*player ([\d.]+) m from "
                                                        r"homestead " + run.homestead, l[2])]
        picked = spoken[:: max(1, len(spoken) // 4)] + deaths + created[:2] + created[-1:] + \
            milestones[:4]
        first = True
        for ms, stamp, text in picked:
            state = self.at(run, ms, reopen=first)
            first = False
            where = f"{run.name} at {stamp.split()[1]} ({text[:60]})"
            self.expect(state["clock"] == stamp, f"{where}: #clock {state['clock']!r} != {stamp!r}")
            self.expect(state["hash"] == f"#t={seconds_text(ms)}",
                        f"{where}: address {state['hash']!r}")
            self.expect(state["current"] is not None and state["current"][:len(stamp)] == stamp,
                        f"{where}: highlighted line {state['current']!r}")
            if ms in run.player_at:
                self.expect(near((state["player"]["x"], state["player"]["y"]), run.player_at[ms]),
                            f"{where}: player at {state['player']} but the trace has "
                            f"{run.player_at[ms]}")
            m = re.search(r" says \S+, variation \d+$", text)
            if m:
                self.expect(text in state["subtitle"],
                            f"{where}: #subtitle {state['subtitle']!r} lacks {text!r}")
            m = re.match(r"occupant (\d+) (?:shot dead|created \(ped \d+\)) at ([-\d.]+), ([-\d.]+)",
                         text)
            if m:
                occupant = state["occupants"].get(m[1])
                self.expect(occupant is not None and
                            near((occupant["x"], occupant["y"]), (float(m[2]), float(m[3]))),
                            f"{where}: occupant {m[1]} drawn at {occupant}")
                if "shot dead" in text:
                    self.expect(occupant is not None and occupant["state"] == "dead",
                                f"{where}: occupant {m[1]} drawn as {occupant}")
            m = re.search(r"player ([\d.]+) m from homestead", text)
            if m:
                cx, cy = run.data["centre"]
                d = math.hypot(state["player"]["x"] - cx, state["player"]["y"] - cy)
                self.expect(abs(d - float(m[1])) <= TOLERANCE_M,
                            f"{where}: player {d:.2f} m from the centre, timeline {m[1]}")
        first = min(created)[0] if created else run.data["endMs"]
        state = self.at(run, first - 1 if first > 0 else 0)
        self.expect(state["occupants"] == {} or first == 0,
                    f"{run.name}: occupants drawn before the first is created: {state['occupants']}")
        silent = next((l for l in run.lines if l[0] > 0 and not any(
            s[0] <= l[0] < (s[1] if s[1] is not None else 1e18) for s in run.data["speech"])),
            None)
        if silent:
            state = self.at(run, silent[0])
            self.expect(state["subtitle"] == "", f"{run.name} at {silent[1]}: subtitle "
                                                 f"{state['subtitle']!r} while nobody speaks")

    def controls(self, run):
        """Buttons, keys, a click on a line and playback move the page where they should."""
        b = self.browser
        b.open(run.url)
        start = self.state()
        self.expect(start["clock"] == run.lines[0][1],
                    f"{run.name}: opens at {start['clock']!r}, not {run.lines[0][1]!r}")
        b.click("#next-milestone")
        later = [m for m in run.milestones if m > 0]
        if later:
            clock = self.state()["clock"]
            self.expect(clock.endswith(stamp_time(later[0])),
                        f"{run.name}: next milestone went to {clock!r}, not {stamp_time(later[0])}")
        b.key("End")
        end = run.data["endMs"]
        self.expect(self.state()["clock"].endswith(stamp_time(end)), f"{run.name}: End")
        b.key("ArrowLeft")
        frame = end * FPS // 1000
        while (frame + 1) * 1000 // FPS <= end:
            frame += 1
        back = (frame - 1) * 1000 // FPS
        self.expect(self.state()["clock"].endswith(stamp_time(back)),
                    f"{run.name}: a frame back from the end is {self.state()['clock']!r}, "
                    f"not {stamp_time(back)}")
        b.key("Home")
        self.expect(self.state()["clock"] == run.lines[0][1], f"{run.name}: Home")
        b.key("ArrowRight")
        self.expect(self.state()["clock"].endswith("0:00.016"),
                    f"{run.name}: a frame on from the start is {self.state()['clock']!r}")
        target = next((i for i, l in enumerate(run.lines) if " shot dead at " in l[2]),
                      len(run.lines) // 2)
        b.js("document.querySelectorAll('#lines button')[arguments[0]].scrollIntoView()", target)
        b.click(f"#lines li:nth-child({target + 1}) button")
        state = self.state()
        self.expect(state["clock"] == run.lines[target][1] and
                    state["current"] == f"{run.lines[target][1]}  {run.lines[target][2]}",
                    f"{run.name}: clicking line {target} shows {state['clock']!r}, "
                    f"{state['current']!r}")
        self.expect(state["hash"] == f"#t={seconds_text(run.lines[target][0])}",
                    f"{run.name}: the address after a click is {state['hash']!r}")
        # Playback for half a second of wall time, at the fastest speed that
        # leaves the run at least two seconds to play, then a pause. Space on a
        # focused button presses the button, so nothing is focused.
        speed = next((x for x in (64, 16, 4) if end / x >= 2000), 1)
        b.key("Home")
        b.js("const s = document.getElementById('speed'); s.value = arguments[0];"
             "s.dispatchEvent(new Event('change')); document.activeElement.blur();", str(speed))
        wall = 0.5
        b.key("Space")
        self.expect(b.js("return document.documentElement.dataset.playing") == "true",
                    f"{run.name}: not playing after Space")
        time.sleep(wall)
        b.key("Space")
        state = self.state()
        ms = clock_ms(state["clock"])
        self.expect(b.js("return document.documentElement.dataset.playing") == "false",
                    f"{run.name}: still playing after Space")
        self.expect(wall * speed * 1000 * 0.2 <= ms < end,
                    f"{run.name}: {wall} s at {speed}x reached {state['clock']!r}")
        self.expect(state["hash"] == f"#t={seconds_text(ms)}",
                    f"{run.name}: paused at {state['clock']!r} but the address is {state['hash']!r}")
        b.js("document.getElementById('play').focus()")
        b.click("#play")
        b.wait(f"return document.documentElement.dataset.playing === 'false'", 20)
        self.expect(self.state()["clock"].endswith(stamp_time(end)),
                    f"{run.name}: playing to the end stops at {self.state()['clock']!r}")

    def quiet(self, run):
        """No console message of level SEVERE and no request of any kind."""
        entries = self.browser.console()
        errors = [e["message"] for e in entries if e.get("level") == "SEVERE"]
        self.expect(not errors, f"{run.name}: console errors: {errors}")
        requests = self.browser.js(
            "return performance.getEntriesByType('resource').map((e) => e.name)")
        self.expect(not requests, f"{run.name}: the page made requests: {requests}")


def seconds_text(ms):
    """The seconds of an address "#t=...", as JavaScript writes ms / 1000."""
    text = repr(ms / 1000)
    return text[:-2] if text.endswith(".0") else text


def stamp_time(ms):
    ms = int(ms)
    return f"{ms // 60000}:{ms // 1000 % 60:02}.{ms % 1000:03}"


def clock_ms(clock):
    m = re.match(r"\d\d:\d\d  (\d+):(\d\d)\.(\d{3})$", clock)
    return (int(m[1]) * 60 + int(m[2])) * 1000 + int(m[3])


def screenshots(browser, run, out, readme_shot):
    """A few moments of the default robbery as a person sees them."""
    spoken = next(l for l in run.lines if "occupant 0 says" in l[2])
    flight = next(l for l in run.lines if "flees from" in l[2])
    shots = [("speech", spoken[0], None), ("flight", flight[0] + 4000, None),
             ("dark", spoken[0], "dark"), ("phone", flight[0] + 4000, "phone")]
    for name, ms, how in shots:
        if how == "dark":
            browser.cdp("Emulation.setEmulatedMedia",
                        {"features": [{"name": "prefers-color-scheme", "value": "dark"}]})
        if how == "phone":
            browser.size(400, 860)
        browser.open(f"{run.url}#t={ms / 1000}")
        path = out / f"{run.name}-{name}.png"
        browser.screenshot(path)
        if name == "flight" and readme_shot:
            shutil.copyfile(path, readme_shot)
        browser.cdp("Emulation.setEmulatedMedia", {"features": []})
        browser.size(1280, 860)
    print(f"screenshots in {out}")


BENCH_PLAY = """
const done = arguments[arguments.length - 1];
const deltas = [];
let last = null;
const frame = (stamp) => {
  if (last !== null) deltas.push(stamp - last);
  last = stamp;
  if (document.documentElement.dataset.playing === 'true') requestAnimationFrame(frame);
  else done({deltas, work: window.replayPerf.workMs});
};
const s = document.getElementById('speed');
s.value = '64';
s.dispatchEvent(new Event('change'));
document.getElementById('play').click();
requestAnimationFrame(frame);
"""


def bench(browser, run):
    size = run.page.stat().st_size
    opens = []
    for _ in range(5):
        browser.open(run.url)
        opens.append(browser.js(
            "const nav = performance.getEntriesByType('navigation')[0];"
            "return [+document.documentElement.dataset.ready, nav.loadEventEnd];"))
    browser.call("POST", "/timeouts", {"script": 120000})
    plays = []
    for _ in range(3):
        browser.open(run.url)
        plays.append(browser.call("POST", "/execute/async", {"script": BENCH_PLAY, "args": []}))
    print(f"replay page of '{run.name}': {size} bytes ({size / 1e6:.3f} MB; at most 1 MB)")
    print("opening from disk, 5 times: first moment drawn at " +
          ", ".join(f"{o[0]:.0f}" for o in opens) + " ms, load event over at " +
          ", ".join(f"{o[1]:.0f}" for o in opens) + " ms after the navigation began (at most 1000)")
    def spread(values):
        values = sorted(values)
        return (f"median {values[len(values) // 2]:.1f} ms, 99th percentile "
                f"{values[int(len(values) * 0.99)]:.1f} ms, worst {values[-1]:.1f} ms")
    for n, result in enumerate(plays, 1):
        print(f"playing the whole run at 64x ({n} of {len(plays)}): {len(result['work'])} frames; "
              f"the page's work in a frame: {spread(result['work'])} (at most 16); "
              f"frame to frame: {spread(result['deltas'])}")
    print(f"load average while measuring: {os.getloadavg()[0]:.2f} on {os.cpu_count()} cores")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--sim", required=True)
    parser.add_argument("--out", required=True, type=Path)
    parser.add_argument("--bench", action="store_true")
    parser.add_argument("--readme-shot", type=Path)
    args = parser.parse_args()
    args.out.mkdir(parents=True, exist_ok=True)
    try:
        browser = Browser(args.out)
    except Failure as error:
        print(f"FAILED: {error}")
        return 1
    try:
        if args.bench:
            bench(browser, Run(args.sim, args.out, "robbery"))
            return 0
        runs = [Run(args.sim, args.out, name) for name in SCENARIOS]
        for name, text in (("twice", TWICE), ("fails-early", FAILING)):
            (args.out / f"{name}.scn").write_text(text)
            runs.append(Run(args.sim, args.out, name, args.out / f"{name}.scn"))
        checker = Checker(browser)
        for run in runs:
            checker.moments(run)
            checker.quiet(run)
            checker.controls(run)
            checker.quiet(run)
        bad = runs[-1]
        browser.open(bad.url)
        verdict = browser.js("return document.getElementById('verdict').textContent")
        checker.expect(bad.status == 1 and verdict.startswith("FAILED at line 6 (expect flight)"),
                       f"fails-early: exit {bad.status}, verdict {verdict!r}")
        checker.expect(browser.js("return document.querySelectorAll('#marks .failure').length") == 1,
                       "fails-early: no failure mark on the scrubber")
        screenshots(browser, runs[0], args.out, args.readme_shot)
        for problem in checker.problems:
            print(f"FAILED: {problem}")
        passed = checker.checks - len(checker.problems)
        print(f"{passed} passed, {len(checker.problems)} failed")
        return 1 if checker.problems else 0
    except Failure as error:
        print(f"FAILED: {error}")
        return 1
    finally:
        browser.close()


if __name__ == "__main__":
    sys.exit(main())
