#!/usr/bin/python3
"""Does the depot broker hand a whole fleet's retained messages to every page that opens?

Starts the central broker from the shipped depot configuration (tools/depot/harness.py),
lets the vehicle emulator publish N vehicles (five retained topics each), then opens P
subscribers at once, as P pages would, each subscribing to fleet/# over websockets through
the page's front, and counts the retained messages each one receives. Reports, per run: messages
expected and received by each subscriber, the time until the last one had them all, and the
broker's resident memory and processor time.

    bench/depot/broker_retained.py [--vehicles 5000] [--pages 3] [--qos 1] [--transport websockets]
                                   [--defaults] [--heartbeat-sec 0] [--changes-per-sec 0]

--heartbeat-sec and --changes-per-sec let the fleet's news flow while the pages load (30 and 10
are a city's: a status from every vehicle every 30 s), which the queues must hold on top.

--defaults removes the depot's queue settings (mosquitto's own limits apply), to show why they
are there. Everything runs on loopback and ends within a minute or so.
"""

import argparse
import os
import shutil
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools", "depot"))
import depotbroker  # noqa: E402
import harness  # noqa: E402

import paho.mqtt.client as mqtt  # noqa: E402

TOPICS_PER_VEHICLE = 5
QUEUE_SETTINGS = ("#max_queued_messages", "#max_inflight_messages")


def broker_usage(pid):
    """Resident memory in MB and processor seconds so far of a process."""
    with open("/proc/%d/status" % pid) as status:
        rss_kb = next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return rss_kb / 1024.0, (int(fields[11]) + int(fields[12])) / ticks


class Page:
    """One subscriber to the whole fleet, counting retained messages."""

    def __init__(self, n, broker, qos, transport):
        self.retained = 0
        self.done_at = None
        self.expected = None
        self.qos = qos
        self.client = mqtt.Client(client_id="viewer:bench-page-%d-%d" % (os.getpid(), n), transport=transport)
        if transport == "websockets":
            # Through the page's front, as the page connects.
            self.client.ws_set_options(path="/", headers={"Sec-Websocket-Protocol": harness.FRONT_SUBPROTOCOL})
        self.client.username_pw_set("viewer", broker.passwords["viewer"])
        self.client.on_connect = lambda c, u, f, rc: c.subscribe("fleet/#", qos)
        self.client.on_message = self.on_message
        port = broker.ws_port if transport == "websockets" else broker.mqtt_port
        self.client.connect_async(broker.host, port)

    def on_message(self, client, userdata, message):
        if message.retain:
            self.retained += 1
            if self.expected is not None and self.retained >= self.expected and self.done_at is None:
                self.done_at = time.monotonic()


def run(args):
    conf = depotbroker.SHIPPED_CONF
    tmp = tempfile.mkdtemp(prefix="vovadudoz-bench.")
    if args.defaults:
        with open(conf) as shipped:
            lines = [line for line in shipped if not line.startswith(QUEUE_SETTINGS)]
        conf = os.path.join(tmp, "defaults.conf")
        with open(conf, "w") as out:
            out.writelines(lines)
    with harness.DepotBroker(conf=conf, run_dir=os.path.join(tmp, "depot")) as broker:
        pid = broker.process.pid
        started = time.monotonic()
        emulator = harness.Emulator(broker, args.vehicles, ["--heartbeat-sec", str(args.heartbeat_sec),
                                                             "--changes-per-sec", str(args.changes_per_sec)])
        published = time.monotonic() - started
        rss_before, cpu_before = broker_usage(pid)
        expected = args.vehicles * TOPICS_PER_VEHICLE
        pages = [Page(n, broker, args.qos, args.transport) for n in range(args.pages)]
        opened = time.monotonic()
        for page in pages:
            page.expected = expected
            page.client.loop_start()
        # Done when every page has it all, or when nothing more arrives for two seconds.
        last_total, quiet_since = -1, time.monotonic()
        while time.monotonic() - opened < args.timeout:
            total = sum(page.retained for page in pages)
            if all(page.done_at for page in pages):
                break
            if total != last_total:
                last_total, quiet_since = total, time.monotonic()
            elif time.monotonic() - quiet_since > 2.0:
                break
            time.sleep(0.05)
        rss_peak, cpu_after = broker_usage(pid)
        for page in pages:
            page.client.disconnect()
            page.client.loop_stop()
        emulator.stop()
    print("settings: %s; %d vehicles (%d retained messages); %d pages over %s, QoS %d; news: heartbeat %g s, "
          "%g changes/s"
          % ("mosquitto defaults" if args.defaults else "shipped depot settings", args.vehicles, expected,
             args.pages, args.transport, args.qos, args.heartbeat_sec, args.changes_per_sec))
    print("emulator published and acknowledged: %.2f s" % published)
    complete = 0
    for n, page in enumerate(pages):
        took = "%.2f s" % (page.done_at - opened) if page.done_at else "incomplete"
        print("  page %d: %d of %d retained messages, %s" % (n + 1, page.retained, expected, took))
        complete += page.retained == expected
    print("broker: %.1f MB resident with the fleet, %.1f MB while the pages load; %.2f s of processor for the pages"
          % (rss_before, rss_peak, cpu_after - cpu_before))
    shutil.rmtree(tmp, ignore_errors=True)
    return 0 if complete == len(pages) else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--vehicles", type=int, default=5000)
    parser.add_argument("--pages", type=int, default=3)
    parser.add_argument("--qos", type=int, choices=(0, 1, 2), default=1)
    parser.add_argument("--transport", choices=("websockets", "tcp"), default="websockets")
    parser.add_argument("--defaults", action="store_true", help="without the depot's queue settings")
    parser.add_argument("--timeout", type=float, default=60.0)
    parser.add_argument("--heartbeat-sec", type=float, default=0.0, help="each vehicle's status every N s (0: none)")
    parser.add_argument("--changes-per-sec", type=float, default=0.0, help="passenger results a second, fleet-wide")
    return run(parser.parse_args())


if __name__ == "__main__":
    sys.exit(main())
