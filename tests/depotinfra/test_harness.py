"""The depot harness itself: a broker from a private checkout, waits that see a dead process at
once, and stops that leave nothing behind."""

import os
import shutil
import sys
import tempfile
import unittest
import urllib.request

from support import ROOT, Client, harness


class PrivateCheckout(unittest.TestCase):
    """A checkout inside a folder only its owner may enter (mktemp -d, root's home): mosquitto
    started by root becomes "mosquitto" and must still read the access list, the passwords and
    the page, and the page must be served."""

    def test_broker_from_a_private_folder(self):
        private = tempfile.mkdtemp(prefix="depotinfra-private.")
        self.addCleanup(shutil.rmtree, private, True)
        self.assertEqual(os.stat(private).st_mode & 0o777, 0o700)
        checkout = os.path.join(private, "checkout")
        shutil.copytree(os.path.join(ROOT, "packaging", "depot"), os.path.join(checkout, "depot"),
                        ignore=shutil.ignore_patterns("prometheus", "debian"))
        os.makedirs(os.path.join(checkout, "web"))
        with open(os.path.join(checkout, "web", "index.html"), "w") as out:
            out.write("<!doctype html><title>private</title>\n")
        with open(os.path.join(checkout, "web", "worker.js"), "w") as out:
            out.write("onmessage = function () {};\n")
        os.chmod(os.path.join(checkout, "web"), 0o700)
        depot = os.path.join(checkout, "depot")
        broker = harness.DepotBroker(web_dir=os.path.join(checkout, "web"), run_dir=os.path.join(private, "run"),
                                     conf=os.path.join(depot, "vovadudozad-depot.conf"),
                                     acl=os.path.join(depot, "depot.acl"),
                                     front_unit=os.path.join(depot, "vovadudozad-depot-front.service"), persist=True)
        broker.start()
        self.addCleanup(broker.stop)
        self.assertIn(b"private", harness.http_get(broker.url + "index.html"))
        # With its type: a browser refuses a worker script served without one.
        with urllib.request.urlopen(broker.url + "worker.js", timeout=10) as answer:
            self.assertRegex(answer.headers.get("Content-Type", ""), r"^(text|application)/javascript")
        # The access list is read: the viewer sees what a vehicle retained, and cannot write.
        vehicle = Client(broker.mqtt_port, "emulator", broker.passwords["emulator"])
        self.addCleanup(vehicle.close)
        vehicle.publish("fleet/bus-0001/bridge", b"1", retain=True)
        viewer = Client(broker.ws_port, "viewer", broker.passwords["viewer"], ["fleet/#"], transport="websockets")
        self.addCleanup(viewer.close)
        self.assertTrue(viewer.wait_for(lambda c: c.last.get("fleet/bus-0001/bridge") == b"1"),
                        harness.read_log(broker.log_file))
        # The store is written and read back across a restart.
        broker.restart()
        again = Client(broker.mqtt_port, "viewer", broker.passwords["viewer"], ["fleet/#"])
        self.addCleanup(again.close)
        self.assertTrue(again.wait_for(lambda c: c.last.get("fleet/bus-0001/bridge") == b"1"),
                        harness.read_log(broker.log_file))


class Processes(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="depotinfra-processes.")
        self.addCleanup(shutil.rmtree, self.tmp, True)

    def test_stop_ends_the_whole_group(self):
        # A program that starts a child and ignores SIGTERM: stop() must still leave nothing.
        script = ("import os, signal, subprocess, sys, time\n"
                  "signal.signal(signal.SIGTERM, signal.SIG_IGN)\n"
                  "child = subprocess.Popen([sys.executable, '-c', 'import time; time.sleep(600)'])\n"
                  "print('child', child.pid, flush=True)\n"
                  "time.sleep(600)\n")
        process = harness.Process("stubborn", [sys.executable, "-c", script], os.path.join(self.tmp, "log"))
        child = int(process.wait_line(r"^child (\d+)").group(1))
        process.stop(timeout=1.0)
        self.assertIsNotNone(process.poll())
        harness.wait_until(lambda: not os.path.exists("/proc/%d" % child) or _zombie(child), 10, "the child to end")

    def test_wait_ends_when_the_process_dies(self):
        process = harness.Process("dies", [sys.executable, "-c", "print('bad config'); raise SystemExit(3)"],
                                  os.path.join(self.tmp, "log"))
        with self.assertRaises(harness.NotReady) as raised:
            process.wait_port(harness.free_port(), timeout=600)
        self.assertIn("bad config", str(raised.exception))


def _zombie(pid):
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] == "Z"
    except OSError:
        return True


if __name__ == "__main__":
    unittest.main()
