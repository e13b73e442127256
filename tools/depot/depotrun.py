#!/usr/bin/python3
"""A depot on this machine: the central broker serving the page, real vehicles and emulated ones.

Started by scripts/depot, which builds the programs first. Each real vehicle is its own broker
bridged to the central one with the shipped bridge snippet, the real program (offscreen) and
the service simulator playing its services; a passenger taps a card on each now and then. The
emulator adds the rest of the fleet. Ctrl-C (or SIGTERM) stops everything this started.
"""

import argparse
import os
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import depotbroker  # noqa: E402

ROOT = depotbroker.ROOT
EMULATOR = os.path.join(ROOT, "tools", "vehicle-emulator", "vehicle_emulator.py")
TAP_EVERY_SEC = 20.0


def say(text):
    print(text, file=sys.stderr, flush=True)


class Process:
    """A started program in a session of its own, with its log in a file."""

    def __init__(self, name, argv, log, env=None, cwd=None, open_input=False):
        self.name = name
        self.log = log
        # open_input: a pipe that stays open and silent (the simulator stops at the end of its input).
        with open(log, "a") as out:
            self.popen = subprocess.Popen(argv, stdout=out, stderr=subprocess.STDOUT,
                                          stdin=subprocess.PIPE if open_input else subprocess.DEVNULL,
                                          env=env, cwd=cwd, start_new_session=True)

    def alive(self):
        return self.popen.poll() is None

    def stop(self):
        if not self.alive():
            return
        self.popen.terminate()
        try:
            self.popen.wait(timeout=8)
        except subprocess.TimeoutExpired:
            os.killpg(self.popen.pid, signal.SIGKILL)
            self.popen.wait()


class RealVehicle:
    """The program and the simulator on a vehicle broker bridged to the depot."""

    def __init__(self, vehicle, serial, depot, build, run_dir):
        self.vehicle = vehicle
        self.run_dir = run_dir
        os.makedirs(run_dir, exist_ok=True)
        self.broker = depotbroker.VehicleBroker(vehicle, depot, run_dir).start()
        with open(os.path.join(run_dir, "serialnumber"), "w") as out:
            out.write(serial)
        with open(os.path.join(run_dir, "gui.conf"), "w") as out:
            out.write("[gui]\ndeviceId=%s/serialnumber\n\n[log]\nstderr=true\nsyslog=false\n\n"
                      "[mqtt]\nhost=%s\nport=%d\n" % (run_dir, self.broker.host, self.broker.port))
        env = dict(os.environ)
        # No window on the desk: the program draws offscreen, in software (screenshots still work).
        env.setdefault("QT_QPA_PLATFORM", "offscreen")
        if env["QT_QPA_PLATFORM"] in ("offscreen", "minimal"):
            env.setdefault("QT_QUICK_BACKEND", "software")
        self.program = Process("program", [os.path.join(build, "src", "VovadudozAD"), "-f",
                                           os.path.join(run_dir, "gui.conf")],
                               os.path.join(run_dir, "gui.log"), env=env, cwd=run_dir)
        self.simulator = Process("simulator", [os.path.join(build, "tools", "simulator", "VovadudozSim"),
                                               "-H", self.broker.host, "-P", str(self.broker.port), "--no-prompt"],
                                 os.path.join(run_dir, "sim.log"), open_input=True)

    def tap(self, valid):
        subprocess.run(["mosquitto_pub", "-h", self.broker.host, "-p", str(self.broker.port), "-t", "orvo/sim/command",
                        "-m", "tap valid" if valid else "scan valid"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=5)

    def stop(self):
        # The program first, so its clean stop ("service": false) goes out through the bridge.
        self.program.stop()
        self.simulator.stop()
        self.broker.stop()


def main(argv=None):
    parser = argparse.ArgumentParser(description="Runs a depot on this machine.")
    parser.add_argument("--build", required=True, help="the build folder with VovadudozAD and VovadudozSim")
    parser.add_argument("--real", type=int, default=2, help="real vehicles (0 to 4, default 2)")
    parser.add_argument("--emulated", type=int, default=20, help="emulated vehicles (default 20)")
    parser.add_argument("--web", default=depotbroker.DEFAULT_WEB, help="the page's folder")
    parser.add_argument("--run-dir", help="where configurations and logs go (default: a new temporary folder)")
    parser.add_argument("--operator-password", default="operator")
    parser.add_argument("--viewer-password", default="viewer")
    args = parser.parse_args(argv)
    if not 0 <= args.real <= 4:
        parser.error("--real must be 0 to 4")
    if not 0 <= args.emulated <= 20000:
        parser.error("--emulated must be 0 to 20000")

    run_dir = args.run_dir or tempfile.mkdtemp(prefix="vovadudoz-depot-run.")
    os.makedirs(run_dir, exist_ok=True)
    # The broker reads the page as the "mosquitto" user when started by root.
    os.chmod(run_dir, 0o755)
    real_ids = ["tram-%02d" % (n + 1) for n in range(args.real)]
    stopping = []
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, lambda *_: stopping.append(1))

    depot = depotbroker.DepotBroker(web_dir=args.web, run_dir=os.path.join(run_dir, "depot"), vehicles=real_ids,
                                    users={"operator": args.operator_password, "viewer": args.viewer_password})
    started = []
    try:
        depot.start()
        for n, vehicle in enumerate(real_ids):
            started.append(RealVehicle(vehicle, "K2026%04d" % (n + 1), depot, args.build,
                                       os.path.join(run_dir, vehicle)))
        emulator = None
        if args.emulated:
            emulator = Process("emulator", [EMULATOR, "--host", depot.host, "--port", str(depot.mqtt_port),
                                            "--username", "emulator", "--password", depot.passwords["emulator"],
                                            "--count", str(args.emulated)],
                               os.path.join(run_dir, "emulator.log"))
        say("")
        say("Depot page     : %s" % depot.url)
        say("Logins         : operator / %s   (may ask for screenshots)" % depot.passwords["operator"])
        say("                 viewer / %s   (reads only)" % depot.passwords["viewer"])
        say("Central broker : mqtt://%s:%d (plain MQTT), ws://%s:%d (the page)"
            % (depot.host, depot.mqtt_port, depot.host, depot.ws_port))
        say("Vehicles       : %s%s" % (", ".join(real_ids) + " (real)" if real_ids else "",
                                      ("%s%d emulated (bus-0001...)" % (", " if real_ids else "", args.emulated))
                                      if args.emulated else ""))
        say("Logs           : %s" % run_dir)
        say("Ctrl-C stops everything.")
        next_tap = time.monotonic() + 5.0
        taps = 0
        while not stopping:
            time.sleep(0.2)
            if depot.process is None or depot.process.poll() is not None:
                say("The central broker stopped; see %s" % depot.log_file)
                return 1
            for vehicle in started:
                for part in (vehicle.program, vehicle.simulator):
                    if part.name and not part.alive():
                        say("%s: the %s stopped; see %s" % (vehicle.vehicle, part.name, part.log))
                        part.name = None
            if started and time.monotonic() >= next_tap:
                vehicle = started[taps % len(started)]
                vehicle.tap(valid=taps % 3 != 2)
                taps += 1
                next_tap = time.monotonic() + TAP_EVERY_SEC / len(started)
        return 0
    except (RuntimeError, ValueError, OSError) as error:
        say("scripts/depot: %s" % error)
        return 1
    finally:
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        if "emulator" in locals() and emulator is not None:
            emulator.stop()
        for vehicle in started:
            vehicle.stop()
        depot.stop()
        say("Stopped. Logs are in %s" % run_dir)


if __name__ == "__main__":
    sys.exit(main())
