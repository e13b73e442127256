"""The depot's alerts end to end, time scaled: the central broker, the vehicle emulator, the three
shipped exporters, Prometheus with the shipped job and rules (evaluated every second, "for:"
2 s, a vehicle silent after 4 s of a 1 s heartbeat) and Alertmanager with the shipped routes and
inhibitions, its webhooks sent to a small receiver in the test. Each test starts its own stack.
Prometheus' and Alertmanager's HTTP APIs and the notifications received are the judges."""

import http.server
import json
import os
import signal
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import promstack  # noqa: E402

import paho.mqtt.client as mqtt  # noqa: E402

SILENCE_SEC = 4   # the scaled silentAfterSec
FOR_SEC = 2       # the scaled "for:" of every alert


class Webhook:
    """Alertmanager's webhook receiver: keeps every notification with the path it came to."""

    def __init__(self):
        self.received = []
        self.changed = threading.Condition()
        hook = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                body = json.loads(self.rfile.read(int(self.headers["Content-Length"])))
                with hook.changed:
                    hook.received.append((self.path.strip("/"), body))
                    hook.changed.notify_all()
                self.send_response(200)
                self.end_headers()

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.url = "http://127.0.0.1:%d" % self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def notifications(self, alertname):
        with self.changed:
            return [(path, body) for path, body in self.received if body["groupLabels"].get("alertname") == alertname]

    def wait(self, alertname, timeout):
        with self.changed:
            self.changed.wait_for(lambda: self.notifications(alertname), timeout)
        return self.notifications(alertname)

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class Alerting(unittest.TestCase):
    def setUp(self):
        self.hook = Webhook()
        self.addCleanup(self.hook.close)
        self.stack = promstack.Stack(prefix="vovadudoz-alerts-")
        self.addCleanup(self.stack.close)
        self.stack.start_broker()
        self.stack.start_exporters()
        self.stack.start_alertmanager(self.hook.url)
        self.stack.start_prometheus(interval="1s", for_duration="%ds" % FOR_SEC, silence_sec=SILENCE_SEC)

    def tearDown(self):
        result = self._outcome.result
        if any(test is self for test, _ in result.failures + result.errors):
            for name in ("prometheus", "alertmanager", "exporter-status", "exporter-link", "emulator"):
                sys.stderr.write("----- %s\n%s\n" % (name, self.stack.log(name)[-2000:]))

    def wait_vehicles(self, count):
        """Until Prometheus has every vehicle's link and a fresh status."""
        ok = promstack.wait_for(lambda: len(self.stack.query("time() - timestamp(vovadudoz_vehicle_in_service) < 2")) >= count
                                and len(self.stack.query("vovadudoz_vehicle_link_up == 1")) >= count, 60)
        self.assertTrue(ok, "Prometheus never heard from %d vehicles" % count)

    def wait_until_offline_would_fire(self):
        """Until every vehicle's last status is older than the silence and the "for:" and two
        evaluations more, by Prometheus' own clock: a rule that calls silence offline has fired
        by then."""
        limit = SILENCE_SEC + FOR_SEC + 2
        ok = promstack.wait_for(lambda: self.stack.query(
            "min(time() - timestamp(vovadudoz_vehicle_in_service)) > %d" % limit), 30)
        self.assertTrue(ok, "the statuses never grew old")

    def test_a_fleet_outage_is_one_notification_and_a_silenced_vehicle_stays_silent(self):
        count = 300
        emulator = self.stack.start_emulator(count, heartbeat_sec=1)
        self.wait_vehicles(count)
        # The technician's silence for a vehicle under repair, as the shipped file tells it.
        under_repair = "bus-0005"
        silence = self.stack.amtool("silence", "add", "vehicle=" + under_repair, "--duration=1h",
                                    "--author=test", "--comment=in the workshop").strip()
        self.assertIn(silence, self.stack.amtool("silence", "query", "vehicle=" + under_repair))

        # The whole fleet's links go at once, as when the emulator stops.
        emulator.stop()
        sent = self.hook.wait("VovadudozVehicleOffline", 60)
        self.assertEqual(len(sent), 1, [(p, len(b["alerts"])) for p, b in sent])
        path, body = sent[0]
        self.assertEqual(path, "control-room")
        self.assertEqual(body["status"], "firing")
        named = sorted(a["labels"]["vehicle"] for a in body["alerts"])
        everyone = ["bus-%04d" % n for n in range(1, count + 1)]
        self.assertEqual(named, [v for v in everyone if v != under_repair])
        self.assertEqual(body["alerts"][0]["annotations"]["summary"], "Vehicle %s is offline" % named[0])

        # Alertmanager has the silenced vehicle's alert, and holds it back by the silence.
        held = [a for a in self.stack.alertmanager_alerts()
                if a["labels"].get("vehicle") == under_repair and a["labels"]["alertname"] == "VovadudozVehicleOffline"]
        self.assertEqual([(a["status"]["state"], a["status"]["silencedBy"]) for a in held], [("suppressed", [silence])])
        for path, body in self.hook.received:
            self.assertNotIn(under_repair, [a["labels"].get("vehicle") for a in body["alerts"]], path)

    def killed_exporter(self, exporter):
        self.stack.start_emulator(20, heartbeat_sec=1)
        self.wait_vehicles(20)
        os.kill(self.stack.exporter_pid(exporter), signal.SIGKILL)
        fired = promstack.wait_for(lambda: self.stack.firing("VovadudozExporterDown", "exporter"), 30)
        self.assertEqual(fired, [exporter])
        sent = self.hook.wait("VovadudozExporterDown", 30)
        self.assertEqual([(p, [a["labels"]["exporter"] for a in b["alerts"]]) for p, b in sent],
                         [("control-room", [exporter])])

    def test_a_killed_status_exporter_is_one_alert_not_a_fleet_offline(self):
        self.killed_exporter("status")
        self.wait_until_offline_would_fire()
        self.assertEqual(self.stack.firing("VovadudozVehicleOffline"), [])
        self.assertEqual(self.hook.notifications("VovadudozVehicleOffline"), [])

    def test_a_killed_link_exporter_is_one_alert(self):
        self.killed_exporter("link")
        # The links leave Prometheus with their exporter; the statuses go on.
        self.assertTrue(promstack.wait_for(lambda: not self.stack.query("vovadudoz_vehicle_link_up"), 10))
        self.assertEqual(len(self.stack.query("time() - timestamp(vovadudoz_vehicle_in_service) < 2")), 20)
        self.assertEqual(self.stack.firing("VovadudozVehicleOffline"), [])

    def test_a_long_broker_outage_is_one_alert(self):
        self.stack.start_emulator(20, heartbeat_sec=1)
        self.wait_vehicles(20)
        self.stack.depot.stop()
        fired = promstack.wait_for(lambda: self.stack.firing("VovadudozBrokerUnreachable", "broker"), 30)
        self.assertEqual(fired, ["depot"])
        self.wait_until_offline_would_fire()
        # The exporters ran on through the outage, each of them disconnected.
        self.assertEqual(self.stack.query("count(mqtt2prometheus_connected == 0 and on (instance) up == 1)"), {None: 3.0})
        for alertname in ("VovadudozExporterDisconnected", "VovadudozExporterDown", "VovadudozVehicleOffline"):
            self.assertEqual(self.stack.firing(alertname, "instance"), [], alertname)
        sent = self.hook.wait("VovadudozBrokerUnreachable", 30)
        self.assertEqual([(p, len(b["alerts"])) for p, b in sent], [("control-room", 1)])

    def test_unreadable_values_alert_and_do_not_pass_for_offline(self):
        self.stack.start_emulator(5, heartbeat_sec=1)
        # Vehicles of our own that keep sending, each with something that reads as a number
        # to the exporter but no comparison can judge, or a status it refuses.
        good = '{"technician": false, "service": true, "uptimeSec": 60, "resultsShown": 1}'
        statuses = {
            "bus-nan": '{"technician": false, "service": "NaN", "uptimeSec": 60}',
            "bus-member": '{"technician": false, "service": true, "uptimeSec": [1]}',
            "bus-minus": good,
            "bus-future": good,
        }
        retained = [("bus-nan", "bridge", "1"), ("bus-member", "bridge", "1"), ("bus-minus", "bridge", "-1"),
                    ("bus-future", "bridge", "1"),
                    ("bus-future", "ui/diagnostics", '{"result": "pass", "timeSec": 9e18}')]
        client = mqtt.Client(client_id="test-unreadable-%d" % os.getpid())
        client.username_pw_set("emulator", self.stack.depot.passwords["emulator"])
        client.connect("127.0.0.1", self.stack.broker_port)
        client.loop_start()
        self.addCleanup(client.loop_stop)
        for vehicle, topic, payload in retained:
            client.publish("fleet/%s/%s" % (vehicle, topic), payload, qos=1, retain=True).wait_for_publish(5)
        stop = threading.Event()
        self.addCleanup(stop.set)

        def heartbeat():
            while not stop.wait(0.5):
                for vehicle, payload in statuses.items():
                    client.publish("fleet/%s/ui/status" % vehicle, payload, qos=1)
        threading.Thread(target=heartbeat, daemon=True).start()

        fired = promstack.wait_for(lambda: (lambda f: f if set(statuses) <= set(f) else None)(
            self.stack.firing("VovadudozVehicleUnreadable")), 30)
        self.assertEqual(fired, sorted(statuses))
        # Long after a refused status would have made a vehicle silent: none is offline.
        began = time.time()
        self.assertTrue(promstack.wait_for(lambda: self.stack.query(
            "vector(time()) - %f > %d" % (began, SILENCE_SEC + FOR_SEC + 2)), 30))
        self.assertEqual(set(self.stack.firing("VovadudozVehicleOffline")) & set(statuses), set())
        sent = self.hook.wait("VovadudozVehicleUnreadable", 30)
        self.assertEqual({p for p, _ in sent}, {"maintenance"})


if __name__ == "__main__":
    unittest.main()
