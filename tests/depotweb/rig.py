"""What the depot page's browser tests and its benchmark stand on: a central broker serving the
page, emulated vehicles on it, and a headless Chromium driven by Selenium."""

import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
WEB_DIR = os.path.join(ROOT, "depot", "web")
EMULATOR = os.environ.get("DEPOTWEB_EMULATOR") or os.path.join(ROOT, "tools", "vehicle-emulator", "vehicle_emulator.py")
PASSWORDS = {"operator": "operator-pw", "viewer": "viewer-pw", "emulator": "emulator-pw"}


def require_vendor():
    if not os.path.isfile(os.path.join(WEB_DIR, "vendor", "mqtt.min.js")):
        raise RuntimeError("depot/web/vendor/mqtt.min.js is missing: run scripts/depot-web-deps first")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(condition, timeout=10.0, step=0.05, what="a condition"):
    """Polls until condition() is truthy and returns its value; fails after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(step)


class Broker:
    """A central mosquitto on free loopback ports: plain MQTT for the vehicles, websockets
    serving the page. Restartable on the same ports, as a depot broker restarts."""

    def __init__(self, max_queued=100000):
        self.dir = tempfile.TemporaryDirectory(prefix="depotweb-")
        self.mqtt_port = free_port()
        self.ws_port = free_port()
        self.proc = None
        # Run as root, mosquitto drops to its own user after reading the configuration: the
        # folder and its files must be readable by that user.
        os.chmod(self.dir.name, 0o755)
        passwd = os.path.join(self.dir.name, "passwd")
        open(passwd, "w").close()
        for user, password in PASSWORDS.items():
            subprocess.run(["mosquitto_passwd", "-b", passwd, user, password], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        acl = os.path.join(self.dir.name, "acl")
        with open(acl, "w") as f:
            f.write("user operator\ntopic read fleet/#\n"
                    "topic write fleet/+/ui/status/get\ntopic write fleet/+/ui/info/get\n"
                    "topic write fleet/+/ui/config/get\ntopic write fleet/+/ui/screenshot/get\n\n"
                    "user viewer\ntopic read fleet/#\n\n"
                    "user emulator\ntopic readwrite fleet/#\n")
        self.conf = os.path.join(self.dir.name, "mosquitto.conf")
        with open(self.conf, "w") as f:
            f.write("per_listener_settings false\nallow_anonymous false\n"
                    "password_file %s\nacl_file %s\nmax_queued_messages %d\n"
                    "message_size_limit 262144\n"
                    "listener %d 127.0.0.1\n"
                    "listener %d\nprotocol websockets\nsocket_domain ipv4\nhttp_dir %s\n"
                    % (passwd, acl, max_queued, self.mqtt_port, self.ws_port, WEB_DIR))
        for name in (passwd, acl, self.conf):
            os.chmod(name, 0o644)
        self.start()

    @property
    def url(self):
        return "http://127.0.0.1:%d/" % self.ws_port

    def start(self):
        self.log = open(os.path.join(self.dir.name, "broker.log"), "ab")
        self.proc = subprocess.Popen(["mosquitto", "-c", self.conf], stdout=self.log, stderr=subprocess.STDOUT)
        for port in (self.mqtt_port, self.ws_port):
            wait_for(lambda: self._listening(port), timeout=10, what="the broker on port %d" % port)

    @staticmethod
    def _listening(port):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return True
        except OSError:
            return False

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None
        self.log.close()

    def close(self):
        self.stop()
        self.dir.cleanup()


class Emulator:
    """The vehicle emulator as a child process, ready once it says so."""

    def __init__(self, broker, count, extra=()):
        self.proc = subprocess.Popen(
            [sys.executable, EMULATOR, "--host", "127.0.0.1", "--port", str(broker.mqtt_port),
             "--username", "emulator", "--password", PASSWORDS["emulator"], "--count", str(count)] + list(extra),
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        lines = []
        for line in self.proc.stdout:
            lines.append(line)
            if line.startswith("ready:"):
                break
        else:
            raise RuntimeError("the vehicle emulator did not start:\n" + "".join(lines))

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stdout.close()


def publish(broker, topic, payload, retain=False, user="emulator"):
    """One message from the command line client, as a vehicle's bridge would send it."""
    args = ["mosquitto_pub", "-h", "127.0.0.1", "-p", str(broker.mqtt_port), "-u", user,
            "-P", PASSWORDS[user], "-t", topic, "-q", "1"]
    if retain:
        args.append("-r")
    if isinstance(payload, str):
        payload = payload.encode()
    subprocess.run(args + ["-s"], input=payload, check=True, timeout=10)


def chromium(width=1366, height=768, scheme=None):
    """A headless Chromium whose page area is exactly width x height CSS pixels."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--disable-extensions", "--no-first-run", "--window-size=%d,%d" % (width, height)):
        options.add_argument(arg)
    binary = "/usr/bin/chromium"
    if os.path.exists(binary):
        options.binary_location = binary
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
    if scheme:
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                               {"features": [{"name": "prefers-color-scheme", "value": scheme}]})
    return driver


def log_in(driver, broker, user="operator", password=None):
    from selenium.webdriver.common.by import By

    driver.get(broker.url)
    field = driver.find_element(By.ID, "login-user")
    field.clear()
    field.send_keys(user)
    driver.find_element(By.ID, "login-password").send_keys(PASSWORDS[user] if password is None else password)
    driver.find_element(By.ID, "login-submit").click()
