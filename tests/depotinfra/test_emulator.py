"""The vehicle emulator as a vehicle: it acts only on requests sent now, not on one left retained
on the broker, and its self-test carries the names the page and the rules share."""

import json
import os
import random
import shutil
import tempfile
import unittest

from support import ROOT, Client, harness

import vehicle_emulator

VEHICLE = "bus-0001"


class Emulator(unittest.TestCase):
    def test_retained_request_is_not_answered(self):
        tmp = tempfile.mkdtemp(prefix="depotinfra-emulator.")
        self.addCleanup(shutil.rmtree, tmp, True)
        broker = harness.DepotBroker(run_dir=os.path.join(tmp, "depot")).start()
        self.addCleanup(broker.stop)
        request = "fleet/%s/ui/screenshot/get" % VEHICLE
        # However it got there, a request is on the broker's retained store before the vehicle starts.
        leaver = Client(broker.mqtt_port, "emulator", broker.passwords["emulator"])
        self.addCleanup(leaver.close)
        leaver.publish(request, b"{}", retain=True)
        watcher = Client(broker.mqtt_port, "viewer", broker.passwords["viewer"], ["fleet/%s/ui/screenshot" % VEHICLE])
        self.addCleanup(watcher.close)
        watcher.wait_connack()

        emulator = harness.Emulator(broker, 1, log=os.path.join(tmp, "emulator.log"))
        self.addCleanup(emulator.stop)
        emulator.wait_line(r"ignoring a retained request on %s" % request)
        # A request sent now is answered with a picture; had the retained one been taken, this
        # one would have come within 2 s of it and been refused.
        leaver.publish(request, b"{}")
        self.assertTrue(watcher.wait_for(lambda c: c.received), emulator.output())
        emulator.stop()
        answers = [payload[:8] for _, payload, _ in watcher.received]
        self.assertEqual(answers, [vehicle_emulator.PNG_SIGNATURE], [p[:40] for _, p, _ in watcher.received])

    def test_self_test_names_are_the_shared_ones(self):
        with open(os.path.join(ROOT, "depot", "web", "facts.json")) as facts:
            facts = json.load(facts)
        vehicle = vehicle_emulator.Vehicle(VEHICLE, 11, random.Random(1))
        self.assertEqual(list(vehicle.diagnostics()["values"]), facts["selfTestNames"])
        self.assertEqual(vehicle_emulator.parse_args([]).heartbeat_sec, facts["heartbeatSec"])


if __name__ == "__main__":
    unittest.main()
