"""What the depot infrastructure tests share: the repository's tools on the path, and an MQTT
client that remembers what it received."""

import os
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tools", "depot"))
sys.path.insert(0, os.path.join(ROOT, "tools", "vehicle-emulator"))

import paho.mqtt.client as mqtt  # noqa: E402

EMULATOR = os.path.join(ROOT, "tools", "vehicle-emulator", "vehicle_emulator.py")


class Client:
    """A logged-in MQTT client; keeps every message by topic (the last one) and in order."""

    def __init__(self, port, user=None, password=None, subscribe=(), host="127.0.0.1", transport="tcp",
                 client_id=None):
        self.lock = threading.Condition()
        self.last = {}
        self.received = []
        self.connack = None
        # The depot broker ties a client id to its login: "<login>:" and anything after it.
        if client_id is None:
            client_id = "%s:test-%s" % (user, os.urandom(4).hex()) if user else ""
        self.client = mqtt.Client(client_id=client_id, transport=transport)
        if user:
            self.client.username_pw_set(user, password)
        self.client.on_connect = self._on_connect
        self.client.on_message = self._on_message
        self.subscriptions = list(subscribe)
        self.client.connect(host, port, keepalive=10)
        self.client.loop_start()

    def _on_connect(self, client, userdata, flags, rc):
        with self.lock:
            self.connack = rc
            self.lock.notify_all()
        if rc == 0:
            for topic in self.subscriptions:
                client.subscribe(topic, 1)

    def _on_message(self, client, userdata, message):
        with self.lock:
            self.last[message.topic] = message.payload
            self.received.append((message.topic, message.payload, message.retain))
            self.lock.notify_all()

    def wait_connack(self, timeout=5.0):
        with self.lock:
            self.lock.wait_for(lambda: self.connack is not None, timeout)
            return self.connack

    def wait_for(self, predicate, timeout=10.0):
        """Waits until predicate(self) holds; returns whether it did."""
        with self.lock:
            return self.lock.wait_for(lambda: predicate(self), timeout)

    def publish(self, topic, payload, retain=False):
        self.client.publish(topic, payload, qos=1, retain=retain).wait_for_publish(timeout=5)

    def close(self):
        self.client.disconnect()
        self.client.loop_stop()


def world_readable_dir(parent):
    """A folder the broker's own user can read (mosquitto started by root serves the page as
    "mosquitto")."""
    os.chmod(parent, 0o755)
    return parent


def wait_until(predicate, timeout=10.0, step=0.05):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return predicate()
