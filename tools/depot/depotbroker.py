#!/usr/bin/python3
"""A depot's central broker on this machine, from the configuration the depot package ships.

The shipped snippet (packaging/depot/vovadudozad-depot.conf) is taken as it is and adapted for a
local run only where it must be: its settings are uncommented, its listeners (the bridges' and
the loopback one for the depot's own services and the page's front) move to free loopback ports,
the TLS lines go, and the password file and access list are local copies. The page's front
(packaging/depot/vovadudozad-depot-front.service: websockify serving the page and carrying its
MQTT over websockets to the loopback listener) runs as its unit says, on a free loopback port
and without TLS. Everything else (queue limits, message size, login rules) is the depot's own,
so what runs here is what a depot runs.

Used by scripts/depot, the tests and the benchmarks:

    with DepotBroker(web_dir="depot/web", users={"operator": "op"}) as broker:
        broker.mqtt_port, broker.ws_port, broker.local_port, broker.url, broker.passwords["operator"]

mqtt_port is where vehicles' bridges connect (8883 at a depot), ws_port the page's front (8884),
and local_port where the depot's services on the broker's host log in (1883: the exporters).

As a command it prints the ports and the logins as one JSON line, then runs until SIGINT or
SIGTERM:

    tools/depot/depotbroker.py --web depot/web --user operator:secret --vehicle bus-0001
"""

import argparse
import atexit
import json
import os
import pwd
import re
import secrets
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import processes  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SHIPPED_CONF = os.path.join(ROOT, "packaging", "depot", "vovadudozad-depot.conf")
SHIPPED_ACL = os.path.join(ROOT, "packaging", "depot", "depot.acl")
SHIPPED_BRIDGE = os.path.join(ROOT, "packaging", "mosquitto", "vovadudozad-bridge.conf")
DEFAULT_WEB = os.path.join(ROOT, "depot", "web")
# The depot's own users (the shipped access list names them), and the local emulator's identity,
# which writes for every emulated vehicle.
DEPOT_USERS = ("operator", "viewer", "depot-tool", "exporter")
EMULATOR_USER = "emulator"
EMULATOR_ACL = "\n# Local runs only: the vehicle emulator writes for all its vehicles.\nuser %s\ntopic readwrite fleet/#\n" % EMULATOR_USER
# Settings of the shipped snippet that a local run leaves out: TLS needs the depot's certificate.
TLS_SETTINGS = {"cafile", "capath", "certfile", "keyfile", "require_certificate", "tls_version",
                "use_identity_as_username", "crlfile", "ciphers"}
SHIPPED_FRONT = os.path.join(ROOT, "packaging", "depot", "vovadudozad-depot-front.service")
# Options of the front's unit that a local run leaves out: TLS needs the depot's certificate.
FRONT_TLS_OPTIONS = {"--cert", "--key", "--ssl-only", "--ssl-version", "--ssl-ciphers", "--key-password"}
SETTING_LINE = re.compile(r"^#([a-z_]+)(\s.*)?$")
# The listener for this host's own services is the one the snippet binds to a loopback address.
LOOPBACK = {"127.0.0.1", "::1", "localhost"}


def find_mosquitto():
    for candidate in (shutil.which("mosquitto"), "/usr/sbin/mosquitto"):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    raise RuntimeError("mosquitto is not installed (run scripts/setup)")


free_port = processes.free_port


def port_open(host, port):
    return processes.port_open(port, host)


def end_process(process, kill=False):
    """Stops a broker: SIGTERM (a clean stop) or SIGKILL (a power cut), then SIGKILL after 5 s."""
    if process is not None:
        process.stop(kill, timeout=5.0)


def broker_user():
    """The user mosquitto becomes when root starts it, or None when it stays who started it."""
    if os.geteuid() != 0:
        return None
    try:
        return pwd.getpwnam("mosquitto")
    except KeyError:
        return None


def broker_folder(run_dir, user, prefix):
    """Where a broker that becomes user keeps what it reads after it changed user (password
    file, access list, page, store): the run folder when it stays who started it, else a new
    folder of its own under /tmp, which every user can reach (a checkout or a run folder may
    be inside a private folder, as root's home is). Returns (folder, whether it is new)."""
    if user is None:
        return run_dir, False
    return tempfile.mkdtemp(prefix=prefix, dir="/tmp"), True


def hand_over(paths, user):
    """Gives the broker's user what it must read or write: owner, and the folders searchable."""
    for path in paths:
        os.chown(path, user.pw_uid, user.pw_gid)
        if os.path.isdir(path):
            os.chmod(path, 0o750)


def copy_readable(source, target, user):
    """A copy of the folder source at target that user owns (the page folder of a checkout
    that user cannot read)."""
    shutil.rmtree(target, ignore_errors=True)
    shutil.copytree(source, target, ignore=shutil.ignore_patterns(".*"))
    for folder, dirs, files in os.walk(target):
        hand_over([folder] + [os.path.join(folder, name) for name in files], user)


def shipped_settings(text):
    """The snippet's settings as (name, value) in order: the commented-out lines, enabled."""
    settings = []
    for line in text.splitlines():
        match = SETTING_LINE.match(line.rstrip())
        if match:
            settings.append((match.group(1), (match.group(2) or "").strip()))
    return settings


# --- depot guard (broker plugin): begin ---
GUARD_SOURCE = os.path.join(ROOT, "depot", "broker-plugin", "depot_guard.c")
# Local runs only: the emulator's control topic (fleet/<id>/emulator) is one more fleet topic.
GUARD_LOCAL_OPTIONS = ("plugin_opt_control_topic emulator",)


def guard_plugin(folder):
    """The guard plugin for a local run: the build's (VOVADUDOZ_DEPOT_GUARD, set by the tests),
    or compiled from its one source file into folder (mosquitto-dev's headers)."""
    built = os.environ.get("VOVADUDOZ_DEPOT_GUARD")
    if built:
        return built
    target = os.path.join(folder, "depot_guard.so")
    if not os.path.exists(target):
        subprocess.run([os.environ.get("CC", "cc"), "-O2", "-shared", "-fPIC", "-o", target, GUARD_SOURCE],
                       check=True, stdin=subprocess.DEVNULL)
    return target
# --- depot guard: end ---


def local_config(text, ports, web_dir, password_file, acl_file, host="127.0.0.1", plugin=None):
    """The shipped snippet adapted for a local run (see the module's comment). ports: the local
    port for each listener, by its role: "mqtt" (the bridges'), "local" (this host's services'
    and the page's front's), and "ws" for a websockets listener of mosquitto's own, which the
    shipped snippet no longer has (a benchmark adds one to compare). Raises ValueError when the
    snippet lacks what a depot needs (the bridges' and the loopback listener, once each, a
    password file and an access list; a page folder for a websockets listener)."""
    out = []
    listeners = []
    seen = set()
    for name, value in shipped_settings(text):
        if name in TLS_SETTINGS:
            continue
        if name == "listener":
            address = value.split()[1:2]
            # The role needs the listener's protocol, which follows it: the line is filled in below.
            listeners.append({"loopback": bool(address) and address[0] in LOOPBACK, "protocol": "mqtt",
                              "line": len(out)})
            out.append(None)
            out.append("socket_domain ipv4")
            continue
        if name == "protocol" and listeners:
            listeners[-1]["protocol"] = value
        if name == "http_dir":
            value = web_dir
        elif name == "password_file":
            value = password_file
        elif name == "acl_file":
            value = acl_file
        elif name == "plugin" and plugin:  # depot guard
            out.append("plugin %s" % plugin)
            out.extend(GUARD_LOCAL_OPTIONS)
            seen.add(name)
            continue
        seen.add(name)
        out.append("%s %s" % (name, value) if value else name)
    roles = []
    for listener in listeners:
        if listener["protocol"] == "websockets":
            role = "ws"
        elif listener["protocol"] == "mqtt":
            role = "local" if listener["loopback"] else "mqtt"
        else:
            role = listener["protocol"]
        roles.append(role)
        if role in ports:
            out[listener["line"]] = "listener %d %s" % (ports[role], host)
    if sorted(role for role in roles if role != "ws") != ["local", "mqtt"] or roles.count("ws") > 1:
        raise ValueError("the depot snippet must declare two listeners: plain MQTT for the bridges, and plain "
                         "MQTT on 127.0.0.1 for this host's services and the page's front")
    missing = {"password_file", "acl_file", "allow_anonymous"} | ({"http_dir"} if "ws" in roles else set())
    missing -= seen
    if missing:
        raise ValueError("the depot snippet lacks " + ", ".join(sorted(missing)))
    return "\n".join(out) + "\n"


def front_argv(unit_text, web_dir, port, target_port, host="127.0.0.1"):
    """The page's front as its shipped unit starts it, adapted for a local run: it listens on
    host:port without TLS, serves web_dir and hands the page's MQTT to target_port."""
    lines = [line for line in unit_text.splitlines() if line.startswith("ExecStart=")]
    if len(lines) != 1:
        raise ValueError("the front's unit must have one ExecStart line")
    argv = shlex.split(lines[0][len("ExecStart="):])
    out = []
    positional = []
    skip = False
    for arg in argv[1:]:
        if skip:
            skip = False
            continue
        option, _, value = arg.partition("=")
        if option in FRONT_TLS_OPTIONS:
            skip = not value and option != "--ssl-only"
            continue
        if option == "--web":
            skip = not value
            out += ["--web", web_dir]
        elif arg.startswith("-"):
            out.append(arg)
        else:
            positional.append(arg)
    if len(positional) != 2 or not positional[1].startswith("127.0.0.1:"):
        raise ValueError("the front must listen on one port and hand on to the broker's loopback listener")
    if "--web" not in out:
        raise ValueError("the front must serve the page (--web)")
    return [argv[0]] + out + ["%s:%d" % (host, port), "127.0.0.1:%d" % target_port]


def bridge_config(text, vehicle, host, port, password):
    """The vehicle's shipped bridge snippet, enabled for a local run: the vehicle's id and the
    depot broker's loopback address filled in, its login's password, and no TLS."""
    out = []
    for name, value in shipped_settings(text):
        if name.startswith("bridge_"):
            continue
        if name == "address":
            value = "%s:%d" % (host, port)
        elif name == "remote_password":
            value = password
        out.append(("%s %s" % (name, value)).replace("VEHICLE", vehicle))
    if not any(line.startswith("connection ") for line in out):
        raise ValueError("the bridge snippet declares no connection")
    return "\n".join(out) + "\n"


class VehicleBroker:
    """A vehicle's own broker on a free loopback port, bridged to a depot broker with the
    shipped bridge snippet. Local clients (the program, the simulator) log in anonymously, as
    with scripts/run."""

    def __init__(self, vehicle, depot, run_dir):
        self.vehicle = vehicle
        self.depot = depot
        self.run_dir = run_dir
        self.host = "127.0.0.1"
        self.port = None
        self.process = None

    def start(self, timeout=processes.READY_TIMEOUT):
        os.makedirs(self.run_dir, exist_ok=True)
        with open(SHIPPED_BRIDGE) as shipped:
            bridge = bridge_config(shipped.read(), self.vehicle, self.depot.host, self.depot.mqtt_port,
                                   self.depot.passwords[self.vehicle])
        for _ in range(5):
            self.port = free_port()
            path = os.path.join(self.run_dir, "mosquitto.conf")
            with open(path, "w") as out:
                out.write("listener %d %s\nallow_anonymous true\nset_tcp_nodelay true\npersistence false\n"
                          "log_dest stdout\nlog_timestamp_format %%Y-%%m-%%dT%%H:%%M:%%S\n%s"
                          % (self.port, self.host, bridge))
            # Everything it reads is read as root, before it changes user: nothing to hand over.
            self.process = processes.Process("vehicle broker " + self.vehicle, [find_mosquitto(), "-c", path],
                                             os.path.join(self.run_dir, "mosquitto.log"))
            try:
                self.process.wait_port(self.port, timeout)
                return self
            except processes.NotReady as error:
                self.stop()
                if "Address already in use" not in str(error):
                    raise RuntimeError("the vehicle broker of %s did not start: %s" % (self.vehicle, error)) from None
        raise RuntimeError("the vehicle broker of %s did not start (see %s/mosquitto.log)" % (self.vehicle, self.run_dir))

    def stop(self, kill=False):
        """kill: as at a power cut (no goodbye to the depot); otherwise a clean stop."""
        end_process(self.process, kill)
        self.process = None


class DepotBroker:
    """A central mosquitto on free loopback ports with the depot's configuration.

    users: name -> password (None makes one up); the depot's users and the emulator's identity
    are always there. vehicles: ids that log in as a bridge does (each gets a password too).
    persist: keep retained messages across restart(), as a depot broker does. front: the page's
    front from its shipped unit (front_unit) before the broker, serving the page and carrying
    its MQTT; ws_port and url are the page's address there. Without it (or with a conf that has
    a websockets listener of mosquitto's own, as a benchmark compares), mosquitto serves the page
    itself on broker_ws_port."""

    def __init__(self, web_dir=None, users=None, vehicles=(), run_dir=None, persist=False,
                 conf=SHIPPED_CONF, acl=SHIPPED_ACL, extra_config="", front=True, front_unit=SHIPPED_FRONT):
        self.web_dir = os.path.abspath(web_dir or DEFAULT_WEB)
        self.host = "127.0.0.1"
        self.passwords = {}
        for name in DEPOT_USERS + (EMULATOR_USER,) + tuple(vehicles):
            self.passwords[name] = None
        self.passwords.update(users or {})
        for name, password in self.passwords.items():
            if not password:
                # Hex: a password beginning with "-" would read as an option on a command line.
                self.passwords[name] = secrets.token_hex(12)
        self.persist = persist
        self.conf = conf
        self.acl = acl
        self.extra_config = extra_config
        self.own_run_dir = run_dir is None
        self.run_dir = run_dir or tempfile.mkdtemp(prefix="vovadudoz-depot.")
        # Where the broker's own copies live (see _write_files); chosen at the first start.
        self.files_dir = None
        self.own_files_dir = False
        self.process = None
        self.front = front
        self.front_unit = front_unit
        self.front_process = None
        self.front_port = None
        self.mqtt_port = None
        self.broker_ws_port = None
        self.local_port = None

    @property
    def ws_port(self):
        """Where the page is served and its MQTT over websockets goes."""
        return self.front_port if self.front else self.broker_ws_port

    @property
    def front_log(self):
        return os.path.join(self.run_dir, "front.log")

    @property
    def url(self):
        return "http://%s:%d/" % (self.host, self.ws_port)

    @property
    def log_file(self):
        return os.path.join(self.run_dir, "mosquitto.log")

    def _write_files(self):
        os.makedirs(self.run_dir, exist_ok=True)
        # mosquitto started by root becomes "mosquitto" before it reads the password file and
        # the access list, serves the page and writes its store: those are copies in a folder
        # that user owns and can reach, whatever the modes of the checkout and the run folder.
        user = broker_user()
        if self.files_dir is None:
            self.files_dir, self.own_files_dir = broker_folder(self.run_dir, user, "vovadudoz-depot-broker.")
        files = self.files_dir
        os.makedirs(files, exist_ok=True)
        passwd = os.path.join(files, "depot.passwd")
        with open(passwd, "w"):
            pass
        for name, password in self.passwords.items():
            subprocess.run(["mosquitto_passwd", "-b", passwd, name, password], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        acl = os.path.join(files, "depot.acl")
        with open(self.acl) as shipped, open(acl, "w") as local:
            local.write(shipped.read() + EMULATOR_ACL)
        with open(self.conf) as shipped:
            text = shipped.read()
        web = self.web_dir
        if user is not None and "ws" in self.ports():
            web = os.path.join(files, "web")
            copy_readable(self.web_dir, web, user)
        config = local_config(text, self.ports(), web, passwd, acl, plugin=guard_plugin(files))  # depot guard
        store = os.path.join(files, "store")
        if self.persist:
            os.makedirs(store, exist_ok=True)
            config += "persistence true\npersistence_location %s/\nautosave_interval 1\n" % store
        else:
            config += "persistence false\n"
        config += "log_dest stdout\nlog_timestamp_format %Y-%m-%dT%H:%M:%S\n" + self.extra_config
        path = os.path.join(self.run_dir, "mosquitto.conf")
        with open(path, "w") as out:
            out.write(config)
        if user is not None:
            hand_over([files, passwd, acl] + ([store] if self.persist else []), user)
        return path

    def ports(self):
        """mosquitto's listeners' ports by role."""
        ports = {"mqtt": self.mqtt_port, "local": self.local_port}
        if self.broker_ws_port is not None:
            ports["ws"] = self.broker_ws_port
        return ports

    def _has_websockets(self):
        with open(self.conf) as shipped:
            return ("protocol", "websockets") in shipped_settings(shipped.read())

    def _start_front(self, timeout):
        with open(self.front_unit) as unit:
            unit_text = unit.read()
        for _ in range(5):
            self.front_port = free_port()
            argv = front_argv(unit_text, self.web_dir, self.front_port, self.local_port)
            if not os.access(argv[0], os.X_OK):
                raise RuntimeError("%s is not installed (run scripts/setup)" % argv[0])
            self.front_process = processes.Process("page front", argv, self.front_log)
            try:
                self.front_process.wait_port(self.front_port, timeout)
                return
            except processes.NotReady as error:
                self.front_process.stop()
                self.front_process = None
                if "Address already in use" not in str(error):
                    raise RuntimeError("the page's front did not start: %s" % error) from None
        raise RuntimeError("no free port for the page's front")

    def start(self, timeout=processes.READY_TIMEOUT, keep_ports=False):
        """Starts the broker and returns once every listener accepts; on ports taken meanwhile by
        someone else it tries others, unless keep_ports (a restart) holds it to the ones it had."""
        if not os.path.isdir(self.web_dir):
            raise RuntimeError("no page folder %s" % self.web_dir)
        for _ in range(1 if keep_ports else 5):
            if not keep_ports:
                self.mqtt_port, self.local_port = free_port(), free_port()
                self.broker_ws_port = free_port() if self._has_websockets() else None
            path = self._write_files()
            self.process = processes.Process("depot broker", [find_mosquitto(), "-c", path], self.log_file)
            try:
                for port in self.ports().values():
                    self.process.wait_port(port, timeout)
                if self.front and self.front_process is None:
                    self._start_front(timeout)
                if self not in _started:
                    _started.append(self)
                return self
            except processes.NotReady as error:
                self._end()
                if "Address already in use" not in str(error) or keep_ports:
                    raise RuntimeError("the depot broker did not start: %s" % error) from None
        raise RuntimeError("no free ports for the depot broker")

    def restart(self, down_sec=0.0):
        """Stops the broker and starts it again on the same ports (as a depot's broker restarts)."""
        self._end()
        if down_sec:
            time.sleep(down_sec)
        return self.start(keep_ports=True)

    def _end(self):
        end_process(self.process)
        self.process = None

    def stop(self):
        if self in _started:
            _started.remove(self)
        if self.front_process is not None:
            self.front_process.stop()
            self.front_process = None
        self._end()
        if self.own_files_dir:
            shutil.rmtree(self.files_dir, ignore_errors=True)
        if self.own_run_dir:
            shutil.rmtree(self.run_dir, ignore_errors=True)

    def __enter__(self):
        if self.process is None:
            try:
                self.start()
            except BaseException:
                self.stop()
                raise
        return self

    def __exit__(self, *exc):
        self.stop()

    def describe(self):
        return {"host": self.host, "mqtt_port": self.mqtt_port, "ws_port": self.ws_port,
                "local_port": self.local_port, "url": self.url, "front_log": self.front_log if self.front else None,
                "run_dir": self.run_dir, "log": self.log_file, "users": self.passwords}


# Started and not yet stopped: a caller that fails before its stop() still leaves no
# processes and no copies of the passwords behind when Python exits.
_started = []


@atexit.register
def _stop_started():
    for broker in reversed(list(_started)):
        broker.stop()


def main(argv=None):
    parser = argparse.ArgumentParser(description="Runs the depot's central broker on free loopback ports.")
    parser.add_argument("--web", default=DEFAULT_WEB, help="the page's folder (default depot/web)")
    parser.add_argument("--user", action="append", default=[], metavar="NAME:PASSWORD",
                        help="a login (again for more); the depot's users get made-up passwords otherwise")
    parser.add_argument("--vehicle", action="append", default=[], metavar="ID",
                        help="a vehicle id whose bridge logs in (again for more)")
    parser.add_argument("--run-dir", help="where the configuration and the log go (default: a new temporary folder)")
    parser.add_argument("--persist", action="store_true", help="keep retained messages in the run folder")
    args = parser.parse_args(argv)
    users = {}
    for entry in args.user:
        name, sep, password = entry.partition(":")
        if not sep or not name or not password:
            parser.error("--user takes NAME:PASSWORD")
        users[name] = password
    broker = DepotBroker(web_dir=args.web, users=users, vehicles=args.vehicle, run_dir=args.run_dir,
                         persist=args.persist)
    stop = []
    for sig in (signal.SIGINT, signal.SIGTERM):
        signal.signal(sig, lambda *_: stop.append(1))
    try:
        broker.start()
    except (RuntimeError, ValueError) as error:
        print("depotbroker: %s" % error, file=sys.stderr)
        broker.stop()
        return 1
    print(json.dumps(broker.describe()), flush=True)
    try:
        while not stop and broker.process.poll() is None:
            time.sleep(0.2)
    finally:
        code = broker.process.poll()
        broker.stop()
    if code is not None:
        print("depotbroker: mosquitto ended (%d); see its log" % code, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
