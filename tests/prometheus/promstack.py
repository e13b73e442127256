"""The depot's metrics stack on loopback, for the tests and the benchmark: the central broker
with the depot's shipped configuration (tools/depot/depotbroker.py), the three exporter
instances with the shipped configurations, logged in as the depot's "exporter" user, and
Prometheus with the shipped scrape job and rules, each on a free port, in one temporary folder."""

import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

import yaml

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools", "depot"))
import depotbroker  # noqa: E402
SHIPPED = os.path.join(SOURCE_DIR, "packaging", "depot", "prometheus")
EXPORTERS = ("status", "selftest", "link")


def free_port():
    # Bound and released: a process started right after takes it. The kernel does not hand
    # the same port out again at once, so tests side by side do not meet.
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_port(port, timeout=10.0, process=None):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if process is not None and process.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def wait_for(condition, timeout, step=0.25):
    """Calls condition() until it returns something true; returns that, or None at the deadline."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value or None
        time.sleep(step)


def http_get(url, timeout=5.0):
    with urllib.request.urlopen(url, timeout=timeout) as answer:
        return answer.read()


def scaled_rules(text, for_duration):
    """The shipped rules with every "for:" shortened, so that a test sees an alert fire in
    seconds; the thresholds and expressions stay as shipped."""
    return re.sub(r"^(\s+)for: .*$", r"\g<1>for: " + for_duration, text, flags=re.M)


class Stack:
    def __init__(self, prefix="vovadudoz-prom-"):
        self.dir = tempfile.mkdtemp(prefix=prefix)
        # mosquitto run as root reads on as its own user.
        os.chmod(self.dir, 0o755)
        self.processes = []
        self.depot = None
        self.vehicle_brokers = []
        self.broker_port = None
        self.exporter_ports = {}
        self.prometheus_port = None

    def path(self, name):
        return os.path.join(self.dir, name)

    def spawn(self, name, args, **kwargs):
        log = open(self.path(name + ".log"), "wb")
        process = subprocess.Popen(args, stdout=log, stderr=subprocess.STDOUT, stdin=kwargs.pop("stdin", subprocess.DEVNULL),
                                   cwd=kwargs.pop("cwd", self.dir), start_new_session=True, **kwargs)
        log.close()
        self.processes.append((name, process))
        return process

    def log(self, name):
        try:
            with open(self.path(name + ".log"), "rb") as f:
                return f.read().decode("utf-8", "replace")
        except OSError:
            return ""

    def start_broker(self, vehicles=()):
        """The central broker as a depot runs it (its listeners on loopback, no TLS); `vehicles`
        get a bridge login each. The emulator's identity writes for any vehicle."""
        web = self.path("web")  # the page is not what is measured here
        os.makedirs(web, exist_ok=True)
        self.depot = depotbroker.DepotBroker(web_dir=web, vehicles=vehicles, run_dir=self.path("depot")).start()
        self.broker_port = self.depot.mqtt_port
        return self.broker_port

    def login(self, user):
        """mosquitto_pub/_sub options that log in as `user` on the central broker."""
        return ["-p", str(self.broker_port), "-u", user, "-P", self.depot.passwords[user]]

    def start_vehicle_broker(self, vehicle):
        """A vehicle's own broker, bridged to the central one by the shipped bridge snippet."""
        broker = depotbroker.VehicleBroker(vehicle, self.depot, self.path("vehicle-" + vehicle)).start()
        self.vehicle_brokers.append(broker)
        return broker.port

    def start_exporters(self):
        """The three shipped exporter configurations, pointed at this stack's broker's loopback
        listener for the depot's services."""
        for which in EXPORTERS:
            with open(os.path.join(SHIPPED, "exporter-%s.yaml" % which)) as f:
                config = yaml.safe_load(f)
            # As at a depot: the broker's loopback listener for the host's own services, which the
            # shipped configuration names by its port there.
            if config["mqtt"]["server"] != "tcp://127.0.0.1:1883":
                raise RuntimeError("exporter-%s.yaml does not log in on the central broker's loopback "
                                   "listener: %s" % (which, config["mqtt"]["server"]))
            config["mqtt"]["server"] = "tcp://127.0.0.1:%d" % self.depot.local_port
            with open(self.path("exporter-%s.yaml" % which), "w") as f:
                yaml.safe_dump(config, f)
            port = free_port()
            # The login, as the service gives it: from the environment, not the file.
            login = dict(os.environ, MQTT2PROM_MQTT_USER="exporter", MQTT2PROM_MQTT_PASSWORD=self.depot.passwords["exporter"])
            process = self.spawn("exporter-" + which,
                                 ["prometheus-mqtt-exporter", "-config", self.path("exporter-%s.yaml" % which),
                                  "-listen-address", "127.0.0.1", "-listen-port", str(port)], env=login)
            if not wait_port(port, 10, process):
                raise RuntimeError("the %s exporter did not start:\n%s" % (which, self.log("exporter-" + which)))
            self.exporter_ports[which] = port
        return self.exporter_ports

    def exporter_pid(self, which):
        return next(p.pid for n, p in self.processes if n == "exporter-" + which)

    def start_prometheus(self, interval="1s", for_duration="2s"):
        """Prometheus with the shipped example's scrape job (its relabelling included) and the
        shipped rules, on this stack's exporters, scraping and evaluating every `interval`."""
        with open(os.path.join(SHIPPED, "vovadudoz-fleet.rules.yml")) as f:
            rules = f.read()
        with open(self.path("rules.yml"), "w") as f:
            f.write(scaled_rules(rules, for_duration) if for_duration else rules)
        with open(os.path.join(SHIPPED, "prometheus-example.yml")) as f:
            config = yaml.safe_load(f)
        config["global"] = {"scrape_interval": interval, "evaluation_interval": interval}
        config["rule_files"] = [self.path("rules.yml")]
        job = config["scrape_configs"][0]
        job["static_configs"] = [{"targets": ["127.0.0.1:%d" % self.exporter_ports[w] for w in EXPORTERS]}]
        with open(self.path("prometheus.yml"), "w") as f:
            yaml.safe_dump(config, f)
        self.prometheus_port = free_port()
        process = self.spawn("prometheus", ["prometheus", "--config.file=" + self.path("prometheus.yml"),
                                            "--storage.tsdb.path=" + self.path("tsdb"),
                                            "--web.listen-address=127.0.0.1:%d" % self.prometheus_port])
        if not wait_port(self.prometheus_port, 20, process):
            raise RuntimeError("prometheus did not start:\n" + self.log("prometheus"))
        return self.prometheus_port

    def api(self, path, **params):
        url = "http://127.0.0.1:%d/api/v1/%s" % (self.prometheus_port, path)
        if params:
            url += "?" + urllib.parse.urlencode(params)
        answer = json.loads(http_get(url))
        if answer.get("status") != "success":
            raise RuntimeError("prometheus: %s" % answer)
        return answer["data"]

    def query(self, expr):
        """{vehicle: value} of an instant query."""
        return {r["metric"].get("vehicle"): float(r["value"][1]) for r in self.api("query", query=expr)["result"]}

    def firing(self, alertname):
        return sorted(a["labels"].get("vehicle") for a in self.api("alerts")["alerts"]
                      if a["labels"].get("alertname") == alertname and a["state"] == "firing")

    def stop(self, name):
        for n, process in self.processes:
            if n == name and process.poll() is None:
                process.terminate()
                process.wait(10)

    def close(self):
        # Last started, first stopped: the broker outlives its clients.
        for name, process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
        for name, process in reversed(self.processes):
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
        for broker in self.vehicle_brokers:
            broker.stop()
        if self.depot is not None:
            self.depot.stop()
        shutil.rmtree(self.dir, ignore_errors=True)
