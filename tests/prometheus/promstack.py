"""The depot's metrics stack on loopback, for the tests and the benchmark: the central broker
with the depot's shipped configuration, the three exporter instances with the shipped
configurations, logged in as the depot's "exporter" user, Prometheus with the shipped scrape job
and rules, Alertmanager with the shipped configuration and the vehicle emulator, each on a free
port, in one temporary folder. Everything is started, waited for and stopped through the depot
harness (tools/depot/harness.py)."""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import urllib.parse

import yaml

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools", "depot"))
import harness  # noqa: E402
SHIPPED = os.path.join(SOURCE_DIR, "packaging", "depot", "prometheus")
ALERTMANAGER_CONFIG = os.path.join(SOURCE_DIR, "packaging", "depot", "alertmanager", "alertmanager.yml")
EXPORTERS = ("status", "selftest", "link")

free_port = harness.free_port
http_get = harness.http_get


def wait_for(condition, timeout, step=0.25):
    """The harness' wait for condition(); its value, or None at the deadline (for tests that
    assert on what they waited for)."""
    try:
        return harness.wait_until(condition, timeout, step=step)
    except harness.NotReady:
        return None


def scaled_rules(text, for_duration, silence_sec=None):
    """The shipped rules with every "for:" shortened, so that a test sees an alert fire in
    seconds, and, given `silence_sec`, the silence after which a vehicle counts offline (its
    threshold and its windows); the other thresholds and the expressions stay as shipped."""
    text = re.sub(r"^(\s+)for: .*$", r"\g<1>for: " + for_duration, text, flags=re.M)
    if silence_sec is not None:
        shipped = re.search(r"threshold_status_silence_seconds\n\s+expr: vector\((\d+)\)", text).group(1)
        text = text.replace("vector(%s)" % shipped, "vector(%d)" % silence_sec)
        text = text.replace("[%ss]" % shipped, "[%ds]" % silence_sec)
    return text


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
        self.alertmanager_port = None

    def path(self, name):
        return os.path.join(self.dir, name)

    def spawn(self, name, args, env=None, open_input=False):
        """A process of this stack through the harness, its output in <name>.log."""
        process = harness.Process(name, args, self.path(name + ".log"), env=env, cwd=self.dir, open_input=open_input)
        self.processes.append((name, process))
        return process

    def service(self, name, args, port=None, url=None, env=None):
        """A daemon of this stack, returned once its port accepts or its url answers."""
        process = harness.service(name, args, self.path(name + ".log"), port=port, url=url, env=env, cwd=self.dir)
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
        self.depot = harness.DepotBroker(web_dir=web, vehicles=vehicles, run_dir=self.path("depot")).start()
        self.broker_port = self.depot.mqtt_port
        return self.broker_port

    def login(self, user):
        """mosquitto_pub/_sub options that log in as `user` on the central broker."""
        return ["-p", str(self.broker_port), "-u", user, "-P", self.depot.passwords[user]]

    def start_vehicle_broker(self, vehicle):
        """A vehicle's own broker, bridged to the central one by the shipped bridge snippet."""
        broker = harness.VehicleBroker(vehicle, self.depot, self.path("vehicle-" + vehicle)).start()
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
            # Of the exporter's login, as the depot broker requires ("<login>:..."; depot guard).
            config["mqtt"]["client_id"] = "exporter:%s-%d" % (which, os.getpid())
            with open(self.path("exporter-%s.yaml" % which), "w") as f:
                yaml.safe_dump(config, f)
            port = free_port()
            # The login, as the service gives it: from the environment, not the file.
            login = dict(os.environ, MQTT2PROM_MQTT_USER="exporter", MQTT2PROM_MQTT_PASSWORD=self.depot.passwords["exporter"])
            self.service("exporter-" + which,
                         ["prometheus-mqtt-exporter", "-config", self.path("exporter-%s.yaml" % which),
                          "-listen-address", "127.0.0.1", "-listen-port", str(port)], port=port, env=login)
            self.exporter_ports[which] = port
        return self.exporter_ports

    def exporter_pid(self, which):
        return next(p.pid for n, p in self.processes if n == "exporter-" + which)

    def start_prometheus(self, interval="1s", for_duration="2s", silence_sec=None):
        """Prometheus with the shipped example's scrape job (its relabelling and target labels
        included) and the shipped rules, on this stack's exporters, scraping and evaluating every
        `interval`; it sends its alerts to this stack's Alertmanager if one was started."""
        with open(os.path.join(SHIPPED, "vovadudoz-fleet.rules.yml")) as f:
            rules = f.read()
        with open(self.path("rules.yml"), "w") as f:
            f.write(scaled_rules(rules, for_duration, silence_sec) if for_duration else rules)
        with open(os.path.join(SHIPPED, "prometheus-example.yml")) as f:
            config = yaml.safe_load(f)
        config["global"] = {"scrape_interval": interval, "evaluation_interval": interval}
        config["rule_files"] = [self.path("rules.yml")]
        if self.alertmanager_port:
            config["alerting"]["alertmanagers"][0]["static_configs"] = [
                {"targets": ["127.0.0.1:%d" % self.alertmanager_port]}]
        else:
            del config["alerting"]
        job = config["scrape_configs"][0]
        # Each shipped target, by the exporter it names, on this stack's port for it.
        for group in job["static_configs"]:
            group["targets"] = ["127.0.0.1:%d" % self.exporter_ports[group["labels"]["exporter"]]]
        with open(self.path("prometheus.yml"), "w") as f:
            yaml.safe_dump(config, f)
        self.prometheus_port = free_port()
        self.service("prometheus", ["prometheus", "--config.file=" + self.path("prometheus.yml"),
                                    "--storage.tsdb.path=" + self.path("tsdb"),
                                    "--web.listen-address=127.0.0.1:%d" % self.prometheus_port],
                     url="http://127.0.0.1:%d/-/ready" % self.prometheus_port)
        return self.prometheus_port

    def start_alertmanager(self, webhook, group_wait="5s", group_interval="1m"):
        """Alertmanager with the shipped configuration, its receivers' webhooks sent to
        `webhook` + "/" + the receiver's name, and its grouping times shortened."""
        with open(ALERTMANAGER_CONFIG) as f:
            config = yaml.safe_load(f)
        for receiver in config["receivers"]:
            for hook in receiver.get("webhook_configs", []):
                hook["url"] = "%s/%s" % (webhook, receiver["name"])

        def shorten(route):
            for key, value in (("group_wait", group_wait), ("group_interval", group_interval)):
                if key in route:
                    route[key] = value
            for child in route.get("routes", []):
                shorten(child)
        shorten(config["route"])
        with open(self.path("alertmanager.yml"), "w") as f:
            yaml.safe_dump(config, f)
        self.alertmanager_port = free_port()
        # A single Alertmanager: no cluster port.
        self.service("alertmanager", ["prometheus-alertmanager", "--config.file=" + self.path("alertmanager.yml"),
                                      "--storage.path=" + self.path("alertmanager"),
                                      "--web.listen-address=127.0.0.1:%d" % self.alertmanager_port,
                                      "--cluster.listen-address="],
                     url="http://127.0.0.1:%d/-/ready" % self.alertmanager_port)
        return self.alertmanager_port

    def amtool(self, *args):
        """amtool on this stack's Alertmanager; its standard output."""
        return subprocess.run(["amtool", "--alertmanager.url=http://127.0.0.1:%d" % self.alertmanager_port] + list(args),
                              check=True, capture_output=True, text=True).stdout

    def alertmanager_alerts(self):
        return json.loads(http_get("http://127.0.0.1:%d/api/v2/alerts" % self.alertmanager_port))

    def start_emulator(self, count, heartbeat_sec=None, extra=()):
        """The harness' vehicle emulator with `count` vehicles on this stack's broker, once every
        vehicle's retained messages are on it; stop() takes every link down."""
        if heartbeat_sec is not None:
            extra = ["--heartbeat-sec", str(heartbeat_sec)] + list(extra)
        emulator = harness.Emulator(self.depot, count, extra=extra, log=self.path("emulator.log"))
        self.processes.append(("emulator", emulator))
        return emulator

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

    def firing(self, alertname, label="vehicle"):
        return sorted(a["labels"].get(label) for a in self.api("alerts")["alerts"]
                      if a["labels"].get("alertname") == alertname and a["state"] == "firing")

    def stop(self, name):
        for n, process in self.processes:
            if n == name:
                process.stop()

    def close(self):
        # Last started, first stopped: the broker outlives its clients.
        for name, process in reversed(self.processes):
            process.stop()
        for broker in self.vehicle_brokers:
            broker.stop()
        if self.depot is not None:
            self.depot.stop()
        shutil.rmtree(self.dir, ignore_errors=True)
