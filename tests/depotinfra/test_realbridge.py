"""A real vehicle at the depot: the program on its own broker, bridged with the shipped bridge
snippet to the central broker with the shipped depot settings."""

import json
import os
import shutil
import subprocess
import tempfile
import unittest

from support import Client, world_readable_dir

import depotbroker

APP = os.environ.get("VOVADUDOZ_APP", "")
VEHICLE = "bus-0042"


@unittest.skipUnless(os.access(APP, os.X_OK), "VOVADUDOZ_APP names no built program")
class RealBridge(unittest.TestCase):
    def test_status_crosses_and_link_drops(self):
        tmp = world_readable_dir(tempfile.mkdtemp(prefix="depotinfra-bridge."))
        self.addCleanup(shutil.rmtree, tmp, True)
        os.mkdir(os.path.join(tmp, "web"))
        depot = depotbroker.DepotBroker(web_dir=os.path.join(tmp, "web"), vehicles=[VEHICLE]).start()
        self.addCleanup(depot.stop)
        vehicle = depotbroker.VehicleBroker(VEHICLE, depot, os.path.join(tmp, "vehicle")).start()
        self.addCleanup(vehicle.stop)
        watcher = Client(depot.mqtt_port, "viewer", depot.passwords["viewer"], ["fleet/%s/#" % VEHICLE])
        self.addCleanup(watcher.close)
        self.assertTrue(watcher.wait_for(lambda c: c.last.get("fleet/%s/bridge" % VEHICLE) == b"1", 15),
                        "the bridge did not come up")

        run = os.path.join(tmp, "program")
        os.mkdir(run)
        with open(os.path.join(run, "serialnumber"), "w") as out:
            out.write("K20260042")
        with open(os.path.join(run, "gui.conf"), "w") as out:
            out.write("[gui]\ndeviceId=%s/serialnumber\n[log]\nstderr=true\nsyslog=false\n"
                      "[mqtt]\nhost=127.0.0.1\nport=%d\n" % (run, vehicle.port))
        with open(os.path.join(run, "gui.log"), "w") as log:
            program = subprocess.Popen([APP, "-f", os.path.join(run, "gui.conf")], cwd=run, stdout=log,
                                       stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.addCleanup(lambda: program.poll() is None and (program.kill(), program.wait()))

        def status(c):
            try:
                return json.loads(c.last.get("fleet/%s/ui/status" % VEHICLE, b"{}"))
            except ValueError:
                return {}
        crossed = watcher.wait_for(lambda c: status(c).get("service") is True, 60)
        with open(os.path.join(run, "gui.log")) as log:
            self.assertTrue(crossed, "no status from the program at the depot:\n" + log.read()[-3000:])
        self.assertIsInstance(status(watcher).get("uptimeSec"), (int, float))

        # A clean stop of the program reaches the depot; then the vehicle's broker goes.
        # (Its exit code is the sanitizers' business in this build, not this test's.)
        program.terminate()
        program.wait(timeout=30)
        self.assertTrue(watcher.wait_for(lambda c: status(c).get("service") is False, 10))
        vehicle.stop(kill=True)
        self.assertTrue(watcher.wait_for(lambda c: c.last.get("fleet/%s/bridge" % VEHICLE) == b"0", 15),
                        "the link topic stayed %r" % watcher.last.get("fleet/%s/bridge" % VEHICLE))


if __name__ == "__main__":
    unittest.main()
