"""The depot's Debian package as cpack makes it from this build, and its users' set-up."""

import os
import re
import shutil
import stat
import subprocess
import tempfile
import unittest

from support import ROOT, mqtt, wait_until, world_readable_dir

import depotbroker

CPACK_CONFIG = os.environ.get("DEPOT_CPACK_CONFIG", "")
DEPOT_USERS = os.path.join(ROOT, "packaging", "depot", "depot-users")
SHARE = "usr/share/vovadudozad-depot"
PROMETHEUS = os.path.join(ROOT, "packaging", "depot", "prometheus")
UNIT = "vovadudoz-fleet-exporter@.service"


def files_under(folder):
    """Relative paths of the files under folder, leaving out dot files (the fetch stamp)."""
    found = set()
    for parent, dirs, files in os.walk(folder):
        dirs[:] = [d for d in dirs if not d.startswith(".")]
        for name in files:
            if not name.startswith("."):
                found.add(os.path.relpath(os.path.join(parent, name), folder))
    return found


@unittest.skipUnless(os.path.exists(CPACK_CONFIG), "DEPOT_CPACK_CONFIG names no CPack configuration")
class DepotPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="depotinfra-package.")
        made = subprocess.run(["cpack", "--config", CPACK_CONFIG, "-B", cls.tmp], capture_output=True, text=True)
        debs = [name for name in os.listdir(cls.tmp) if name.endswith(".deb")]
        if made.returncode != 0 or len(debs) != 1:
            shutil.rmtree(cls.tmp, True)
            raise AssertionError("cpack failed:\n" + made.stdout + made.stderr)
        cls.deb = os.path.join(cls.tmp, debs[0])
        cls.root = os.path.join(cls.tmp, "root")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)
        cls.control = os.path.join(cls.tmp, "control")
        subprocess.run(["dpkg-deb", "-e", cls.deb, cls.control], check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, True)

    def field(self, name):
        return subprocess.run(["dpkg-deb", "-f", self.deb, name], capture_output=True, text=True).stdout.strip()

    def test_control(self):
        self.assertEqual(self.field("Package"), "vovadudozad-depot")
        self.assertEqual(self.field("Architecture"), "all")
        self.assertIn("mosquitto", self.field("Depends"))
        self.assertTrue(os.path.basename(self.deb).endswith("_all.deb"))
        with open(os.path.join(self.control, "conffiles")) as conffiles:
            self.assertEqual(set(conffiles.read().split()), {"/etc/mosquitto/conf.d/vovadudozad-depot.conf",
                                                            "/etc/mosquitto/vovadudozad-depot.acl"})
        for name in ("postinst", "postrm"):
            self.assertTrue(os.stat(os.path.join(self.control, name)).st_mode & stat.S_IXUSR, name)

    def test_contents(self):
        shipped = lambda *parts: os.path.join(self.root, *parts)  # noqa: E731
        for source, installed in (("vovadudozad-depot.conf", "etc/mosquitto/conf.d/vovadudozad-depot.conf"),
                                  ("depot.acl", "etc/mosquitto/vovadudozad-depot.acl")):
            with open(os.path.join(ROOT, "packaging", "depot", source)) as a, open(shipped(installed)) as b:
                self.assertEqual(a.read(), b.read(), installed)
        users = shipped("usr/libexec/vovadudozad-depot/depot-users")
        self.assertTrue(os.stat(users).st_mode & stat.S_IXOTH)
        for name in ("copyright", "changelog.gz", "README.md"):
            self.assertTrue(os.path.isfile(shipped("usr/share/doc/vovadudozad-depot", name)), name)
        # Every file of the page (with its library, once fetched) and of the Prometheus folder
        # but the exporters' unit, which is where systemd finds a package's units.
        web = os.path.join(ROOT, "depot", "web")
        if os.path.isdir(web):
            self.assertEqual(files_under(shipped(SHARE, "web")), files_under(web))
        self.assertEqual(files_under(shipped(SHARE, "prometheus")), files_under(PROMETHEUS) - {UNIT})
        with open(os.path.join(PROMETHEUS, UNIT)) as a, open(shipped("lib/systemd/system", UNIT)) as b:
            self.assertEqual(a.read(), b.read())
        self.assertEqual(stat.S_IMODE(os.stat(shipped("lib/systemd/system", UNIT)).st_mode), 0o644)
        # Each instance's configuration and port, where the unit reads them.
        with open(shipped("lib/systemd/system", UNIT)) as unit:
            paths = set(re.findall(r"/usr/share/\S+?-%i\.\w+", unit.read()))
        self.assertEqual(len(paths), 2, paths)
        for instance in ("status", "selftest", "link"):
            for path in paths:
                self.assertTrue(os.path.isfile(shipped(path.replace("%i", instance).lstrip("/"))), path)
        # Only the depot's files: nothing of the program's package.
        self.assertFalse(os.path.exists(shipped("opt")))
        self.assertFalse(os.path.exists(shipped("etc/mosquitto/conf.d/vovadudozad.conf")))


class DepotUsers(unittest.TestCase):
    def setUp(self):
        self.root = world_readable_dir(tempfile.mkdtemp(prefix="depotinfra-users."))
        self.addCleanup(shutil.rmtree, self.root, True)
        self.passwd = os.path.join(self.root, "etc/mosquitto/vovadudozad-depot.passwd")

    def users(self, *args):
        # mosquitto_passwd is the real one behind a wrapper that notes the arguments it was given.
        wrapper = os.path.join(self.root, "bin", "mosquitto_passwd")
        if not os.path.exists(wrapper):
            os.makedirs(os.path.dirname(wrapper))
            with open(wrapper, "w") as out:
                out.write('#!/bin/sh\nprintf "%%s\\n" "$*" >> %s/argv.log\nexec %s "$@"\n'
                          % (self.root, shutil.which("mosquitto_passwd")))
            os.chmod(wrapper, 0o755)
        env = dict(os.environ, ROOT=self.root, PATH=os.path.dirname(wrapper) + os.pathsep + os.environ["PATH"])
        return subprocess.run([DEPOT_USERS] + list(args), env=env, capture_output=True, text=True)

    def password(self, user):
        with open(os.path.join(self.root, "etc/vovadudozad-depot/users", user)) as kept:
            return kept.read().strip()

    def login(self, user, password):
        """Whether mosquitto with the made password file lets user in."""
        # mosquitto started by root reads the file as its own user (the package gives it the group).
        for path in (os.path.join(self.root, "etc"), os.path.dirname(self.passwd)):
            os.chmod(path, 0o755)
        os.chmod(self.passwd, 0o644)
        port = depotbroker.free_port()
        conf = os.path.join(self.root, "mosquitto.conf")
        with open(conf, "w") as out:
            out.write("listener %d 127.0.0.1\nallow_anonymous false\npassword_file %s\n" % (port, self.passwd))
        broker = subprocess.Popen([depotbroker.find_mosquitto(), "-c", conf], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        try:
            wait_until(lambda: depotbroker.port_open("127.0.0.1", port))
            client = mqtt.Client()
            client.username_pw_set(user, password)
            answers = []
            client.on_connect = lambda c, u, f, rc: answers.append(rc)
            client.connect("127.0.0.1", port)
            for _ in range(30):
                if answers:
                    break
                client.loop(timeout=0.1)
            return answers == [0]
        finally:
            broker.terminate()
            broker.wait()

    def test_users_made_once_and_kept(self):
        self.assertEqual(self.users().returncode, 0)
        with open(self.passwd) as made:
            first = made.read()
        self.assertEqual(sorted(line.split(":")[0] for line in first.splitlines()),
                         ["depot-tool", "exporter", "operator", "viewer"])
        self.assertEqual(stat.S_IMODE(os.stat(os.path.join(self.root, "etc/vovadudozad-depot/users/operator")).st_mode),
                         0o600)
        again = self.users("--vehicle", "bus-0007")
        self.assertEqual(again.returncode, 0)
        self.assertEqual(again.stdout, "bus-0007 %s\n" % self.password("bus-0007"))
        with open(self.passwd) as made:
            self.assertEqual(made.read().splitlines()[:4], first.splitlines(), "existing users keep their passwords")
        self.assertTrue(self.login("bus-0007", self.password("bus-0007")))
        self.assertTrue(self.login("viewer", self.password("viewer")))
        # No password in an argument list (which every user reads in /proc/<pid>/cmdline).
        with open(os.path.join(self.root, "argv.log")) as log:
            arguments = log.read()
        self.assertEqual(len(arguments.splitlines()), 5, arguments)
        for user in ("operator", "viewer", "depot-tool", "exporter", "bus-0007"):
            self.assertNotIn(self.password(user), arguments, user)

    def test_bad_names_and_new_password(self):
        self.users()
        with open(self.passwd) as made:
            before = made.read()
        for bad in ("viewer", "../x", "a+b", "x" * 65, "bus 7", "bus\t7", "bus\n7", ""):
            refused = self.users("--vehicle", bad)
            self.assertEqual(refused.returncode, 2, bad)
        with open(self.passwd) as made:
            self.assertEqual(made.read(), before)
        self.assertEqual(self.users("--vehicle", "bus-0001", "bus 7").returncode, 2, "checked before any is made")
        with open(self.passwd) as made:
            self.assertEqual(made.read(), before)
        old = self.password("operator")
        renewed = self.users("--password", "operator")
        self.assertEqual(renewed.returncode, 0)
        self.assertNotEqual(self.password("operator"), old)
        self.assertFalse(self.login("operator", old))
        self.assertTrue(self.login("operator", self.password("operator")))


if __name__ == "__main__":
    unittest.main()
