#!/usr/bin/python3
"""The depot page with a whole fleet: N emulated vehicles on one central broker (loopback only),
the page in headless Chromium. For each N it prints

- load: from opening the page to the login form ready, and from "Sign in" to every tile drawn
  (the header counts all N vehicles and the list holds N tiles, seen from the page's own
  animation frames);
- main thread: the page's main-thread busy time (DevTools' TaskDuration) per second of wall
  time while heartbeats and passengers' results flow, over --window seconds; the main thread's
  own processor time (ThreadTime) and the whole renderer process's over the same window (on a
  loaded machine the busy time also counts time the thread waited for a processor; these two
  do not);
- page memory: the JavaScript heap in use and the number of DOM nodes afterwards;
- broker: mosquitto's resident memory after the page got the fleet, and its processor time per
  second over the same window.

Usage: bench/depot/bench_page.py [--counts 100,1000,5000] [--window 15] [--heartbeat-sec 30]
       [--changes-per-sec 5]
scripts/depot-web-deps must have run (the page's client library)."""

import argparse
import json
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "depotweb"))
import rig  # noqa: E402

from selenium.webdriver.common.by import By  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")

# Watches from inside the page: the first animation frame in which every tile is there.
WATCH = """
var want = arguments[0];
window.benchDone = null;
window.benchStart = performance.now();
(function check() {
    var tiles = document.getElementById('tiles').childElementCount;
    var text = document.getElementById('counts').textContent;
    var m = text.match(/^(\\d+) online \\u00b7 (\\d+) offline/);
    if (tiles >= want && m && +m[1] + +m[2] >= want)
        window.benchDone = performance.now();
    else
        requestAnimationFrame(check);
})();
"""


def proc_cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def proc_rss_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


def renderer_pids(driver):
    """The page's renderer processes: Chromium's children of our chromedriver marked --type=renderer."""
    parents = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    parents[int(entry)] = int(f.read().rsplit(")", 1)[1].split()[1])
            except OSError:
                pass
    root = driver.service.process.pid
    found = []
    for pid in parents:
        p = pid
        while p in parents and p != root and p > 1:
            p = parents[p]
        if p == root:
            try:
                with open("/proc/%d/cmdline" % pid, "rb") as f:
                    if b"--type=renderer" in f.read():
                        found.append(pid)
            except OSError:
                pass
    return found


def cpu_of(pids):
    total = 0.0
    for pid in pids:
        try:
            total += proc_cpu_seconds(pid)
        except OSError:
            pass
    return total


def metrics(driver):
    found = driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]
    return {m["name"]: m["value"] for m in found}


def run(count, args):
    broker = rig.Broker()
    emulator = None
    driver = None
    try:
        started = time.monotonic()
        emulator = rig.Emulator(broker, count, ["--heartbeat-sec", str(args.heartbeat_sec),
                                                "--changes-per-sec", str(args.changes_per_sec), "--seed", "7"])
        fleet_ready = time.monotonic() - started
        driver = rig.chromium(1366, 768)
        driver.execute_cdp_cmd("Performance.enable", {"timeDomain": "timeTicks"})
        opened = time.monotonic()
        driver.get(broker.url)
        rig.wait_for(lambda: driver.find_element(By.ID, "login-submit").is_enabled(), what="the login form")
        form_ready = time.monotonic() - opened
        driver.find_element(By.ID, "login-user").send_keys("viewer")
        driver.find_element(By.ID, "login-password").send_keys(rig.PASSWORDS["viewer"])
        driver.execute_script(WATCH, count)
        driver.find_element(By.ID, "login-submit").click()
        rig.wait_for(lambda: driver.execute_script("return window.benchDone;"), timeout=120, step=0.2,
                     what="%d tiles" % count)
        drawn_ms = driver.execute_script("return window.benchDone - window.benchStart;")

        # Let the retained flood settle, then measure a window of ordinary traffic.
        time.sleep(2)
        renderers = renderer_pids(driver)
        m0, t0 = metrics(driver), time.monotonic()
        cpu0 = proc_cpu_seconds(broker.pid)
        rcpu0 = cpu_of(renderers)
        time.sleep(args.window)
        m1, t1 = metrics(driver), time.monotonic()
        cpu1 = proc_cpu_seconds(broker.pid)
        rcpu1 = cpu_of(renderers)
        wall = t1 - t0
        result = {
            "vehicles": count,
            "emulator_ready_s": round(fleet_ready, 2),
            "form_ready_s": round(form_ready, 2),
            "sign_in_to_all_tiles_s": round(drawn_ms / 1000, 2),
            "main_thread_busy_pct": round(100 * (m1["TaskDuration"] - m0["TaskDuration"]) / wall, 1),
            "main_thread_cpu_pct": round(100 * (m1["ThreadTime"] - m0["ThreadTime"]) / wall, 1),
            "script_pct": round(100 * (m1["ScriptDuration"] - m0["ScriptDuration"]) / wall, 1),
            "renderer_cpu_pct": round(100 * (rcpu1 - rcpu0) / wall, 1),
            "layout_style_pct": round(100 * (m1["LayoutDuration"] - m0["LayoutDuration"]
                                             + m1["RecalcStyleDuration"] - m0["RecalcStyleDuration"]) / wall, 1),
            "js_heap_mb": round(m1["JSHeapUsedSize"] / 2 ** 20, 1),
            "dom_nodes": int(m1["Nodes"]),
            "broker_rss_mb": round(proc_rss_mb(broker.pid), 1),
            "broker_cpu_pct": round(100 * (cpu1 - cpu0) / wall, 1),
        }
        print(json.dumps(result), flush=True)
        return result
    finally:
        if driver:
            driver.quit()
        if emulator:
            emulator.stop()
        broker.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--counts", default="100,1000,5000")
    parser.add_argument("--window", type=float, default=15.0)
    parser.add_argument("--heartbeat-sec", type=float, default=30.0)
    parser.add_argument("--changes-per-sec", type=float, default=5.0)
    args = parser.parse_args()
    rig.require_vendor()
    results = [run(int(n), args) for n in args.counts.split(",")]
    print("\n%8s %10s %10s %9s %9s %9s %8s %9s %7s %9s %8s" % (
        "vehicles", "to tiles s", "main thr %", "main cpu %", "script %", "render %", "heap MB", "DOM nodes", "brk MB",
        "brk cpu %", "form s"))
    for r in results:
        print("%8d %10.2f %10.1f %9.1f %9.1f %9.1f %8.1f %9d %7.1f %9.1f %8.2f" % (
            r["vehicles"], r["sign_in_to_all_tiles_s"], r["main_thread_busy_pct"], r["main_thread_cpu_pct"],
            r["script_pct"], r["renderer_cpu_pct"],
            r["js_heap_mb"], r["dom_nodes"], r["broker_rss_mb"], r["broker_cpu_pct"], r["form_ready_s"]))


if __name__ == "__main__":
    main()
