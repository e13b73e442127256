#!/usr/bin/python3
"""The depot page with a whole fleet: N emulated vehicles on one central broker (loopback only),
the page in headless Chromium. For each N it prints, side by side:

- first screenful: from "Sign in" to the first animation frame in which the tiles fill the
  page's view (or hold the whole fleet, when it fits);
- all counted: from "Sign in" to the first frame whose header counts every vehicle;
- main thread: the page's main-thread busy time (DevTools' TaskDuration) per second of wall time
  while heartbeats and passengers' results flow, over --window seconds, and the main thread's own
  processor time (ThreadTime: on a loaded machine busy time also counts time spent waiting for a
  processor); the worker's work is in neither;
- tab memory: the resident memory of the page's renderer process (the page and its worker) at
  the start and the end of the window, and the page's JavaScript heap; DOM nodes at the end;
- broker: mosquitto's resident memory after the page got the fleet, and its processor time per
  second over the window; the same for the page's front (websockify, private memory), through
  which the page connects as a depot ships it.

Usage: bench/depot/bench_page.py [--counts 1000,5000,10000,20000] [--window 60]
       [--heartbeat-sec 30] [--changes-per-sec 10]
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

# Watches from inside the page, frame by frame: the first in which the tiles fill the view (as
# many tiles in view as fit in it, or the whole fleet, each with what it reads: not one still
# waiting for its view), and the first whose header counts all.
WATCH = """
var want = arguments[0];
window.benchScreen = null;
window.benchCounted = null;
window.benchStart = performance.now();
(function check() {
    var list = document.getElementById('tiles');
    var text = document.getElementById('counts').textContent;
    var m = text.match(/^(\\d+) online \\u00b7 (\\d+) offline/);
    if (window.benchCounted === null && m && +m[1] + +m[2] >= want)
        window.benchCounted = performance.now();
    if (window.benchScreen === null && list.firstElementChild) {
        var top = list.getBoundingClientRect().top, first = list.firstElementChild.getBoundingClientRect();
        var step = first.height * 1.05, cols = Math.max(1, Math.floor(list.clientWidth / first.width));
        var fits = cols * Math.ceil((innerHeight - top) / step);
        var inView = Array.prototype.filter.call(list.children, function (t) {
            var r = t.getBoundingClientRect();
            return r.bottom > 0 && r.top < innerHeight && !t.hasAttribute('data-pending');
        }).length;
        if (inView >= Math.min(want, fits))
            window.benchScreen = performance.now();
    }
    if (window.benchScreen === null || window.benchCounted === null)
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


def tree_pids(root):
    """root and every process below it."""
    parents = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    parents[int(entry)] = int(f.read().rsplit(")", 1)[1].split()[1])
            except OSError:
                pass
    found = []
    for pid in parents:
        p = pid
        while p in parents and p != root and p > 1:
            p = parents[p]
        if p == root:
            found.append(pid)
    return found


def front_pids(broker):
    """The page's front (websockify and the process it forks for each page), if there is one."""
    front = getattr(broker.depot, "front_process", None)
    return tree_pids(front.popen.pid) if front is not None else []


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


def private_mb(pid):
    """What a process holds alone (Private_Clean + Private_Dirty): close to Chromium's own
    "memory footprint" of a tab, without the shared library pages every renderer maps."""
    total = 0
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            if line.startswith(("Private_Clean:", "Private_Dirty:")):
                total += int(line.split()[1])
    return total / 1024


def tab_renderer(pids):
    """The page's renderer among Chromium's: not the browser's own user interface, and the one
    that has worked (a spare renderer waits idle for the next tab)."""
    best, best_cpu = None, -1.0
    for pid in pids:
        try:
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                if b"--top-chrome-webui" in f.read():
                    continue
            cpu = proc_cpu_seconds(pid)
        except OSError:
            continue
        if cpu > best_cpu:
            best, best_cpu = pid, cpu
    return best


def metrics(driver):
    found = driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]
    return {m["name"]: m["value"] for m in found}


def run(count, args):
    broker = rig.Broker()
    emulator = None
    driver = None
    try:
        started = time.monotonic()
        # The emulator shares at most 16 connections among its vehicles.
        emulator = rig.Emulator(broker, count, ["--heartbeat-sec", str(args.heartbeat_sec),
                                                "--changes-per-sec", str(args.changes_per_sec), "--seed", "7",
                                                "--per-connection", str(max(1000, -(-count // 16)))])
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
        rig.wait_for(lambda: driver.execute_script("return window.benchScreen !== null && window.benchCounted !== null;"),
                     timeout=180, step=0.2, what="%d vehicles counted" % count)
        screen_ms, counted_ms = driver.execute_script(
            "return [window.benchScreen - window.benchStart, window.benchCounted - window.benchStart];")

        # Let the retained flood settle, then measure a window of ordinary traffic.
        time.sleep(2)
        renderers = renderer_pids(driver)
        m0, t0 = metrics(driver), time.monotonic()
        cpu0 = proc_cpu_seconds(broker.pid)
        fronts = front_pids(broker)
        fcpu0 = cpu_of(fronts)
        rcpu0 = cpu_of(renderers)
        tab = tab_renderer(renderers)
        tab0 = private_mb(tab)
        time.sleep(args.window)
        m1, t1 = metrics(driver), time.monotonic()
        cpu1 = proc_cpu_seconds(broker.pid)
        fcpu1 = cpu_of(front_pids(broker))
        rcpu1 = cpu_of(renderers)
        wall = t1 - t0
        result = {
            "vehicles": count,
            "emulator_ready_s": round(fleet_ready, 2),
            "form_ready_s": round(form_ready, 2),
            "first_screenful_s": round(screen_ms / 1000, 2),
            "all_counted_s": round(counted_ms / 1000, 2),
            "main_thread_busy_pct": round(100 * (m1["TaskDuration"] - m0["TaskDuration"]) / wall, 1),
            "main_thread_cpu_pct": round(100 * (m1["ThreadTime"] - m0["ThreadTime"]) / wall, 1),
            "script_pct": round(100 * (m1["ScriptDuration"] - m0["ScriptDuration"]) / wall, 1),
            "renderer_cpu_pct": round(100 * (rcpu1 - rcpu0) / wall, 1),
            "layout_style_pct": round(100 * (m1["LayoutDuration"] - m0["LayoutDuration"]
                                             + m1["RecalcStyleDuration"] - m0["RecalcStyleDuration"]) / wall, 1),
            "tab_mb_start": round(tab0, 1),
            "tab_mb_end": round(private_mb(tab), 1),
            "js_heap_mb": round(m1["JSHeapUsedSize"] / 2 ** 20, 1),
            "dom_nodes": int(m1["Nodes"]),
            "broker_rss_mb": round(proc_rss_mb(broker.pid), 1),
            "broker_cpu_pct": round(100 * (cpu1 - cpu0) / wall, 1),
            # Private memory: websockify's processes share most of their pages.
            "front_mb": round(sum(private_mb(p) for p in front_pids(broker)), 1),
            "front_cpu_pct": round(100 * (fcpu1 - fcpu0) / wall, 1),
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
    parser.add_argument("--counts", default="1000,5000,10000,20000")
    parser.add_argument("--window", type=float, default=60.0)
    parser.add_argument("--heartbeat-sec", type=float, default=30.0)
    parser.add_argument("--changes-per-sec", type=float, default=10.0)
    args = parser.parse_args()
    rig.require_vendor()
    results = [run(int(n), args) for n in args.counts.split(",")]
    head = ("vehicles", "screen s", "counted s", "main busy %", "main cpu %", "layout %", "tab MB",
            "heap MB", "DOM nodes", "broker MB", "broker cpu %", "front MB", "front cpu %")
    print("\n" + " | ".join(head))
    print(" | ".join("---" for _ in head))
    for r in results:
        print(" | ".join(str(x) for x in (
            r["vehicles"], r["first_screenful_s"], r["all_counted_s"], r["main_thread_busy_pct"],
            r["main_thread_cpu_pct"], r["layout_style_pct"], "%.0f→%.0f" % (r["tab_mb_start"], r["tab_mb_end"]),
            r["js_heap_mb"], r["dom_nodes"], r["broker_rss_mb"], r["broker_cpu_pct"], r["front_mb"], r["front_cpu_pct"])))

if __name__ == "__main__":
    main()
