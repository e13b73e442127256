"""The depot harness: what scripts/depot, the depot and Prometheus tests and the benchmarks start
on this machine, and how they wait for it and stop it. Nobody else writes a wait or a stop.

Everything listens on free ports of 127.0.0.1 only. Readiness is observed (a port accepts, a
log line shows, a retained message arrives), never slept for; a wait fails at once when the
process it waits for has died, with the end of its log. Every process runs in its own process
group with its output in a log file, and stop() ends the group; whatever a failed test left
running is stopped when Python exits.

    import harness                                   # tools/depot on sys.path

    harness.free_port() -> int
    harness.wait_until(condition, timeout, what, process=None) -> condition's value
    harness.wait_port(port, timeout, process=None)   harness.wait_http(url, timeout, process=None)
    harness.wait_log_line(path, pattern, timeout, process=None) -> match
    harness.http_get(url) -> bytes
    p = harness.Process(name, argv, log, env=None, cwd=None, open_input=False)
        p.pid  p.alive()  p.poll()  p.wait_line(pattern)  p.wait_port(port)  p.output()  p.stop(kill=False)
    harness.service(name, argv, log, port=None, url=None, env=None, cwd=None) -> Process
        a daemon (Prometheus, an exporter, Alertmanager, a webhook) started and waited for on
        its port or its HTTP address
    broker = harness.DepotBroker(web_dir=None, users=None, vehicles=(), run_dir=None, persist=False)
        .start() / with ...: the central broker from the shipped snippet; mqtt_port (bridges),
        local_port (this host's services: exporters), ws_port and url (the page), passwords,
        process, log_file, restart(down_sec), stop()
    harness.VehicleBroker(vehicle, broker, run_dir).start(): a vehicle's broker, bridged
    harness.Emulator(broker, count, extra=(), log=None).stop(): the vehicle emulator, started
        once it said "ready:" (every vehicle's retained messages acknowledged)
    harness.RealVehicle(vehicle, broker, run_dir, app, simulator=None).wait_linked(): the
        program (offscreen) on its own broker bridged to the depot, and the service simulator
    harness.Client(port, user, password, subscribe=(), transport="tcp"): an MQTT client that
        keeps every message; wait_for(predicate), publish(), close()
    harness.stop_all(): stops every Process still running (also done at exit)

A broker started by root changes to the user "mosquitto": it gets copies of what it reads (the
password file, the access list, the page) in a folder of its own that user can reach, so it
starts from any checkout the caller can read, a private (0700) one included.
"""

import json
import os
import subprocess
import sys
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
if HERE not in sys.path:
    sys.path.insert(0, HERE)

from processes import (READY_TIMEOUT, NotReady, Process, free_port, http_get, port_open,  # noqa: E402,F401
                       read_log, stop_all, wait_http, wait_log_line, wait_port, wait_until)
from depotbroker import DEFAULT_WEB, ROOT, DepotBroker, VehicleBroker  # noqa: E402,F401

__all__ = ["READY_TIMEOUT", "NotReady", "Process", "free_port", "http_get", "port_open", "read_log", "stop_all",
           "wait_http", "wait_log_line", "wait_port", "wait_until", "DEFAULT_WEB", "ROOT", "DepotBroker",
           "VehicleBroker", "EMULATOR", "FRONT_SUBPROTOCOL", "service", "Emulator", "Client", "RealVehicle"]

EMULATOR = os.path.join(ROOT, "tools", "vehicle-emulator", "vehicle_emulator.py")
# Debian's Python, which has python3-paho-mqtt (another python3 may come first on PATH).
PYTHON = "/usr/bin/python3" if os.access("/usr/bin/python3", os.X_OK) else sys.executable


# The websockets subprotocol the page's front speaks: the page asks for it instead of "mqtt".
FRONT_SUBPROTOCOL = "binary"


def service(name, argv, log, port=None, url=None, env=None, cwd=None, timeout=READY_TIMEOUT):
    """Starts a daemon and returns it once its port accepts or its url answers."""
    process = Process(name, argv, log, env=env, cwd=cwd)
    try:
        if port is not None:
            process.wait_port(port, timeout)
        if url is not None:
            wait_http(url, timeout, process)
    except NotReady as error:
        process.stop()
        raise NotReady("%s did not start: %s\n--- %s:\n%s" % (name, error, log, process.output())) from None
    return process


class Emulator(Process):
    """The vehicle emulator on a depot broker's bridge listener, logged in as "emulator"; ready
    once every vehicle's retained messages are acknowledged. stop() takes every link down."""

    def __init__(self, broker, count, extra=(), log=None, timeout=READY_TIMEOUT * 2):
        log = log or os.path.join(broker.run_dir, "emulator.log")
        super().__init__("vehicle emulator",
                         [PYTHON, EMULATOR, "--host", broker.host, "--port", str(broker.mqtt_port),
                          "--username", "emulator", "--password", broker.passwords["emulator"],
                          "--count", str(count)] + [str(a) for a in extra], log)
        try:
            self.ready = self.wait_line(r"^ready: \d+ vehicles", timeout).group(0)
        except NotReady:
            self.stop(kill=True)
            raise


class Client:
    """A logged-in MQTT client; keeps every message by topic (the last one) and in order."""

    def __init__(self, port, user=None, password=None, subscribe=(), host="127.0.0.1", transport="tcp",
                 client_id=None):
        import paho.mqtt.client as mqtt
        self.lock = threading.Condition()
        self.last = {}
        self.received = []
        self.connack = None
        # Depot guard: the depot broker ties a client id to its login ("<login>:" and anything).
        if client_id is None:
            client_id = "%s:test-%s" % (user, os.urandom(4).hex()) if user else ""
        self.client = mqtt.Client(client_id=client_id, transport=transport)
        if transport == "websockets":
            # As the page connects through its front (websockify), which carries bytes, not MQTT.
            self.client.ws_set_options(path="/", headers={"Sec-Websocket-Protocol": FRONT_SUBPROTOCOL})
        if user:
            self.client.username_pw_set(user, password)
        self.client.on_connect = self._on_connect
        self.client.on_message = self._on_message
        self.subscriptions = list(subscribe)
        self.client.connect(host, port, keepalive=10)
        self.client.loop_start()

    def _on_connect(self, client, userdata, flags, rc):
        with self.lock:
            self.connack = rc
            self.lock.notify_all()
        if rc == 0:
            for topic in self.subscriptions:
                client.subscribe(topic, 1)

    def _on_message(self, client, userdata, message):
        with self.lock:
            self.last[message.topic] = message.payload
            self.received.append((message.topic, message.payload, message.retain))
            self.lock.notify_all()

    def wait_connack(self, timeout=10.0):
        with self.lock:
            self.lock.wait_for(lambda: self.connack is not None, timeout)
            return self.connack

    def wait_for(self, predicate, timeout=READY_TIMEOUT):
        """Waits until predicate(self) holds; returns whether it did."""
        with self.lock:
            return self.lock.wait_for(lambda: predicate(self), timeout)

    def json(self, topic):
        """The last message on topic as JSON, or {}."""
        try:
            value = json.loads(self.last.get(topic, b"{}"))
        except ValueError:
            return {}
        return value if isinstance(value, dict) else {}

    def publish(self, topic, payload, retain=False, qos=1):
        self.client.publish(topic, payload, qos=qos, retain=retain).wait_for_publish(timeout=10)

    def close(self):
        self.client.disconnect()
        self.client.loop_stop()


class RealVehicle:
    """A real vehicle at the depot: its own broker bridged with the shipped bridge snippet, the
    program (offscreen, in software) and, if given, the service simulator."""

    def __init__(self, vehicle, depot, run_dir, app, simulator=None, serial="K20260001"):
        self.vehicle = vehicle
        self.depot = depot
        self.run_dir = run_dir
        os.makedirs(run_dir, exist_ok=True)
        self.broker = VehicleBroker(vehicle, depot, os.path.join(run_dir, "broker")).start()
        self.program = self.simulator = None
        try:
            with open(os.path.join(run_dir, "serialnumber"), "w") as out:
                out.write(serial)
            self.config = os.path.join(run_dir, "gui.conf")
            with open(self.config, "w") as out:
                out.write("[gui]\ndeviceId=%s/serialnumber\n\n[log]\nstderr=true\nsyslog=false\n\n"
                          "[mqtt]\nhost=%s\nport=%d\n" % (run_dir, self.broker.host, self.broker.port))
            env = dict(os.environ)
            env.setdefault("QT_QPA_PLATFORM", "offscreen")
            if env["QT_QPA_PLATFORM"] in ("offscreen", "minimal"):
                env.setdefault("QT_QUICK_BACKEND", "software")
            self.program = Process("program of " + vehicle, [app, "-f", self.config],
                                   os.path.join(run_dir, "gui.log"), env=env, cwd=run_dir)
            if simulator:
                # Its input stays open and silent: the simulator stops at the end of its input.
                self.simulator = Process("simulator of " + vehicle,
                                         [simulator, "-H", self.broker.host, "-P", str(self.broker.port),
                                          "--no-prompt"], os.path.join(run_dir, "sim.log"), open_input=True)
        except BaseException:
            self.stop()
            raise

    def wait_linked(self, timeout=READY_TIMEOUT):
        """Waits until the depot holds this vehicle's link as up (its bridge connected)."""
        watcher = Client(self.depot.mqtt_port, "viewer", self.depot.passwords["viewer"],
                         ["fleet/%s/bridge" % self.vehicle])
        try:
            if not watcher.wait_for(lambda c: c.last.get("fleet/%s/bridge" % self.vehicle) == b"1", timeout):
                raise NotReady("the bridge of %s did not come up within %.0f s:\n%s"
                               % (self.vehicle, timeout, self.broker.process.output()))
        finally:
            watcher.close()
        return self

    def tap(self, valid=True):
        """A passenger presents a card (valid) or a barcode (scan valid) at the simulator."""
        subprocess.run(["mosquitto_pub", "-h", self.broker.host, "-p", str(self.broker.port),
                        "-t", "orvo/sim/command", "-m", "tap valid" if valid else "scan valid"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)

    def stop(self, kill=False):
        # The program first, so its clean stop ("service": false) goes out through the bridge.
        for part in (self.program, self.simulator):
            if part is not None:
                part.stop(kill)
        self.broker.stop(kill)
