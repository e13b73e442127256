"""The depot's metrics end to end: the central broker with the depot's configuration and logins,
the three exporters with the shipped configurations, and Prometheus with the shipped scrape job
and rules (their "for:" shortened), for two vehicles: the real program with the simulator
playing its services, bridged to the central broker by the shipped bridge snippet, and a plain
publisher standing for a second vehicle. Prometheus' own HTTP API is the judge."""

import json
import os
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import promstack  # noqa: E402

PROGRAM = os.environ.get("VOVADUDOZ_APP", "")
SIMULATOR = os.environ.get("VOVADUDOZ_SIM", "")
EVIDENCE = os.environ.get("VOVADUDOZ_PROM_EVIDENCE", "")
REAL, PLAIN = "bus-101", "bus-102"


class FleetMetrics(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not (os.access(PROGRAM, os.X_OK) and os.access(SIMULATOR, os.X_OK)):
            raise unittest.SkipTest("VOVADUDOZ_APP and VOVADUDOZ_SIM must name the built program and simulator")
        cls.stack = stack = promstack.Stack()
        try:
            cls.start(stack)
        except BaseException:
            cls.dump()
            stack.close()
            raise

    @classmethod
    def start(cls, stack):
        stack.start_broker(vehicles=[REAL, PLAIN])
        stack.start_exporters()
        stack.start_prometheus()

        # The real vehicle: its own broker bridged to the depot, the simulator, the program.
        cls.vehicle_port = stack.start_vehicle_broker(REAL)
        with open(stack.path("serialnumber"), "w") as f:
            f.write(REAL)
        with open(stack.path("gui.conf"), "w") as f:
            f.write("[gui]\ndeviceId=%s\n\n[log]\nsyslog=false\nstderr=true\n\n[mqtt]\nhost=127.0.0.1\nport=%d\n"
                    % (stack.path("serialnumber"), cls.vehicle_port))
        # The simulator stops at the end of its input: it gets a pipe that stays open.
        stack.spawn("simulator", [SIMULATOR, "-H", "127.0.0.1", "-P", str(cls.vehicle_port), "--step-ms", "10",
                                  "--network-status-ms", "3600000", "--no-prompt"], open_input=True)
        # The program keeps its event log beside itself: a copy runs in the temporary folder.
        program = stack.path("VovadudozAD")
        try:
            os.link(PROGRAM, program)
        except OSError:
            promstack.shutil.copy2(PROGRAM, program)
        environment = dict(os.environ, QT_QPA_PLATFORM="offscreen", QT_QUICK_BACKEND="software")
        stack.spawn("program", [program, "-f", stack.path("gui.conf")], env=environment)

        # The second vehicle, logged in under its id as its bridge would be: its link and
        # status as a bridge leaves them, and the link's last will on its own connection.
        topic = "fleet/%s/" % PLAIN
        login = stack.login(PLAIN)
        subprocess.run(["mosquitto_pub"] + login + ["-r", "-t", topic + "bridge", "-m", "1"], check=True)
        subprocess.run(["mosquitto_pub"] + login + ["-r", "-t", topic + "ui/diagnostics", "-m",
                        '{"deviceId": "%s", "time": "2026-12-01T08:00:00Z", "timeSec": 1796112000, "result": "fail", '
                        '"values": {"rtc": "OK", "leds": "ERROR"}}' % PLAIN], check=True)
        cls.plain = stack.spawn("plain-vehicle", ["mosquitto_pub"] + login + ["-r", "-l", "-q", "1",
                                                  "-t", topic + "ui/status", "--will-topic", topic + "bridge",
                                                  "--will-payload", "0", "--will-retain", "--will-qos", "1"],
                                open_input=True)
        cls.plain_input = cls.plain.popen.stdin
        cls.plain_input.write(b'{"technician": false, "service": true, "screen": "ScanScreens", "uptimeSec": 60, '
                              b'"resultsShown": 7, "display": {"resultFrameMsP50": 11.5, "resultFrameMsP99": 30.25}}\n')
        cls.plain_input.flush()

    @classmethod
    def dump(cls):
        for name in ("program", "simulator", "vehicle-%s/mosquitto" % REAL, "depot/mosquitto", "exporter-status",
                     "exporter-link", "prometheus"):
            sys.stderr.write("----- %s\n%s\n" % (name, cls.stack.log(name)[-3000:]))

    @classmethod
    def tearDownClass(cls):
        cls.stack.close()

    def tearDown(self):
        result = self._outcome.result
        if any(test is self for test, _ in result.failures + result.errors):
            self.dump()

    def tap(self):
        """A valid card on the real vehicle, once its program has switched the reader on."""
        def tapped():
            answer = subprocess.run(["mosquitto_rr", "-p", str(self.vehicle_port), "-t", "orvo/sim/command",
                                     "-e", "orvo/sim/command/reply", "-m", "tap valid", "-W", "3"],
                                    capture_output=True, text=True)
            return answer.returncode == 0 and not answer.stdout.startswith("error")
        self.assertTrue(promstack.wait_for(tapped, 30, 0.5), "the simulator's reader never took a card")

    def results(self):
        return self.stack.query('vovadudoz_vehicle_results_shown_total{vehicle="%s"}' % REAL).get(REAL)

    def test_1_scans_move_the_results_metric(self):
        # Every vehicle, under its own label and no other, as Prometheus reports it.
        got = promstack.wait_for(lambda: (lambda q: q if {REAL, PLAIN} <= set(q) else None)(
            self.stack.query("vovadudoz_vehicle_in_service")), 60)
        self.assertEqual(got, {REAL: 1.0, PLAIN: 1.0})
        # (The exporter's message counts say their outcome too.)
        series = self.stack.api("series", **{"match[]": '{__name__=~"vovadudoz_vehicle_.*", '
                                             '__name__!="vovadudoz_vehicle_messages_total"}'})
        self.assertEqual({tuple(sorted(set(s) - {"__name__", "job", "instance", "exporter", "broker"})) for s in series},
                         {("vehicle",)}, series)
        self.assertEqual(self.stack.query("vovadudoz_vehicle_result_frame_p99_seconds")[PLAIN], 0.03025)
        links = promstack.wait_for(lambda: (lambda q: q if len(q) == 2 else None)(
            self.stack.query("vovadudoz_vehicle_link_up")), 10)
        self.assertEqual(links, {REAL: 1.0, PLAIN: 1.0})

        self.assertTrue(promstack.wait_for(lambda: self.results() is not None, 20), "no results metric for the program")
        before = self.results()
        for n in range(1, 4):
            self.tap()
            moved = promstack.wait_for(lambda: (self.results() or 0) >= before + n, 15)
            self.assertTrue(moved, "after %d scans Prometheus still reports %s results (%s before)"
                            % (n, self.results(), before))
        # The last self-test: its verdict, a string, as a number, and its own time.
        self.assertEqual(promstack.wait_for(lambda: self.stack.query("vovadudoz_vehicle_selftest_passed"), 10), {PLAIN: 0.0})
        self.assertEqual(self.stack.query("vovadudoz_vehicle_selftest_timestamp_seconds"), {PLAIN: 1796112000.0})
        # What a vehicle sends is not trusted: a message the exporter cannot read leaves the
        # last good values in place, and the exporter serving.
        for bad in (b"not json", b'{"service": "yes", "uptimeSec": [1]}', b"{" * 100000):
            self.plain_input.write(bad + b"\n")
        self.plain_input.write(b'{"service": true, "uptimeSec": 61}\n')
        self.plain_input.flush()
        self.assertTrue(promstack.wait_for(
            lambda: self.stack.query("vovadudoz_vehicle_uptime_seconds").get(PLAIN) == 61, 15))
        self.assertEqual(self.stack.query("vovadudoz_vehicle_in_service").get(PLAIN), 1.0)
        self.assertEqual(self.stack.query("vovadudoz_vehicle_results_shown_total").get(PLAIN), 7.0)
        # The real program's tap to glass arrives too, in seconds.
        p99 = self.stack.query("vovadudoz_vehicle_result_frame_p99_seconds").get(REAL)
        self.assertIsNotNone(p99)
        self.assertTrue(0 < p99 < 10, p99)
        if EVIDENCE:
            self.write_evidence_scrape()

    def test_2_a_stopped_vehicle_fires_offline(self):
        self.assertEqual(self.stack.firing("VovadudozVehicleOffline"), [])
        # The publisher dies without a word: the central broker sends its will, link "0".
        self.plain.signal(signal.SIGKILL)
        self.plain.wait()
        fired = promstack.wait_for(lambda: self.stack.firing("VovadudozVehicleOffline"), 30)
        self.assertEqual(fired, [PLAIN])
        self.assertEqual(self.stack.query("vovadudoz_vehicle_link_up"), {REAL: 1.0, PLAIN: 0.0})
        self.assertEqual(self.stack.firing("VovadudozSelfTestFailed"), [PLAIN])
        # The real vehicle, idle since its scans, stays online.
        self.assertEqual(self.stack.query('ALERTS{alertname="VovadudozVehicleOffline",vehicle="%s"}' % REAL), {})
        if EVIDENCE:
            self.write_evidence_alerts()

    def write_evidence_scrape(self):
        with open(EVIDENCE, "w") as f:
            f.write("# The status exporter's page, as Prometheus scraped it\n")
            f.write(promstack.http_get("http://127.0.0.1:%d/metrics" % self.stack.exporter_ports["status"]).decode())
            f.write("\n# Prometheus' HTTP API: /api/v1/query?query={__name__=~\"vovadudoz_.*\"} (one result a line)\n")
            answer = self.stack.api("query", query='{__name__=~"vovadudoz_.*"}')
            f.write("".join(json.dumps(r) + "\n" for r in answer["result"]))

    def write_evidence_alerts(self):
        with open(EVIDENCE, "a") as f:
            f.write("\n# Prometheus' HTTP API: /api/v1/alerts (one alert a line)\n")
            f.write("".join(json.dumps(a) + "\n" for a in self.stack.api("alerts")["alerts"]))


if __name__ == "__main__":
    unittest.main()
