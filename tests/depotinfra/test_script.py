"""scripts/depot as a person runs it: one real vehicle and a few emulated ones reach the depot
broker, the page is served, and Ctrl-C leaves nothing running."""

import os
import re
import shutil
import signal
import tempfile
import unittest

from support import ROOT, Client, harness, wait_until

BUILD = os.environ.get("VOVADUDOZ_BUILD_DIR", "")
# The script prints its banner once every vehicle is up; on a loaded machine building the
# fleet takes long, so this only bounds how long a broken start takes to fail.
READY_SEC = 270


def processes_naming(text):
    """Pids of processes whose command line mentions text."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as cmdline:
                if text.encode() in cmdline.read():
                    found.append(int(pid))
        except OSError:
            pass
    return found


@unittest.skipUnless(os.access(os.path.join(BUILD, "src", "VovadudozAD"), os.X_OK)
                     and os.path.isfile(os.path.join(ROOT, "depot", "web", "index.html")),
                     "needs VOVADUDOZ_BUILD_DIR with the built program, and the page in depot/web")
class DepotScript(unittest.TestCase):
    def test_run_and_stop(self):
        run_dir = tempfile.mkdtemp(prefix="depotinfra-script.")
        self.addCleanup(shutil.rmtree, run_dir, True)
        script = harness.Process("scripts/depot", [os.path.join(ROOT, "scripts", "depot"), "--real", "1",
                                                   "--emulated", "3", "--run-dir", run_dir, "--no-build"],
                                 os.path.join(run_dir, "script.log"))
        self.addCleanup(script.stop, True)
        script.wait_line(r"^Ctrl-C stops everything", READY_SEC)
        text = script.output(None)
        url = re.search(r"Depot page +: (\S+)", text).group(1)
        port = int(re.search(r"mqtt://127\.0\.0\.1:(\d+)", text).group(1))
        self.assertIn("operator / operator", text)

        self.assertIn(b"<html", harness.http_get(url + "index.html").lower())
        viewer = Client(port, "viewer", "viewer", ["fleet/+/bridge", "fleet/tram-01/ui/status"])
        self.addCleanup(viewer.close)
        links = lambda c: {t.split("/")[1]: p for t, p in c.last.items() if t.endswith("/bridge")}  # noqa: E731
        fleet = {"tram-01", "bus-0001", "bus-0002", "bus-0003"}
        # The banner comes once all of this holds: the retained messages show it at once.
        self.assertTrue(viewer.wait_for(lambda c: set(links(c)) == fleet and set(links(c).values()) == {b"1"}
                                        and c.json("fleet/tram-01/ui/status").get("service") is True, 30),
                        "%r %r" % (links(viewer), viewer.last.get("fleet/tram-01/ui/status")))

        script.signal(signal.SIGINT)
        self.assertEqual(script.wait(timeout=120), 0, script.output())
        self.assertIn("Stopped.", script.output())
        # The links went down before the broker did, and nothing of the run is left.
        self.assertTrue(wait_until(lambda: processes_naming(run_dir) == [], 30), processes_naming(run_dir))
        self.assertEqual(set(links(viewer).values()), {b"0"}, links(viewer))


if __name__ == "__main__":
    unittest.main()
