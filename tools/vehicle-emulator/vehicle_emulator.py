#!/usr/bin/python3
"""Emulates bridged vehicles on a depot's central broker.

Each emulated vehicle publishes what a real vehicle's bridge carries to the depot: the retained
link topic, the program's info, configuration, status and last self-test, answers the requests a
depot sends (status, info, configuration, screenshot) and, while running, shows passengers a few
results a second across the fleet and republishes its status as a heartbeat. Many vehicles share
a few MQTT connections, so thousands of them cost a handful of sockets.

See README.md next to this file for the options and the control topic.
"""

import argparse
import heapq
import json
import os
import random
import signal
import struct
import sys
import threading
import time
import zlib

try:
    import paho.mqtt.client as mqtt
except ImportError:  # only the command needs it; the payload builders are importable without
    mqtt = None

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
SCREEN_WIDTH = 480
SCREEN_HEIGHT = 800
SCREENSHOT_INTERVAL_SEC = 2.0
REFUSED_TOO_SOON = "at most one screenshot every 2 s"
REFUSED_PIN = "not while a PIN is entered"
# A control message larger than this is not parsed (a test's markup or huge payload goes in
# "publish", which is bounded separately).
CONTROL_LIMIT = 4096
# Below the depot broker's packet limit, which would end the whole connection.
RAW_PUBLISH_LIMIT = 256 * 1024
SCAN_RESULT_SEC = 3.0

PASSENGER_RESULTS = ["Valid"] * 6 + ["Invalid", "AlreadyValid", "Retry"]
SCREENS = {"ScanScreens", "Valid", "Invalid", "AlreadyValid", "Retry", "OutOfOrder", "OutOfService",
           "ScreenSaver", "Busy", "Settings", "Login", "InitPage"}
# The facts the depot page and the alert rules share with the emulator: the self-test's names
# (the device's facts first, then the tests) and the heartbeat.
FACTS_FILE = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                          "depot", "web", "facts.json")


def load_facts(path=FACTS_FILE):
    with open(path) as facts_file:
        facts = json.load(facts_file)
    names = facts["selfTestNames"]
    count = facts["selfTestFacts"]
    if (not isinstance(names, list) or not all(isinstance(n, str) for n in names) or not isinstance(count, int)
            or not 0 < count < len(names) or not isinstance(facts["heartbeatSec"], (int, float))):
        raise ValueError("%s: selfTestNames, selfTestFacts or heartbeatSec is not as expected" % path)
    return facts


FACTS = load_facts()
DEVICE_FACTS = FACTS["selfTestNames"][:FACTS["selfTestFacts"]]
SELF_TESTS = FACTS["selfTestNames"][FACTS["selfTestFacts"]:]
# Background colour of each screen in the emulated screenshots, so a picture tells which screen
# it shows at a glance.
SCREEN_COLOURS = {
    "ScanScreens": (24, 64, 120), "Valid": (20, 120, 50), "Invalid": (170, 30, 30),
    "AlreadyValid": (30, 100, 140), "Retry": (190, 120, 20), "OutOfOrder": (90, 90, 90),
    "OutOfService": (60, 60, 60), "ScreenSaver": (10, 10, 10), "Busy": (40, 40, 80),
    "Settings": (230, 230, 235), "Login": (230, 230, 235), "InitPage": (200, 200, 210),
}


def utc_iso(epoch):
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch))


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def screenshot_png(screen, label_seed=0):
    """A 480x800 RGB picture: the screen's colour with a title bar and a band whose place depends
    on label_seed, so two vehicles' pictures differ."""
    bg = SCREEN_COLOURS.get(screen, (128, 0, 128))
    bar = bytes((255, 255, 255)) * SCREEN_WIDTH
    plain = bytes(bg) * SCREEN_WIDTH
    band_colour = tuple(255 - c for c in bg)
    band_left = 40 + (label_seed * 37) % 300
    band = bytes(bg) * band_left + bytes(band_colour) * 100 + bytes(bg) * (SCREEN_WIDTH - band_left - 100)
    rows = []
    for y in range(SCREEN_HEIGHT):
        if y < 48:
            row = bar
        elif 360 <= y < 440:
            row = band
        else:
            row = plain
        rows.append(b"\x00" + row)
    header = struct.pack(">IIBBBBB", SCREEN_WIDTH, SCREEN_HEIGHT, 8, 2, 0, 0, 0)
    return (PNG_SIGNATURE + png_chunk(b"IHDR", header) + png_chunk(b"IDAT", zlib.compress(b"".join(rows), 6))
            + png_chunk(b"IEND", b""))


class ScreenshotGate:
    """The program's rule for screenshot requests: one picture every 2 s, and a refusal answered
    at most once per 2 s (a flood of requests gets one answer, not one each)."""

    def __init__(self, clock=time.monotonic):
        self.clock = clock
        self.last_picture = None
        self.last_refusal = None

    def decide(self, screen):
        """Returns "picture", a refusal reason, or None (stay silent)."""
        now = self.clock()
        if screen == "Login":
            reason = REFUSED_PIN
        elif self.last_picture is not None and now - self.last_picture < SCREENSHOT_INTERVAL_SEC:
            reason = REFUSED_TOO_SOON
        else:
            self.last_picture = now
            return "picture"
        if self.last_refusal is not None and now - self.last_refusal < SCREENSHOT_INTERVAL_SEC:
            return None
        self.last_refusal = now
        return reason


class Vehicle:
    """One emulated vehicle: the state its program would publish, and the payloads."""

    def __init__(self, vid, index, rng, clock=time.time):
        self.id = vid
        self.index = index
        self.clock = clock
        self.started = clock() - rng.randint(600, 3 * 86400)
        self.linked = True
        self.running = True
        # Trouble comes at fixed places in the fleet so a run is the same whatever the seed:
        # the first few vehicles are healthy (a small test fleet shows plain tiles).
        self.out_of_order = index % 50 == 7
        self.technician = index % 50 == 19
        self.selftest_failed = index % 30 == 11
        self.slow = index % 40 == 3
        self.screen = "OutOfOrder" if self.out_of_order else ("Settings" if self.technician else "ScanScreens")
        self.results = rng.randint(0, 4000)
        self.p50 = round(rng.uniform(8.0, 20.0), 1)
        self.p99 = round(rng.uniform(220.0, 480.0) if self.slow else rng.uniform(25.0, 60.0), 1)
        self.version = "0.2.9" if index % 9 == 8 else "0.3.0"
        self.selftest_time = clock() - rng.randint(3600, 30 * 86400)
        self.back_to_scan_at = None
        self.gate = ScreenshotGate()

    def status(self):
        if not self.running:
            return {"technician": False, "service": False}
        status = {"technician": self.technician, "service": True, "screen": self.screen,
                  "uptimeSec": int(self.clock() - self.started), "resultsShown": self.results,
                  "time": utc_iso(self.clock())}
        if self.results:
            status["display"] = {"resultFrameMsP50": self.p50, "resultFrameMsP99": self.p99,
                                 "results": min(self.results, 1000)}
        return status

    def info(self):
        return {"version": self.version}

    def config(self):
        return {
            "gui": {"deviceId": "/var/lib/vovadudozad/serialnumber", "language": "en",
                    "screenSaverMin": 10, "keyboard": "qtvirtualkeyboard"},
            "mqtt": {"host": "localhost", "port": 1883, "username": "vovadudozad"},
            "log": {"stderr": False, "syslog": True},
            "validator": {"line": 100 + self.index % 40, "operator": "orvo"},
        }

    def diagnostics(self):
        values = {
            "deviceUid": self.id, "date": time.strftime("%Y-%m-%d %H:%M", time.gmtime(self.selftest_time)),
            "samUid": "04A1%06X" % (self.index * 7919 % 0xFFFFFF), "barcodeFirmware": "2.14.1",
            "rfidFirmware": "1.8.0", "boardFirmware": "5.2", "appVersion": self.version,
            "bundleVersion": "2026.11", "imageVersion": "12.4",
        }
        for name in SELF_TESTS:
            values[name] = "OK"
        if self.selftest_failed:
            values["leds"] = "ERROR"
            values["temperature"] = "ERROR 71 C"
        # "timeSec" is the same instant as "time", whole seconds: what the metrics exporter reads.
        return {"deviceId": self.id, "time": utc_iso(self.selftest_time), "timeSec": int(self.selftest_time),
                "result": "fail" if self.selftest_failed else "pass", "values": values}

    def scan(self, rng, result=None):
        """A passenger presents a card: a result screen, then back to scanning."""
        if not self.running or self.out_of_order or self.technician:
            return False
        self.screen = result if result in SCREENS else rng.choice(PASSENGER_RESULTS)
        self.results += 1
        self.p50 = round(max(4.0, self.p50 + rng.uniform(-1.0, 1.0)), 1)
        self.p99 = round(max(self.p50, self.p99 + rng.uniform(-3.0, 3.0)), 1)
        self.back_to_scan_at = self.clock() + SCAN_RESULT_SEC
        return True


def parse_control(payload):
    """A control message as a dict, or None with the reason."""
    if len(payload) > CONTROL_LIMIT:
        return None, "larger than %d bytes" % CONTROL_LIMIT
    try:
        message = json.loads(payload.decode("utf-8"))
    except (UnicodeDecodeError, ValueError):
        return None, "not JSON"
    if not isinstance(message, dict):
        return None, "not a JSON object"
    return message, None


def dumps(obj):
    return json.dumps(obj, separators=(",", ":")).encode()


class Fleet:
    """The vehicles and the connections that carry them."""

    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.lock = threading.RLock()
        self.vehicles = {}
        for n in range(args.count):
            vid = args.id_format.format(args.first + n)
            self.vehicles[vid] = Vehicle(vid, n, self.rng)
        self.order = list(self.vehicles)
        connections = max(1, min(16, (args.count + args.per_connection - 1) // args.per_connection))
        self.clients = []
        self.owner = {}
        for k in range(connections):
            # The depot broker ties a client id to its login: "<login>:" and anything after it.
            client = mqtt.Client(client_id="%s:vehicle-emulator-%d-%d" % (args.username or "emulator", os.getpid(), k),
                                 clean_session=True)
            if args.username:
                client.username_pw_set(args.username, args.password)
            # Thousands of retained messages go out at start: no cap on paho's own queue, and a
            # generous window of unacknowledged messages on loopback.
            client.max_inflight_messages_set(1000)
            client.max_queued_messages_set(0)
            self.clients.append(client)
        for n, vid in enumerate(self.order):
            self.owner[vid] = self.clients[n % connections]
        self.control = args.control_topic.replace("{prefix}", args.prefix)
        self.stop_event = threading.Event()
        self.pictures = {}
        # Vehicles showing a passenger's result, until they go back to scanning.
        self.showing_result = set()
        self.connected = threading.Semaphore(0)
        self.clients[0].on_message = self.on_message
        self.clients[0].on_connect = self.on_first_connect
        for client in self.clients[1:]:
            client.on_connect = lambda c, u, f, rc: self.connected.release() if rc == 0 else self.fail_connect(rc)

    def log(self, text):
        print("vehicle-emulator: " + text, file=sys.stderr, flush=True)

    def fail_connect(self, rc):
        self.log("the broker refused the connection: %s" % mqtt.connack_string(rc))
        self.stop_event.set()

    def on_first_connect(self, client, userdata, flags, rc):
        if rc != 0:
            self.fail_connect(rc)
            return
        prefix = self.args.prefix
        client.subscribe([(prefix + "/+/ui/+/get", 1), (self.control.replace("{id}", "+"), 1)])
        self.connected.release()

    def topic(self, vid, suffix):
        return "%s/%s/%s" % (self.args.prefix, vid, suffix)

    def publish(self, vid, suffix, payload, retain=True):
        return self.owner[vid].publish(self.topic(vid, suffix), payload, qos=1, retain=retain)

    def publish_all(self, vehicle):
        self.publish(vehicle.id, "bridge", b"1" if vehicle.linked else b"0")
        if not vehicle.linked:
            return None
        self.publish(vehicle.id, "ui/info", dumps(vehicle.info()))
        self.publish(vehicle.id, "ui/config", dumps(vehicle.config()))
        self.publish(vehicle.id, "ui/diagnostics", dumps(vehicle.diagnostics()))
        return self.publish(vehicle.id, "ui/status", dumps(vehicle.status()))

    def publish_status(self, vehicle):
        if vehicle.linked:
            self.publish(vehicle.id, "ui/status", dumps(vehicle.status()))

    # --- requests and control ------------------------------------------------------------
    def vehicle_of(self, topic, pattern):
        """The vehicle whose id stands where pattern has {id}, if the topic fits the pattern."""
        head, _, tail = pattern.partition("{id}")
        if not topic.startswith(head) or not topic.endswith(tail) or len(topic) <= len(head) + len(tail):
            return None
        return self.vehicles.get(topic[len(head):len(topic) - len(tail)])

    def on_message(self, client, userdata, message):
        # A request left retained on the broker is delivered again at every start: as the
        # program does, a vehicle acts only on requests sent now.
        if message.retain and message.topic.endswith("/get"):
            self.log("ignoring a retained request on %s" % message.topic)
            return
        try:
            with self.lock:
                self.handle(message.topic, message.payload)
        except Exception as error:  # a bad message must not end the emulator's network thread
            self.log("ignoring a message on %s: %s" % (message.topic, error))

    def handle(self, topic, payload):
        vehicle = self.vehicle_of(topic, self.control)
        if vehicle is not None:
            self.handle_control(vehicle, payload)
            return
        for kind in ("status", "info", "config", "screenshot"):
            vehicle = self.vehicle_of(topic, "%s/{id}/ui/%s/get" % (self.args.prefix, kind))
            if vehicle is not None:
                break
        else:
            return
        # An unlinked or stopped vehicle hears nothing: its bridge or its program is down.
        if not vehicle.linked or not vehicle.running:
            return
        if kind == "status":
            self.publish_status(vehicle)
        elif kind == "info":
            self.publish(vehicle.id, "ui/info", dumps(vehicle.info()))
        elif kind == "config":
            self.publish(vehicle.id, "ui/config", dumps(vehicle.config()))
        else:
            decision = vehicle.gate.decide(vehicle.screen)
            if decision == "picture":
                key = (vehicle.screen, vehicle.index % 8)
                if key not in self.pictures:
                    self.pictures[key] = screenshot_png(vehicle.screen, vehicle.index)
                self.publish(vehicle.id, "ui/screenshot", self.pictures[key], retain=False)
            elif decision is not None:
                self.publish(vehicle.id, "ui/screenshot", dumps({"refused": decision}), retain=False)

    def handle_control(self, vehicle, payload):
        message, error = parse_control(payload)
        if message is None:
            self.log("ignoring a control message for %s: %s" % (vehicle.id, error))
            return
        changed = False
        if "link" in message:
            vehicle.linked = bool(message["link"])
            self.publish(vehicle.id, "bridge", b"1" if vehicle.linked else b"0")
            changed = vehicle.linked
        if "stop" in message or "start" in message:
            vehicle.running = not message.get("stop", False) and bool(message.get("start", True))
            if not vehicle.running:
                vehicle.technician = False
            changed = True
        if isinstance(message.get("technician"), bool):
            vehicle.technician = message["technician"]
            changed = True
        if isinstance(message.get("screen"), str) and message["screen"] in SCREENS:
            vehicle.screen = message["screen"]
            vehicle.back_to_scan_at = None
            changed = True
        if message.get("scan"):
            result = message["scan"] if isinstance(message["scan"], str) else None
            if vehicle.scan(self.rng, result):
                self.showing_result.add(vehicle.id)
                changed = True
        if message.get("diagnostics") in ("pass", "fail"):
            vehicle.selftest_failed = message["diagnostics"] == "fail"
            vehicle.selftest_time = time.time()
            if vehicle.linked:
                self.publish(vehicle.id, "ui/diagnostics", dumps(vehicle.diagnostics()))
        if isinstance(message.get("p99"), (int, float)) and not isinstance(message.get("p99"), bool):
            vehicle.p99 = float(message["p99"])
            changed = True
        raw = message.get("publish")
        if isinstance(raw, dict) and isinstance(raw.get("topic"), str) and isinstance(raw.get("payload"), str):
            data = raw["payload"].encode("utf-8")
            repeat = raw.get("repeat", 1)
            if isinstance(repeat, int) and 1 < repeat and len(data) * repeat <= RAW_PUBLISH_LIMIT:
                data = data * repeat
            if len(data) <= RAW_PUBLISH_LIMIT and "#" not in raw["topic"] and "+" not in raw["topic"]:
                self.publish(vehicle.id, raw["topic"].lstrip("/"), data, retain=bool(raw.get("retain", True)))
        if changed:
            self.publish_status(vehicle)

    # --- running -------------------------------------------------------------------------
    def start(self, timeout=15.0):
        for client in self.clients:
            client.connect_async(self.args.host, self.args.port, keepalive=30)
            client.loop_start()
        deadline = time.monotonic() + timeout
        for _ in self.clients:
            if not self.connected.acquire(timeout=max(0.1, deadline - time.monotonic())) or self.stop_event.is_set():
                raise RuntimeError("could not connect to %s:%d" % (self.args.host, self.args.port))
        last = []
        with self.lock:
            for vid in self.order:
                info = self.publish_all(self.vehicles[vid])
                if info is not None:
                    last.append(info)
        # Every connection's last message acknowledged means all of its earlier ones went out.
        for info in last[-len(self.clients):]:
            info.wait_for_publish(timeout=max(1.0, deadline - time.monotonic() + 60))
        print("ready: %d vehicles on %s:%d" % (len(self.vehicles), self.args.host, self.args.port), flush=True)

    def run(self):
        """Heartbeats spread over the interval and a few passengers a second, until stopped."""
        heartbeat = self.args.heartbeat_sec
        now = time.time()
        due = [(now + self.rng.uniform(0, heartbeat), vid) for vid in self.order] if heartbeat > 0 else []
        heapq.heapify(due)
        end = time.monotonic() + self.args.duration if self.args.duration > 0 else None
        carry = 0.0
        tick = 0.1
        while not self.stop_event.wait(tick):
            if end is not None and time.monotonic() >= end:
                break
            now = time.time()
            with self.lock:
                while due and due[0][0] <= now:
                    _, vid = heapq.heappop(due)
                    vehicle = self.vehicles[vid]
                    if vehicle.running:
                        self.publish_status(vehicle)
                    heapq.heappush(due, (now + heartbeat, vid))
                carry += self.args.changes_per_sec * tick
                while carry >= 1.0:
                    carry -= 1.0
                    vehicle = self.vehicles[self.rng.choice(self.order)]
                    if vehicle.linked and vehicle.scan(self.rng):
                        self.showing_result.add(vehicle.id)
                        self.publish_status(vehicle)
                for vid in list(self.showing_result):
                    vehicle = self.vehicles[vid]
                    if vehicle.back_to_scan_at is None:
                        self.showing_result.discard(vid)
                    elif vehicle.back_to_scan_at <= now:
                        vehicle.back_to_scan_at = None
                        self.showing_result.discard(vid)
                        if vehicle.screen in PASSENGER_RESULTS:
                            vehicle.screen = "ScanScreens"
                            self.publish_status(vehicle)

    def stop(self):
        """Every link goes down, as when the vehicles' bridges are lost."""
        infos = []
        with self.lock:
            for vid in self.order:
                self.vehicles[vid].linked = False
                infos.append(self.publish(vid, "bridge", b"0"))
        for info in infos[-len(self.clients):]:
            try:
                info.wait_for_publish(timeout=10)
            except (RuntimeError, ValueError):
                pass
        for client in self.clients:
            client.disconnect()
            client.loop_stop()


def parse_args(argv):
    parser = argparse.ArgumentParser(description="Emulates bridged vehicles on a depot's central broker.")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=1883)
    parser.add_argument("--username")
    parser.add_argument("--password")
    parser.add_argument("--count", type=int, default=20, help="how many vehicles (default 20)")
    parser.add_argument("--first", type=int, default=1, help="number of the first vehicle (default 1)")
    parser.add_argument("--id-format", default="bus-{:04d}", help="vehicle id from its number (default bus-{:04d})")
    parser.add_argument("--prefix", default="fleet", help="the fleet's topic prefix (default fleet)")
    parser.add_argument("--heartbeat-sec", type=float, default=float(FACTS["heartbeatSec"]),
                        help="each vehicle republishes its status this often; 0: never (default %g, from "
                             "depot/web/facts.json)" % FACTS["heartbeatSec"])
    parser.add_argument("--changes-per-sec", type=float, default=2.0,
                        help="passenger results a second across the fleet (default 2)")
    parser.add_argument("--duration", type=float, default=0.0, help="stop after this many seconds (default: run on)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--control-topic", default="{prefix}/{id}/emulator",
                        help="where a test drives one vehicle (default {prefix}/{id}/emulator)")
    parser.add_argument("--per-connection", type=int, default=1000,
                        help="vehicles sharing one MQTT connection (default 1000; at most 16 connections)")
    args = parser.parse_args(argv)
    if args.count < 0 or args.count > 100000:
        parser.error("--count must be 0 to 100000")
    if args.per_connection < 1:
        parser.error("--per-connection must be at least 1")
    if "{id}" not in args.control_topic:
        parser.error("--control-topic must contain {id}")
    for bad in "+#":
        if bad in args.prefix or bad in args.id_format:
            parser.error("the prefix and the ids cannot contain '%s'" % bad)
    try:
        args.id_format.format(args.first)
    except (IndexError, KeyError, ValueError) as error:
        parser.error("--id-format: %s" % error)
    return args


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    if mqtt is None:
        print("vehicle-emulator: python3-paho-mqtt is missing (run scripts/setup)", file=sys.stderr)
        return 2
    fleet = Fleet(args)
    for sig in (signal.SIGINT, signal.SIGTERM):
        signal.signal(sig, lambda *_: fleet.stop_event.set())
    try:
        fleet.start()
    except RuntimeError as error:
        fleet.log(str(error))
        for client in fleet.clients:
            client.loop_stop()
        return 1
    fleet.run()
    fleet.stop()
    fleet.log("stopped; every link is down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
