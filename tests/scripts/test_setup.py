"""scripts/setup's decisions, against a stand-in dpkg, dpkg-query and apt-get on PATH.

What is installed comes from a table; apt-get and dpkg --add-architecture only record their
arguments, so nothing on the machine changes."""

import os
import shutil
import stat
import subprocess
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SETUP = os.path.join(ROOT, "scripts", "setup")

# Each stand-in reads $FAKE (a folder): installed (lines "name arch"), foreign (architectures)
# and appends what it was asked to do to calls.
STUBS = {
    "dpkg": """#!/bin/sh
case "$1" in
  --print-architecture) echo amd64 ;;
  --print-foreign-architectures) cat "$FAKE/foreign" 2>/dev/null ;;
  --add-architecture) echo "add-architecture $2" >>"$FAKE/calls" ;;
esac
""",
    "dpkg-query": """#!/bin/sh
# dpkg-query -W -f=FORMAT NAME: one line per installed architecture of NAME.
name=$3
found=1
while read -r pkg arch; do
  if [ "$pkg" = "${name%%:*}" ] && { [ "$name" = "$pkg" ] || [ "$name" = "$pkg:$arch" ]; }; then
    printf 'install ok installed %s\\n' "$arch"; found=0
  fi
done <"$FAKE/installed"
exit $found
""",
    "apt-get": """#!/bin/sh
echo "apt-get $*" >>"$FAKE/calls"
""",
    "id": "#!/bin/sh\necho 0\n",
    "npm": "#!/bin/sh\n",
}


def native_packages():
    """The native list, read from the script itself, so the test follows it."""
    listing = subprocess.run(["bash", "-c", 'source <(sed -n "/^PACKAGES=(/,/^)/p" "$0"); printf "%s\\n" "${PACKAGES[@]}"',
                              SETUP], capture_output=True, text=True, check=True)
    return listing.stdout.split()


class Setup(unittest.TestCase):
    def setUp(self):
        self.fake = tempfile.mkdtemp(prefix="setup-test.")
        self.addCleanup(shutil.rmtree, self.fake)
        bin_dir = os.path.join(self.fake, "bin")
        os.mkdir(bin_dir)
        for name, text in STUBS.items():
            path = os.path.join(bin_dir, name)
            with open(path, "w") as stub:
                stub.write(text)
            os.chmod(path, stat.S_IRWXU)
        self.env = dict(os.environ, FAKE=self.fake, PATH=bin_dir + ":" + os.environ["PATH"])
        self.native = native_packages()

    def run_setup(self, installed, *args, foreign=""):
        with open(os.path.join(self.fake, "installed"), "w") as table:
            table.writelines(f"{name} {arch}\n" for name, arch in installed)
        with open(os.path.join(self.fake, "foreign"), "w") as out:
            out.write(foreign)
        done = subprocess.run([SETUP, *args], env=self.env, capture_output=True, text=True)
        calls_file = os.path.join(self.fake, "calls")
        calls = open(calls_file).read().splitlines() if os.path.exists(calls_file) else []
        installs = [c.split()[2:] for c in calls if c.startswith("apt-get") and " install " in c]
        wanted = [p for words in installs for p in words if not p.startswith("-")]
        return done, calls, wanted

    def test_native_packages_count_only_for_the_native_architecture(self):
        # (what is installed, what setup must ask for)
        cases = [
            ("everything native", [(p, "amd64") for p in self.native], []),
            # An arch-independent package is installed for every architecture.
            ("some are arch-all", [(p, "all" if p.startswith("fonts-") else "amd64") for p in self.native], []),
            # The target's libzbar-dev replaced the native one: the native build needs it back.
            ("zbar only for arm64", [(p, "arm64" if p == "libzbar-dev" else "amd64") for p in self.native],
             ["libzbar-dev"]),
        ]
        for label, installed, expected in cases:
            with self.subTest(label):
                done, _, wanted = self.run_setup(installed)
                self.assertEqual(done.returncode, 0, done.stderr)
                self.assertEqual(wanted, expected)
                os.path.exists(os.path.join(self.fake, "calls")) and os.remove(os.path.join(self.fake, "calls"))

    def test_a_cross_set_up_adds_the_target_side_and_no_native_replacement(self):
        native = [(p, "amd64") for p in self.native]
        for arch in ("arm64", "armhf"):
            with self.subTest(arch):
                done, calls, wanted = self.run_setup(native, "--arch", arch)
                self.assertEqual(done.returncode, 0, done.stderr)
                self.assertIn(f"add-architecture {arch}", calls)
                self.assertIn(f"crossbuild-essential-{arch}", wanted)
                self.assertIn("qemu-user-static", wanted)
                for lib in ("qtdeclarative5-dev", "libmosquitto-dev", "libqrcodegencpp-dev", "libsystemd-dev"):
                    self.assertIn(f"{lib}:{arch}", wanted)
                # Not Multi-Arch: same: it would remove the native one.
                self.assertNotIn(f"libzbar-dev:{arch}", wanted)
                self.assertFalse([p for p in wanted if p.endswith(":amd64")])
                os.remove(os.path.join(self.fake, "calls"))
        # A second run on a set-up machine asks for nothing and adds no architecture again.
        target = [(p, "arm64") for p in self.target_packages("arm64")]
        cross = [("crossbuild-essential-arm64", "amd64"), ("qemu-user-static", "amd64"), ("python3-seccomp", "amd64")]
        done, calls, _ = self.run_setup(native + target + cross, "--arch", "arm64", foreign="arm64\n")
        self.assertEqual((done.returncode, calls), (0, []), done.stderr + str(calls))

    def test_unknown_architectures_are_refused(self):
        for args in (["--arch", "i386"], ["--arch"], ["--frobnicate"]):
            with self.subTest(args):
                done, calls, _ = self.run_setup([], *args)
                self.assertEqual(done.returncode, 2)
                self.assertEqual(calls, [])

    def target_packages(self, arch):
        listing = subprocess.run(
            ["bash", "-c", 'source <(sed -n "/^TARGET_PACKAGES=(/,/^)/p" "$0"); printf "%s\\n" "${TARGET_PACKAGES[@]}"',
             SETUP], capture_output=True, text=True, check=True)
        return listing.stdout.split()


if __name__ == "__main__":
    unittest.main()
