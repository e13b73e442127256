#!/usr/bin/python3
"""How long large messages take to reach the depot page, and whether one busy vehicle holds back
the others' news: the page's websockets path through its front (websockify, as shipped) and,
to compare, through mosquitto's own websockets listener and lighttpd's mod_wstunnel when
lighttpd is installed.

Starts the central broker from the shipped configuration with a websockets listener of
mosquitto's own added (what the depot shipped before its front), the shipped front, and
lighttpd if present, all on free loopback ports (tools/depot/harness.py). Each path is measured
by bench/depot/ws_latency.js with the page's own client library (MQTT.js in Node): a vehicle
publishes a message of each size over plain MQTT and the page-like client receives it; then
one vehicle sends --flood-kb a second (one message a second) while another sends a small
status every 200 ms, and the delay of those small ones is what the page sees of the fleet's
news meanwhile. Prints the median and the worst of each, in milliseconds.

    bench/depot/bench_front.py [--sizes 16,64,256] [--repeat 5] [--flood-kb 64] [--flood-sec 20]

Needs scripts/depot-web-deps (MQTT.js in depot/node_modules) and node.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools", "depot"))
import depotbroker  # noqa: E402
import harness  # noqa: E402

PROBE = os.path.join(ROOT, "bench", "depot", "ws_latency.js")
# What the depot snippet had before the front: the page on mosquitto's own websockets listener.
OWN_WEBSOCKETS = "\n#listener 8884\n#protocol websockets\n#http_dir /usr/share/vovadudozad-depot/web\n"
LIGHTTPD_CONF = """server.modules = ("mod_wstunnel")
server.port = %(port)d
server.bind = "127.0.0.1"
server.document-root = "%(web)s"
server.errorlog = "%(dir)s/lighttpd.err"
mimetype.assign = (".html" => "text/html", ".js" => "text/javascript", ".css" => "text/css")
wstunnel.server = ("" => (("host" => "127.0.0.1", "port" => %(target)d)))
wstunnel.frame-type = "binary"
"""


def measure(broker, url, protocols, args):
    options = {"ws": url, "protocols": protocols, "mqtt": "mqtt://127.0.0.1:%d" % broker.mqtt_port,
               "user": "emulator", "password": broker.passwords["emulator"], "viewer": "viewer",
               "viewerPassword": broker.passwords["viewer"], "sizes": [kb * 1024 for kb in args.sizes],
               "repeat": args.repeat, "floodBytesPerSec": args.flood_kb * 1024, "floodSec": args.flood_sec}
    run = subprocess.run(["node", PROBE, json.dumps(options)], capture_output=True, text=True, timeout=600)
    try:
        return json.loads(run.stdout.strip().splitlines()[-1])
    except (ValueError, IndexError):
        return {"error": (run.stdout + run.stderr)[-500:]}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--sizes", type=lambda text: [int(x) for x in text.split(",")], default=[16, 64, 256],
                        help="message sizes in KB (default 16,64,256)")
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--flood-kb", type=int, default=64, help="what the busy vehicle sends a second, in KB")
    parser.add_argument("--flood-sec", type=float, default=20.0, help="how long it does (0: not at all)")
    args = parser.parse_args()
    if not os.path.isdir(os.path.join(ROOT, "depot", "node_modules", "mqtt")):
        raise SystemExit("run scripts/depot-web-deps first (MQTT.js in depot/node_modules)")

    tmp = tempfile.mkdtemp(prefix="vovadudoz-bench-front.")
    conf = os.path.join(tmp, "depot.conf")
    with open(depotbroker.SHIPPED_CONF) as shipped, open(conf, "w") as out:
        out.write(shipped.read() + OWN_WEBSOCKETS)
    paths = []
    with harness.DepotBroker(conf=conf, run_dir=os.path.join(tmp, "depot")) as broker:
        paths.append(("websockify (shipped front)", "ws://127.0.0.1:%d/" % broker.front_port, ["binary"]))
        paths.append(("mosquitto websockets listener", "ws://127.0.0.1:%d/" % broker.broker_ws_port, None))
        lighttpd = shutil.which("lighttpd") or ("/usr/sbin/lighttpd" if os.path.exists("/usr/sbin/lighttpd") else None)
        if lighttpd:
            port = harness.free_port()
            with open(os.path.join(tmp, "lighttpd.conf"), "w") as out:
                out.write(LIGHTTPD_CONF % {"port": port, "web": broker.web_dir, "dir": tmp, "target": broker.local_port})
            harness.service("lighttpd", [lighttpd, "-D", "-f", os.path.join(tmp, "lighttpd.conf")],
                            os.path.join(tmp, "lighttpd.log"), port=port)
            paths.append(("lighttpd mod_wstunnel", "ws://127.0.0.1:%d/" % port, ["binary"]))
        print("publish (plain MQTT) -> page's client (MQTT.js over websockets), milliseconds, median / worst of %d"
              % args.repeat)
        flood = "others' news while one vehicle sends %d KB/s" % args.flood_kb
        print("%-32s %s   %s" % ("path", "   ".join("%4d KB       " % kb for kb in args.sizes), flood))
        for name, url, protocols in paths:
            result = measure(broker, url, protocols, args)
            if "error" in result:
                print("%-32s failed: %s" % (name, result["error"]))
                continue
            cells = ["%7.1f / %7.1f" % (result["sizes"][str(kb * 1024)]["p50"], result["sizes"][str(kb * 1024)]["max"])
                     for kb in args.sizes]
            news = result.get("flood")
            tail = ("%7.1f / %7.1f (%d of %d arrived)" % (news["p50"], news["max"], news["n"], news["expected"])
                    if news else "")
            print("%-32s %s   %s" % (name, "   ".join(cells), tail), flush=True)
    harness.stop_all()
    shutil.rmtree(tmp, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
