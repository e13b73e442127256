#!/usr/bin/python3
"""The depot's metrics at fleet scale: N vehicles (1,000 by default) publish their link, last
self-test and status on the depot's central broker (its shipped configuration, on loopback), the
three exporter instances read them with the shipped configurations and a Prometheus scrapes
them with the shipped job and rules. Prints the
scrape's size and duration (as the benchmark times it, and as Prometheus reports it), the
exporters' memory and CPU, and the rules' evaluation time. Not a test: figures only.

    bench/prometheus/bench_exporter.py [--vehicles 1000] [--heartbeat-sec 5] [--seconds 60]

The heartbeat is shorter than the program's 30 s so that a minute carries six heartbeats a
vehicle; CPU is also given per thousand messages, which holds for any rate.
"""

import argparse
import json
import os
import random
import statistics
import sys
import time
import urllib.request

import paho.mqtt.client as mqtt

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "prometheus"))
import promstack  # noqa: E402

CONNECTIONS = 4
TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def memory_kib(pid):
    values = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                values[key] = int(rest.split()[0])
    return values


class Fleet:
    """N vehicles over a few connections, as the central broker sees them through bridges."""

    def __init__(self, port, count, password):
        self.count = count
        self.ids = ["bus-%04d" % (i + 1) for i in range(count)]
        self.results = {v: random.randrange(0, 500) for v in self.ids}
        self.started = time.time()
        self.sent = 0
        self.clients = []
        for n in range(CONNECTIONS):
            client = mqtt.Client(client_id="emulator:bench-fleet-%d-%d" % (os.getpid(), n))
            client.max_queued_messages_set(0)
            # The local depot broker's identity that writes for every emulated vehicle.
            client.username_pw_set("emulator", password)
            client.connect("127.0.0.1", port)
            client.loop_start()
            self.clients.append(client)

    def client(self, i):
        return self.clients[i % CONNECTIONS]

    def status(self, i, vehicle):
        return json.dumps({"technician": i % 97 == 0, "service": i % 211 != 0, "screen": "ScanScreens",
                           "uptimeSec": int(time.time() - self.started) + 3600, "resultsShown": self.results[vehicle],
                           "time": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime()),
                           "display": {"resultFrameMsP50": 10 + i % 7, "resultFrameMsP99": 30 + (i % 13) * 7,
                                       "results": self.results[vehicle]}})

    def announce(self):
        now = time.time()
        for i, vehicle in enumerate(self.ids):
            c = self.client(i)
            c.publish("fleet/%s/bridge" % vehicle, "1", qos=1, retain=True)
            c.publish("fleet/%s/ui/diagnostics" % vehicle, json.dumps(
                {"deviceId": vehicle, "time": "2026-12-01T08:00:00Z", "timeSec": int(now) - 86400 * (i % 40),
                 "result": "fail" if i % 50 == 0 else "pass", "values": {"rtc": "OK"}}), qos=1, retain=True)
            c.publish("fleet/%s/ui/status" % vehicle, self.status(i, vehicle), qos=1, retain=True)
        self.sent += 3 * self.count

    def heartbeat(self):
        for i, vehicle in enumerate(self.ids):
            if random.random() < 0.2:
                self.results[vehicle] += 1
            self.client(i).publish("fleet/%s/ui/status" % vehicle, self.status(i, vehicle), qos=1, retain=True)
        self.sent += self.count

    def close(self):
        for c in self.clients:
            c.loop_stop()
            c.disconnect()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--vehicles", type=int, default=1000)
    parser.add_argument("--heartbeat-sec", type=float, default=5.0)
    parser.add_argument("--seconds", type=float, default=60.0)
    args = parser.parse_args()
    if not 1 <= args.vehicles <= 20000 or not 1 <= args.seconds <= 600:
        parser.error("between 1 and 20000 vehicles, 1 and 600 seconds")

    stack = promstack.Stack(prefix="vovadudoz-prom-bench-")
    try:
        port = stack.start_broker()
        stack.start_exporters()
        idle = {w: memory_kib(stack.exporter_pid(w))["VmRSS"] for w in promstack.EXPORTERS}
        # The shipped rules as they are, with a production-like 15 s scrape.
        stack.start_prometheus(interval="15s", for_duration=None)
        fleet = Fleet(port, args.vehicles, stack.depot.passwords["emulator"])
        fleet.announce()
        # Every vehicle's metrics on the pages before the clock starts.
        status_url = "http://127.0.0.1:%d/metrics" % stack.exporter_ports["status"]
        promstack.wait_for(lambda: promstack.http_get(status_url).count(b"vovadudoz_vehicle_in_service{")
                           >= args.vehicles, 60)

        pids = {w: stack.exporter_pid(w) for w in promstack.EXPORTERS}
        cpu0 = {w: cpu_seconds(p) for w, p in pids.items()}
        sent0, t0 = fleet.sent, time.monotonic()
        next_beat = t0
        scrapes = {w: [] for w in promstack.EXPORTERS}
        sizes = {}
        while time.monotonic() - t0 < args.seconds:
            if time.monotonic() >= next_beat:
                fleet.heartbeat()
                next_beat += args.heartbeat_sec
            for w in promstack.EXPORTERS:
                start = time.perf_counter()
                page = promstack.http_get("http://127.0.0.1:%d/metrics" % stack.exporter_ports[w])
                scrapes[w].append(time.perf_counter() - start)
                sizes[w] = len(page)
            # A scrape every 5 s: enough timings, and the pages' own cost stays near what a
            # 15 s Prometheus adds.
            time.sleep(5.0)
        elapsed = time.monotonic() - t0
        messages = fleet.sent - sent0

        print("vehicles %d, heartbeat every %.0f s, %.0f s measured, %d status messages (%.0f/s)"
              % (args.vehicles, args.heartbeat_sec, elapsed, messages, messages / elapsed))
        print("%-9s %10s %9s %9s %10s %9s %12s %14s" % ("exporter", "page KiB", "p50 ms", "max ms", "RSS MiB",
                                                         "peak MiB", "idle MiB", "CPU %"))
        for w in promstack.EXPORTERS:
            cpu = (cpu_seconds(pids[w]) - cpu0[w]) / elapsed * 100
            mem = memory_kib(pids[w])
            print("%-9s %10.0f %9.1f %9.1f %10.1f %9.1f %12.1f %14.2f"
                  % (w, sizes[w] / 1024, statistics.median(scrapes[w]) * 1000, max(scrapes[w]) * 1000,
                     mem["VmRSS"] / 1024, mem["VmHWM"] / 1024, idle[w] / 1024, cpu))
        status_cpu = (cpu_seconds(pids["status"]) - cpu0["status"])
        print("status exporter CPU per 1000 messages: %.1f ms" % (status_cpu / max(messages, 1) * 1e6))
        # What goes over the wire: Prometheus asks for gzip.
        request = urllib.request.Request(status_url, headers={"Accept-Encoding": "gzip"})
        with urllib.request.urlopen(request, timeout=10) as answer:
            print("status page gzipped: %.0f KiB (%s)" % (len(answer.read()) / 1024, answer.headers.get("Content-Encoding")))

        # As Prometheus itself saw the last scrapes and the last evaluation of the rules.
        samples = stack.api("query", query="scrape_samples_scraped")["result"]
        for r in samples:
            instance = r["metric"]["instance"]
            which = next(w for w in promstack.EXPORTERS if instance.endswith(":%d" % stack.exporter_ports[w]))
            seconds = next(float(d["value"][1]) for d in stack.api("query", query='scrape_duration_seconds{instance="%s"}' % instance)["result"])
            print("prometheus: %-8s scrape %6.1f ms, %6d samples" % (which, seconds * 1000, float(r["value"][1])))
        # Prometheus does not scrape itself here: its own page says how long the rules took.
        own = promstack.http_get("http://127.0.0.1:%d/metrics" % stack.prometheus_port).decode()
        for line in own.splitlines():
            if line.startswith("prometheus_rule_group_last_duration_seconds{"):
                print("prometheus: rule group evaluation %.1f ms" % (float(line.rsplit(" ", 1)[1]) * 1000))
        firing = {}
        for a in stack.api("alerts")["alerts"]:
            firing[a["labels"]["alertname"]] = firing.get(a["labels"]["alertname"], 0) + (a["state"] == "firing")
        print("prometheus: alerts firing %s" % json.dumps(firing, sort_keys=True))
        prom = next(p for n, p in stack.processes if n == "prometheus")
        print("prometheus: RSS %.1f MiB" % (memory_kib(prom.pid)["VmRSS"] / 1024))
        fleet.close()
    finally:
        stack.close()


if __name__ == "__main__":
    main()
