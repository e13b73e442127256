"""What the depot page's browser tests and its benchmark stand on: a central broker serving the
page, emulated vehicles on it, and a headless Chromium driven by Selenium."""

import os
import subprocess
import sys
import threading

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
WEB_DIR = os.path.join(ROOT, "depot", "web")
sys.path.insert(0, os.path.join(ROOT, "tools", "depot"))
import harness  # noqa: E402

PASSWORDS = {"operator": "operator-pw", "viewer": "viewer-pw", "emulator": "emulator-pw"}


def require_vendor():
    if not os.path.isfile(os.path.join(WEB_DIR, "vendor", "mqtt.min.js")):
        raise RuntimeError("depot/web/vendor/mqtt.min.js is missing: run scripts/depot-web-deps first")


def wait_for(condition, timeout=harness.READY_TIMEOUT, step=0.05, what="a condition"):
    """Polls until condition() is truthy and returns its value; fails after timeout (generous:
    CTest runs this beside other tests on a shared machine)."""
    try:
        return harness.wait_until(condition, timeout, what, step=step)
    except harness.NotReady as error:
        raise AssertionError(str(error)) from None


class Broker:
    """The depot's central broker from its shipped configuration, on free loopback ports
    (tools/depot/harness.py): plain MQTT for the vehicles, websockets serving the page.
    Retained messages outlive a restart, as on a depot's broker."""

    def __init__(self):
        self.depot = harness.DepotBroker(web_dir=WEB_DIR, users=dict(PASSWORDS), persist=True)
        self.depot.__enter__()
        self.mqtt_port = self.depot.mqtt_port
        self.ws_port = self.depot.ws_port
        self.url = self.depot.url

    @property
    def pid(self):
        return self.depot.process.pid

    def restart_later(self, down_sec):
        """Restarts the broker on the same ports in the background, down for down_sec."""
        thread = threading.Thread(target=self.depot.restart, kwargs={"down_sec": down_sec})
        thread.start()
        return thread

    def close(self):
        self.depot.stop()


class Emulator:
    """The vehicle emulator as a child process, ready once it says so."""

    def __init__(self, broker, count, extra=()):
        self.proc = harness.Emulator(broker.depot, count, extra)

    def stop(self):
        self.proc.stop()


def publish(broker, topic, payload, retain=False, user="emulator"):
    """One message from the command line client, as a vehicle's bridge would send it."""
    args = ["mosquitto_pub", "-h", "127.0.0.1", "-p", str(broker.mqtt_port), "-u", user,
            "-P", PASSWORDS[user], "-t", topic, "-q", "1"]
    if retain:
        args.append("-r")
    if isinstance(payload, str):
        payload = payload.encode()
    if not payload:
        subprocess.run(args + ["-n"], check=True, timeout=30)
    else:
        subprocess.run(args + ["-s"], input=payload, check=True, timeout=30)


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
