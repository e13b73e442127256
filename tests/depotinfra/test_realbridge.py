"""A real vehicle at the depot: the program on its own broker, bridged with the shipped bridge
snippet to the central broker with the shipped depot settings."""

import os
import shutil
import tempfile
import unittest

from support import Client, harness

APP = os.environ.get("VOVADUDOZ_APP", "")
VEHICLE = "bus-0042"


@unittest.skipUnless(os.access(APP, os.X_OK), "VOVADUDOZ_APP names no built program")
class RealBridge(unittest.TestCase):
    def test_status_crosses_and_link_drops(self):
        tmp = tempfile.mkdtemp(prefix="depotinfra-bridge.")
        self.addCleanup(shutil.rmtree, tmp, True)
        depot = harness.DepotBroker(vehicles=[VEHICLE], run_dir=os.path.join(tmp, "depot")).start()
        self.addCleanup(depot.stop)
        watcher = Client(depot.mqtt_port, "viewer", depot.passwords["viewer"], ["fleet/%s/#" % VEHICLE])
        self.addCleanup(watcher.close)
        vehicle = harness.RealVehicle(VEHICLE, depot, os.path.join(tmp, "vehicle"), APP, serial="K20260042")
        self.addCleanup(vehicle.stop, True)
        vehicle.wait_linked()

        status = "fleet/%s/ui/status" % VEHICLE
        self.assertTrue(watcher.wait_for(lambda c: c.json(status).get("service") is True),
                        "no status from the program at the depot:\n" + vehicle.program.output())
        self.assertIsInstance(watcher.json(status).get("uptimeSec"), (int, float))

        # A clean stop of the program reaches the depot; then the vehicle's broker goes, as at
        # a power cut. (The program's exit code is the sanitizers' business in this build.)
        vehicle.program.stop(timeout=30)
        self.assertTrue(watcher.wait_for(lambda c: c.json(status).get("service") is False))
        vehicle.broker.stop(kill=True)
        self.assertTrue(watcher.wait_for(lambda c: c.last.get("fleet/%s/bridge" % VEHICLE) == b"0"),
                        "the link topic stayed %r" % watcher.last.get("fleet/%s/bridge" % VEHICLE))


if __name__ == "__main__":
    unittest.main()
