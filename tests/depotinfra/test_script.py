"""scripts/depot as a person runs it: one real vehicle and a few emulated ones reach the depot
broker, the page is served, and Ctrl-C leaves nothing running."""

import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import unittest
import urllib.request

from support import ROOT, Client, wait_until

BUILD = os.environ.get("VOVADUDOZ_BUILD_DIR", "")


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
        script = subprocess.Popen([os.path.join(ROOT, "scripts", "depot"), "--real", "1", "--emulated", "3",
                                   "--run-dir", run_dir, "--no-build"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT, text=True)
        self.addCleanup(lambda: script.poll() is None and (script.kill(), script.wait()))
        lines = []
        ready = threading.Event()

        def read():
            for line in script.stdout:
                lines.append(line)
                if line.startswith("Ctrl-C stops everything"):
                    ready.set()
        reader = threading.Thread(target=read, daemon=True)
        reader.start()
        self.assertTrue(ready.wait(90), "".join(lines))
        text = "".join(lines)
        url = re.search(r"Depot page +: (\S+)", text).group(1)
        port = int(re.search(r"mqtt://127\.0\.0\.1:(\d+)", text).group(1))
        self.assertIn("operator / operator", text)

        with urllib.request.urlopen(url + "index.html", timeout=5) as page:
            self.assertEqual(page.status, 200)
        viewer = Client(port, "viewer", "viewer", ["fleet/+/bridge", "fleet/tram-01/ui/status"])
        self.addCleanup(viewer.close)
        links = lambda c: {t.split("/")[1]: p for t, p in c.last.items() if t.endswith("/bridge")}  # noqa: E731
        fleet = {"tram-01", "bus-0001", "bus-0002", "bus-0003"}

        def real_status(c):
            try:
                return json.loads(c.last.get("fleet/tram-01/ui/status", b"{}"))
            except ValueError:
                return {}
        self.assertTrue(viewer.wait_for(lambda c: set(links(c)) == fleet and set(links(c).values()) == {b"1"}
                                        and real_status(c).get("service") is True, 60),
                        "%r %r" % (links(viewer), real_status(viewer)))

        script.send_signal(signal.SIGINT)
        self.assertEqual(script.wait(timeout=60), 0)
        reader.join(5)
        self.assertIn("Stopped.", "".join(lines))
        # The links went down before the broker did, and nothing of the run is left.
        self.assertTrue(wait_until(lambda: processes_naming(run_dir) == [], 5), processes_naming(run_dir))
        self.assertEqual(set(links(viewer).values()), {b"0"}, links(viewer))


if __name__ == "__main__":
    unittest.main()
