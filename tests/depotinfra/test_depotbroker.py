"""The depot's central broker as the package ships it: the snippet enabled with certificates,
the page served, the access list, and a fleet's retained messages for a page that opens."""

import calendar
import json
import os
import re
import shutil
import ssl
import subprocess
import tempfile
import time
import unittest
import urllib.error
import urllib.request

from support import ROOT, Client, harness, mqtt, wait_until, world_readable_dir

import depotbroker

SNIPPET = os.path.join(ROOT, "packaging", "depot", "vovadudozad-depot.conf")
ACL = os.path.join(ROOT, "packaging", "depot", "depot.acl")
FRONT_UNIT = os.path.join(ROOT, "packaging", "depot", "vovadudozad-depot-front.service")
EXPORTERS = os.path.join(ROOT, "packaging", "depot", "prometheus")
PAGE = "<!doctype html><title>depot</title><link rel=stylesheet href=depot.css>\n"
STYLE = "body { color: #123456; }\n"
FLEET = 300


def make_page(folder):
    os.makedirs(folder)
    with open(os.path.join(folder, "index.html"), "w") as out:
        out.write(PAGE)
    with open(os.path.join(folder, "depot.css"), "w") as out:
        out.write(STYLE)


def listening_addresses(port):
    """Local addresses listening on a TCP port, from /proc/net/tcp and tcp6 (what ss -ltn shows)."""
    found = set()
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        if not os.path.exists(table):
            continue
        with open(table) as rows:
            next(rows)
            for row in rows:
                local, state = row.split()[1], row.split()[3]
                address, hexport = local.split(":")
                if state == "0A" and int(hexport, 16) == port:
                    found.add(address)
    return found


def openssl(*args):
    subprocess.run(("openssl",) + args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificates(folder):
    """A depot CA, the broker's certificate for 127.0.0.1 and a vehicle's certificate."""
    ec = ("-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes")
    path = lambda name: os.path.join(folder, name)  # noqa: E731
    openssl("req", "-x509", *ec, "-keyout", path("depot-ca.key"), "-out", path("depot-ca.crt"),
            "-days", "2", "-subj", "/CN=depot test CA")
    with open(path("san.ext"), "w") as out:
        out.write("subjectAltName=IP:127.0.0.1\n")
    for name, subject, extra in (("depot", "/CN=127.0.0.1", ("-extfile", path("san.ext"))),
                                 ("vehicle", "/CN=bus-0001", ())):
        openssl("req", "-new", *ec, "-keyout", path(name + ".key"), "-out", path(name + ".csr"), "-subj", subject)
        openssl("x509", "-req", "-in", path(name + ".csr"), "-CA", path("depot-ca.crt"), "-CAkey",
                path("depot-ca.key"), "-CAcreateserial", "-out", path(name + ".crt"), "-days", "2", *extra)
    for name in os.listdir(folder):
        os.chmod(path(name), 0o644)


class ShippedSnippet(unittest.TestCase):
    """The snippet exactly as installed, enabled as its header says, with TLS."""

    def test_disabled_as_shipped(self):
        with open(SNIPPET) as snippet:
            active = [line for line in snippet if line.strip() and not line.startswith("#")]
        self.assertEqual(active, [], "the depot snippet must stay disabled until the depot enables it")

    def test_exporters_log_in_on_the_loopback_listener(self):
        with open(SNIPPET) as snippet:
            loopback = re.findall(r"(?m)^#listener (\d+) 127\.0\.0\.1$", snippet.read())
        self.assertEqual(len(loopback), 1, "one loopback listener for the depot's services")
        servers = set()
        for name in os.listdir(EXPORTERS):
            if name.startswith("exporter-") and name.endswith(".yaml"):
                with open(os.path.join(EXPORTERS, name)) as config:
                    servers.update(re.findall(r"(?m)^\s+server:\s*(\S+)", config.read()))
        self.assertEqual(servers, {"tcp://127.0.0.1:%s" % loopback[0]})

    def test_local_run_needs_every_listener(self):
        with open(SNIPPET) as snippet:
            text = snippet.read()
        ports = {"mqtt": 1, "local": 3}
        config = depotbroker.local_config(text, ports, "/web", "/passwd", "/acl")
        self.assertEqual(re.findall(r"(?m)^listener .*$", config), ["listener 1 127.0.0.1", "listener 3 127.0.0.1"])
        self.assertEqual(config.count("socket_domain ipv4"), 2)
        self.assertNotIn("certfile", config)
        self.assertNotIn("protocol websockets", config, "the page goes through its front, not mosquitto's websockets")
        for broken in (text.replace("#listener 1883 127.0.0.1", ""),       # no listener for this host
                       text.replace("#listener 8883", "#listener 8883 127.0.0.1"),  # bridges on loopback only
                       text + "#listener 8884\n#protocol websockets\n"):  # a page listener without its folder
            with self.assertRaises(ValueError):
                depotbroker.local_config(broken, ports, "/web", "/passwd", "/acl")

    def test_front_runs_as_its_unit_says(self):
        with open(FRONT_UNIT) as unit:
            text = unit.read()
        argv = depotbroker.front_argv(text, "/web", 5, 6)
        self.assertEqual(argv, ["/usr/bin/websockify", "--web", "/web", "127.0.0.1:5", "127.0.0.1:6"])
        # At a depot: TLS only, the shipped page, and the broker's loopback listener.
        self.assertRegex(text, r"(?m)^ExecStart=/usr/bin/websockify --web /usr/share/vovadudozad-depot/web "
                               r".*--cert \S+ --key \S+ --ssl-only .*8884 127\.0\.0\.1:1883$")
        for broken in (text.replace("127.0.0.1:1883", "10.0.0.1:1883"), text.replace("--web ", "--wab ")):
            with self.assertRaises(ValueError):
                depotbroker.front_argv(broken, "/web", 5, 6)

    def test_enabled_with_certificates(self):
        tmp = world_readable_dir(tempfile.mkdtemp(prefix="depotinfra-tls."))
        self.addCleanup(shutil.rmtree, tmp, True)
        certs = os.path.join(tmp, "certs")
        os.mkdir(certs)
        make_certificates(certs)
        web = os.path.join(tmp, "web")
        make_page(web)
        passwd = os.path.join(tmp, "depot.passwd")
        open(passwd, "w").close()
        for user in ("viewer", "bus-0001", "exporter"):
            subprocess.run(["mosquitto_passwd", "-b", passwd, user, user + "-pw"], check=True)
        os.chmod(passwd, 0o644)
        # mosquitto started by root reads the access list as its own user: a copy it can reach,
        # not the one in a checkout that may sit in a private folder.
        acl = shutil.copy(ACL, os.path.join(tmp, "depot.acl"))
        os.chmod(acl, 0o644)
        mqtt_port, ws_port, local_port = depotbroker.free_port(), depotbroker.free_port(), depotbroker.free_port()
        # The header's step 3, then only what this machine must change: ports on loopback and paths.
        with open(SNIPPET) as snippet:
            text = re.sub(r"(?m)^#(?=[a-z])", "", snippet.read())
        text = (text.replace("/etc/mosquitto/certs/", certs + "/")
                .replace("listener 8883", "listener %d 127.0.0.1" % mqtt_port)
                .replace("listener 1883 ", "listener %d " % local_port)
                .replace("/etc/mosquitto/vovadudozad-depot.passwd", passwd)
                .replace("/etc/mosquitto/vovadudozad-depot.acl", acl)
                .replace("/usr/lib/vovadudozad-depot/depot_guard.so", depotbroker.guard_plugin(tmp)))
        conf = os.path.join(tmp, "mosquitto.conf")
        with open(conf, "w") as out:
            out.write(text + "persistence false\nlog_dest stdout\n")
        broker = harness.Process("broker", [depotbroker.find_mosquitto(), "-c", conf], os.path.join(tmp, "mosquitto.log"))
        self.addCleanup(broker.stop)
        for port in (mqtt_port, local_port):
            broker.wait_port(port)
        # The page's front as its unit starts it, on this machine's ports and paths.
        with open(FRONT_UNIT) as unit:
            command = re.search(r"(?m)^ExecStart=(.*)$", unit.read()).group(1)
        command = (command.replace("/etc/mosquitto/certs/", certs + "/")
                   .replace("/usr/share/vovadudozad-depot/web", web)
                   .replace(" 8884 ", " 127.0.0.1:%d " % ws_port)
                   .replace("127.0.0.1:1883", "127.0.0.1:%d" % local_port))
        front = harness.service("front", command.split(), os.path.join(tmp, "front.log"), port=ws_port)
        self.addCleanup(front.stop)

        # The page over HTTPS with the depot's certificate.
        context = ssl.create_default_context(cafile=os.path.join(certs, "depot-ca.crt"))
        with urllib.request.urlopen("https://127.0.0.1:%d/depot.css" % ws_port, context=context, timeout=5) as answer:
            self.assertEqual(answer.read().decode(), STYLE)

        # A vehicle's bridge: TLS with its own certificate, logged in under its id. Without a
        # certificate the broker ends the connection (with TLS 1.3 possibly after the handshake).
        def vehicle_connects(certificate):
            client = mqtt.Client(client_id="vovadudozad-bus-0001")
            client.tls_set(ca_certs=os.path.join(certs, "depot-ca.crt"),
                           certfile=os.path.join(certs, "vehicle.crt") if certificate else None,
                           keyfile=os.path.join(certs, "vehicle.key") if certificate else None)
            client.username_pw_set("bus-0001", "bus-0001-pw")
            answers = []
            client.on_connect = lambda c, u, f, rc: answers.append(rc)
            try:
                client.connect("127.0.0.1", mqtt_port)
                for _ in range(20):
                    if answers or client.loop(timeout=0.1) != mqtt.MQTT_ERR_SUCCESS:
                        break
                client.disconnect()
            except (ssl.SSLError, OSError):
                pass
            return answers == [0]
        self.assertTrue(vehicle_connects(True))
        self.assertFalse(vehicle_connects(False), "require_certificate: a bridge without a certificate got in")

        # The page's connection: MQTT over secure websockets with a depot user, through the front.
        page = mqtt.Client(client_id="viewer:page", transport="websockets")
        page.ws_set_options(path="/", headers={"Sec-Websocket-Protocol": harness.FRONT_SUBPROTOCOL})
        page.tls_set(ca_certs=os.path.join(certs, "depot-ca.crt"))
        page.username_pw_set("viewer", "viewer-pw")
        answers = []
        page.on_connect = lambda c, u, f, rc: answers.append(rc)
        page.connect("127.0.0.1", ws_port)
        page.loop_start()
        self.addCleanup(page.loop_stop)
        self.assertTrue(wait_until(lambda: answers, 5), "no answer over wss")
        self.assertEqual(answers, [0])
        page.disconnect()

        # The depot's services on this host: plain MQTT with a depot login, on the loopback
        # interface only (the snippet's own address, unlike the bridges', is kept above).
        self.assertEqual(listening_addresses(local_port), {"0100007F"})
        for password, answers in (("exporter-pw", (0,)), ("wrong", (4, 5))):
            exporter = Client(local_port, "exporter", password)
            self.addCleanup(exporter.close)
            self.assertIn(exporter.wait_connack(), answers, password)


class LocalBroker(unittest.TestCase):
    """depotbroker.py's local run of the shipped settings, with an emulated fleet."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="depotinfra-local.")
        web = os.path.join(cls.tmp, "web")
        make_page(web)
        cls.broker = harness.DepotBroker(web_dir=web, vehicles=["bus-0001", "bus-0002"],
                                         users={"operator": "op-pw", "viewer": "viewer-pw"}).start()
        try:
            cls.emulator = harness.Emulator(cls.broker, FLEET, ["--heartbeat-sec", "0", "--changes-per-sec", "0"])
        except BaseException:
            cls.broker.stop()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.emulator.stop()
        cls.broker.stop()
        shutil.rmtree(cls.tmp, True)

    def client(self, user, password=None, subscribe=(), transport="tcp", port=None):
        port = port or (self.broker.ws_port if transport == "websockets" else self.broker.mqtt_port)
        client = Client(port, user, password or self.broker.passwords[user], subscribe, transport=transport)
        self.addCleanup(client.close)
        return client

    def test_page_served_on_loopback_only(self):
        for name, text in (("index.html", PAGE), ("depot.css", STYLE)):
            with urllib.request.urlopen(self.broker.url + name, timeout=5) as answer:
                self.assertEqual(answer.status, 200)
                self.assertEqual(answer.read().decode(), text)
        with self.assertRaises(urllib.error.HTTPError):
            urllib.request.urlopen(self.broker.url + "missing.js", timeout=5)
        # 127.0.0.1 in /proc/net/tcp; without "socket_domain ipv4" the websockets listener
        # would listen on every interface.
        for port in (self.broker.mqtt_port, self.broker.ws_port, self.broker.local_port):
            self.assertEqual(listening_addresses(port), {"0100007F"}, "port %d" % port)

    def test_whole_fleet_for_a_page(self):
        expected = FLEET * 5
        page = self.client("viewer", subscribe=["fleet/#"], transport="websockets")
        self.assertTrue(page.wait_for(lambda c: len(c.received) >= expected, 20),
                        "%d of %d retained messages" % (len(page.received), expected))
        vehicles = {}
        for topic, _, retained in page.received:
            self.assertTrue(retained, topic)
            vid, _, rest = topic[len("fleet/"):].partition("/")
            vehicles.setdefault(vid, set()).add(rest)
        self.assertEqual(len(vehicles), FLEET)
        for vid, topics in vehicles.items():
            self.assertEqual(topics, {"bridge", "ui/info", "ui/config", "ui/status", "ui/diagnostics"}, vid)

    def test_access_list(self):
        # The exporter on the listener for the depot's services: the same access list applies there.
        watcher = self.client("exporter", subscribe=["fleet/bus-0001/#", "fleet/bus-0002/#", "fleet/viewer/#"],
                              port=self.broker.local_port)
        self.assertTrue(watcher.wait_for(lambda c: "fleet/bus-0001/ui/status" in c.last, 10))
        watcher.publish("fleet/bus-0001/ui/screenshot/get", b"exporter")
        viewer = self.client("viewer")
        viewer.publish("fleet/bus-0001/ui/screenshot/get", b"viewer")
        viewer.publish("fleet/viewer/ui/status", b'{"service": true}')
        operator = self.client("operator")
        operator.publish("fleet/bus-0001/ui/config/set", b'{"gui": {}}')
        operator.publish("fleet/bus-0001/ui/screenshot/get", b"operator")
        # The vehicle's bridge identities: bus-0002 writes its own prefix, never bus-0001's.
        bus2 = self.client("bus-0002")
        bus2.publish("fleet/bus-0001/ui/status", b'{"screen": "forged"}')
        bus2.publish("fleet/bus-0002/ui/info", b'{"version": "own"}')
        self.assertTrue(watcher.wait_for(lambda c: c.last.get("fleet/bus-0002/ui/info") == b'{"version": "own"}'))
        self.assertTrue(watcher.wait_for(lambda c: c.last.get("fleet/bus-0001/ui/screenshot", b"")[:4] == b"\x89PNG"),
                        "the operator's request got no screenshot")
        got = [(t, p) for t, p, _ in watcher.received]
        self.assertIn(("fleet/bus-0001/ui/screenshot/get", b"operator"), got)
        self.assertNotIn(("fleet/bus-0001/ui/screenshot/get", b"viewer"), got)
        self.assertNotIn(("fleet/bus-0001/ui/screenshot/get", b"exporter"), got)
        self.assertNotIn(("fleet/viewer/ui/status", b'{"service": true}'), got)
        self.assertNotIn(("fleet/bus-0001/ui/config/set", b'{"gui": {}}'), got)
        self.assertNotIn(b"forged", watcher.last["fleet/bus-0001/ui/status"])

    def test_logins_refused(self):
        for port in (self.broker.mqtt_port, self.broker.local_port):
            for user, password in (("operator", "wrong"), ("nobody", "x"), (None, None)):
                client = mqtt.Client()
                answers = []
                client.on_connect = lambda c, u, f, rc: answers.append(rc)
                if user:
                    client.username_pw_set(user, password)
                client.connect("127.0.0.1", port)
                client.loop_start()
                wait_until(lambda: answers, 5)
                client.loop_stop()
                self.assertIn(answers[:1], ([4], [5]), "login %r on port %d" % (user, port))

    def test_emulator_answers_and_takes_commands(self):
        vid = "bus-%04d" % (FLEET - 1)
        watcher = self.client("operator", subscribe=["fleet/%s/#" % vid])
        self.assertTrue(watcher.wait_for(lambda c: "fleet/%s/ui/status" % vid in c.last, 10))
        # The self-test as the program publishes it: all 35 values by name, and its time also in
        # seconds since 1970 (what the exporter reads for the overdue alert), the same instant.
        report = json.loads(watcher.last["fleet/%s/ui/diagnostics" % vid])
        self.assertEqual(len(report["values"]), 35)
        self.assertIs(type(report["timeSec"]), int)
        self.assertEqual(report["timeSec"], calendar.timegm(time.strptime(report["time"], "%Y-%m-%dT%H:%M:%SZ")))
        self.assertLess(time.time() - report["timeSec"], 31 * 86400)
        shots = lambda c: [p for t, p, _ in c.received if t.endswith("/ui/screenshot")]  # noqa: E731
        for _ in range(3):  # one picture, then one refusal for the two that come too soon
            watcher.publish("fleet/%s/ui/screenshot/get" % vid, b"")
        self.assertTrue(watcher.wait_for(lambda c: len(shots(c)) >= 2, 10))
        first, second = shots(watcher)[:2]
        self.assertEqual(first[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(first[16:24], bytes.fromhex("000001e000000320"), "480 x 800")
        self.assertEqual(json.loads(second), {"refused": "at most one screenshot every 2 s"})

        emulator = self.client("emulator")
        control = "fleet/%s/emulator" % vid
        # Malformed commands are ignored; the vehicle still obeys the next good one.
        for bad in (b"not json", b"[1, 2]", b'{"screen": 5}', b"{" + b" " * 5000 + b"}"):
            emulator.publish(control, bad)
        emulator.publish(control, json.dumps({"scan": "Invalid"}).encode())
        self.assertTrue(watcher.wait_for(
            lambda c: json.loads(c.last["fleet/%s/ui/status" % vid]).get("screen") == "Invalid"))
        emulator.publish(control, b'{"link": false}')
        self.assertTrue(watcher.wait_for(lambda c: c.last.get("fleet/%s/bridge" % vid) == b"0"))
        emulator.publish(control, b'{"link": true}')
        self.assertTrue(watcher.wait_for(lambda c: c.last.get("fleet/%s/bridge" % vid) == b"1"))


class AccessMatrix(unittest.TestCase):
    """Every login against every class of topic (read, write, retain, client id), as the access
    table of the depot's guide states them, on a broker of its own."""

    VEHICLE, OTHER = "bus-0001", "bus-0002"
    LOGINS = (VEHICLE, "operator", "viewer", "depot-tool", "exporter", "emulator")
    # Topics of bus-0001 unless named otherwise.
    STATE, REQUEST, SETTING, PICTURE = "ui/status", "ui/screenshot/get", "ui/config/set", "ui/screenshot"
    # What a subscriber to fleet/# receives: the vehicle's state, a request and a setting for it,
    # another vehicle's state.
    READS = {
        VEHICLE: {REQUEST, SETTING},
        "operator": {STATE, REQUEST, "other"},
        "viewer": {STATE, REQUEST, "other"},
        "depot-tool": {STATE, REQUEST, SETTING, "other"},
        "exporter": {STATE, REQUEST, "other"},
        "emulator": {STATE, REQUEST, SETTING, "other"},
    }
    # What reaches the vehicle's topics when the login publishes (not retained); "junk" is a
    # topic the fleet does not have, "large" a status over its size, "other" bus-0002's status.
    WRITES = {
        VEHICLE: {STATE, PICTURE},
        "operator": {REQUEST},
        "viewer": set(),
        "depot-tool": {REQUEST, SETTING},
        "exporter": set(),
        "emulator": {STATE, PICTURE, REQUEST, SETTING, "other"},
    }
    # What the broker keeps when the login publishes retained: only a vehicle's state.
    RETAINS = {VEHICLE: {STATE}, "emulator": {STATE}}

    @classmethod
    def setUpClass(cls):
        cls.tmp = world_readable_dir(tempfile.mkdtemp(prefix="depotinfra-access."))
        make_page(os.path.join(cls.tmp, "web"))
        cls.broker = depotbroker.DepotBroker(web_dir=os.path.join(cls.tmp, "web"),
                                             vehicles=[cls.VEHICLE, cls.OTHER]).start()

    @classmethod
    def tearDownClass(cls):
        cls.broker.stop()
        shutil.rmtree(cls.tmp, True)

    def client(self, user, subscribe=(), client_id=None):
        client = Client(self.broker.mqtt_port, user, self.broker.passwords[user], subscribe, client_id=client_id)
        self.addCleanup(client.close)
        self.assertEqual(client.wait_connack(), 0, "%s as %r" % (user, client_id))
        return client

    def connack(self, user, client_id):
        """The broker's answer to a login with a client id (no thread: a refused client of
        the library's threaded loop would retry after a pause)."""
        client = mqtt.Client(client_id=client_id)
        client.username_pw_set(user, self.broker.passwords[user])
        answers = []
        client.on_connect = lambda c, u, f, rc: answers.append(rc)
        client.connect("127.0.0.1", self.broker.mqtt_port)
        deadline = time.monotonic() + 10
        while not answers and time.monotonic() < deadline and client.loop(timeout=0.1) == mqtt.MQTT_ERR_SUCCESS:
            pass
        client.disconnect()
        return answers[0] if answers else None

    def topic(self, name, vehicle=VEHICLE):
        return "fleet/%s/%s" % (vehicle, name)

    def settle(self, *watchers):
        """Waits until every watcher has what the broker had to deliver so far: a marker
        published now arrives after it (the publishes before it were acknowledged, so the
        broker had queued them already). A watcher whose subscription is not in place yet
        misses a marker: another follows."""
        topic = self.topic("ui/info", self.OTHER)
        for _ in range(40):
            marker = os.urandom(6).hex().encode()
            self.marker_sender.publish(topic, marker)
            if all(watcher.wait_for(lambda c: c.last.get(topic) == marker, 0.5) for watcher in watchers):
                return
        self.fail("a marker never reached every watcher")

    def setUp(self):
        self.marker_sender = self.client("emulator")

    def reach_vehicle(self, reader):
        """Like settle, for a vehicle's reader, which reads only requests to itself."""
        marker = os.urandom(6).hex().encode()
        self.client("operator").publish(self.topic("ui/info/get"), marker)
        self.assertTrue(reader.wait_for(lambda c: c.last.get(self.topic("ui/info/get")) == marker))

    def name(self, topic):
        return "other" if topic.startswith("fleet/%s/" % self.OTHER) else topic[len(self.topic("")):]

    def test_read(self):
        readers = {user: self.client(user, ["fleet/#"]) for user in self.LOGINS}
        depot = [reader for user, reader in readers.items() if user != self.VEHICLE]
        self.settle(*depot)
        self.reach_vehicle(readers[self.VEHICLE])
        for name, sender in ((self.STATE, self.VEHICLE), (self.REQUEST, "operator"), (self.SETTING, "depot-tool")):
            self.client(sender).publish(self.topic(name), b'{"read": 1}')
        self.client(self.OTHER).publish(self.topic(self.STATE, self.OTHER), b'{"read": 1}')
        self.settle(*depot)
        self.reach_vehicle(readers[self.VEHICLE])
        seen = {user: {self.name(t) for t, p, _ in reader.received if p == b'{"read": 1}'}
                for user, reader in readers.items()}
        self.assertEqual(seen, self.READS)

    def test_write(self):
        watcher = self.client("emulator", ["fleet/#"])
        self.settle(watcher)
        big = b'{"pad": "%s"}' % (b"x" * 9000)
        for user in self.LOGINS:
            writer = self.client(user)
            for name in (self.STATE, self.PICTURE, self.REQUEST, self.SETTING, "ui/junk"):
                writer.publish(self.topic(name), user.encode())
            writer.publish(self.topic(self.STATE, self.OTHER), user.encode())
            writer.publish(self.topic(self.STATE), big)
        self.settle(watcher)
        arrived = {user: set() for user in self.LOGINS}
        for topic, payload, _ in watcher.received:
            if payload.decode(errors="replace") in arrived:
                arrived[payload.decode()].add(self.name(topic))
        self.assertEqual(arrived, self.WRITES)
        self.assertNotIn(big, [p for t, p, _ in watcher.received], "a status over its size got through")

    def test_retain(self):
        kept = {}
        for user in self.LOGINS:
            writer = self.client(user)
            body = ("%s kept" % user).encode()
            for name in (self.STATE, self.PICTURE, self.REQUEST, self.SETTING, "ui/junk"):
                writer.publish(self.topic(name), body, retain=True)
            late = self.client("emulator", ["fleet/%s/#" % self.VEHICLE, "fleet/%s/ui/info" % self.OTHER])
            self.settle(late)
            kept[user] = {self.name(t) for t, p, retained in late.received if retained and p == body}
            self.marker_sender.publish(self.topic(self.STATE), b"", retain=True)
        self.assertEqual(kept, {user: self.RETAINS.get(user, set()) for user in self.LOGINS})

    def test_client_ids(self):
        vehicle = self.client(self.VEHICLE, client_id="vovadudozad-" + self.VEHICLE)
        drops = []
        vehicle.client.on_disconnect = lambda *args: drops.append(args)
        bridge = "vovadudozad-" + self.VEHICLE
        for user in self.LOGINS:
            other = "viewer" if user != "viewer" else "operator"
            # "" lets the client library make up an id, as clients do that set none.
            for client_id, allowed in ((user, True), (user + ":page-1", True), (other + ":page-1", False),
                                       (other, False), (user + "-1", False), ("", False),
                                       (bridge, user == self.VEHICLE)):
                if client_id == bridge and allowed:
                    continue  # held by the vehicle above
                self.assertEqual(self.connack(user, client_id) == 0, allowed, "%s as %r" % (user, client_id))
        # Nobody pushed the vehicle off; two pages of one login stay side by side.
        pages = [self.client("operator", ["fleet/#"], client_id="operator:page-%d" % n) for n in (1, 2)]
        self.settle(*pages)
        vehicle.publish(self.topic(self.STATE), b'{"ids": 1}')
        for page in pages:
            self.assertTrue(page.wait_for(lambda c: c.last.get(self.topic(self.STATE)) == b'{"ids": 1}'))
        self.assertEqual(drops, [])


class ScreenshotRule(unittest.TestCase):
    """The emulator's screenshot answers follow the program's rule, on a clock the test moves."""

    def test_one_picture_every_two_seconds(self):
        from vehicle_emulator import REFUSED_PIN, REFUSED_TOO_SOON, ScreenshotGate
        now = [100.0]
        gate = ScreenshotGate(clock=lambda: now[0])
        answers = []
        for at, screen in ((0.0, "ScanScreens"), (0.5, "ScanScreens"), (1.0, "Valid"), (2.0, "ScanScreens"),
                           (2.1, "ScanScreens"), (3.0, "Login"), (4.2, "Login"), (6.0, "ScanScreens")):
            now[0] = 100.0 + at
            answers.append(gate.decide(screen))
        self.assertEqual(answers, ["picture", REFUSED_TOO_SOON, None, "picture", None, REFUSED_PIN,
                                   None, "picture"])


class EmulatorStops(unittest.TestCase):
    def test_links_go_down_on_exit(self):
        tmp = tempfile.mkdtemp(prefix="depotinfra-stop.")
        self.addCleanup(shutil.rmtree, tmp, True)
        make_page(os.path.join(tmp, "web"))
        with harness.DepotBroker(web_dir=os.path.join(tmp, "web")) as broker:
            emulator = harness.Emulator(broker, 4, ["--id-format", "tram-{:02d}"])
            self.addCleanup(emulator.stop, True)
            watcher = Client(broker.mqtt_port, "viewer", broker.passwords["viewer"], ["fleet/+/bridge"])
            self.addCleanup(watcher.close)
            links = lambda c: sorted(p for t, p in c.last.items())  # noqa: E731
            self.assertTrue(watcher.wait_for(lambda c: links(c) == [b"1"] * 4))
            self.assertEqual(emulator.stop(), 0, emulator.output())
            self.assertTrue(watcher.wait_for(lambda c: links(c) == [b"0"] * 4), links(watcher))


if __name__ == "__main__":
    unittest.main()
