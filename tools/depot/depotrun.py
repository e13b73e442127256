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
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import harness  # noqa: E402

TAP_EVERY_SEC = 20.0


def say(text):
    print(text, file=sys.stderr, flush=True)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Runs a depot on this machine.")
    parser.add_argument("--build", required=True, help="the build folder with VovadudozAD and VovadudozSim")
    parser.add_argument("--real", type=int, default=2, help="real vehicles (0 to 4, default 2)")
    parser.add_argument("--emulated", type=int, default=20, help="emulated vehicles (default 20)")
    parser.add_argument("--web", default=harness.DEFAULT_WEB, help="the page's folder")
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
    real_ids = ["tram-%02d" % (n + 1) for n in range(args.real)]
    stopping = []

    def on_signal(*_):
        stopping.append(1)
        # A signal during a start-up wait ends the wait; the finally below stops what started.
        raise KeyboardInterrupt
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, on_signal)

    depot = harness.DepotBroker(web_dir=args.web, run_dir=os.path.join(run_dir, "depot"), vehicles=real_ids,
                                users={"operator": args.operator_password, "viewer": args.viewer_password})
    started = []
    emulator = None
    try:
        depot.start()
        app = os.path.join(args.build, "src", "VovadudozAD")
        simulator = os.path.join(args.build, "tools", "simulator", "VovadudozSim")
        for n, vehicle in enumerate(real_ids):
            started.append(harness.RealVehicle(vehicle, depot, os.path.join(run_dir, vehicle), app, simulator,
                                               serial="K2026%04d" % (n + 1)))
        if args.emulated:
            emulator = harness.Emulator(depot, args.emulated, log=os.path.join(run_dir, "emulator.log"))
        # Ready when every real vehicle's bridge is up and its program has said it is in service.
        watcher = harness.Client(depot.mqtt_port, "viewer", depot.passwords["viewer"],
                                 ["fleet/%s/ui/status" % v for v in real_ids])
        try:
            for vehicle in started:
                vehicle.wait_linked()
                topic = "fleet/%s/ui/status" % vehicle.vehicle
                harness.wait_until(lambda: watcher.json(topic).get("service") is True, harness.READY_TIMEOUT * 2,
                                   "%s in service" % vehicle.vehicle, vehicle.program)
        finally:
            watcher.close()
        say("")
        say("Depot page     : %s" % depot.url)
        say("Logins         : operator / %s   (may ask for screenshots)" % depot.passwords["operator"])
        say("                 viewer / %s   (reads only)" % depot.passwords["viewer"])
        say("Central broker : mqtt://%s:%d (plain MQTT), ws://%s:%d (the page, through its front)"
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
                        say("%s stopped; see %s" % (part.name, part.log))
                        part.name = None
            if started and time.monotonic() >= next_tap:
                vehicle = started[taps % len(started)]
                vehicle.tap(valid=taps % 3 != 2)
                taps += 1
                next_tap = time.monotonic() + TAP_EVERY_SEC / len(started)
        return 0
    except KeyboardInterrupt:
        return 0
    except (RuntimeError, ValueError, OSError) as error:
        say("scripts/depot: %s" % error)
        return 1
    finally:
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(sig, signal.SIG_IGN)
        if emulator is not None:
            emulator.stop()
        for vehicle in started:
            vehicle.stop()
        depot.stop()
        say("Stopped. Logs are in %s" % run_dir)


if __name__ == "__main__":
    sys.exit(main())
