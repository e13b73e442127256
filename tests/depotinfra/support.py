"""What the depot infrastructure tests share: the repository's tools on the path, and the depot
harness (tools/depot/harness.py) with its recording MQTT client and its waits."""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tools", "depot"))
sys.path.insert(0, os.path.join(ROOT, "tools", "vehicle-emulator"))

import paho.mqtt.client as mqtt  # noqa: E402,F401

import harness  # noqa: E402
from harness import EMULATOR, Client  # noqa: E402,F401


def wait_until(predicate, timeout=harness.READY_TIMEOUT, step=0.05):
    """Whether predicate() came true within timeout."""
    try:
        return bool(harness.wait_until(predicate, timeout, step=step))
    except harness.NotReady:
        return False


def world_readable_dir(parent):
    """A folder the broker's own user can read when a test hands a configuration of its own to
    mosquitto started by root (the harness's brokers need none of this)."""
    os.chmod(parent, 0o755)
    return parent
