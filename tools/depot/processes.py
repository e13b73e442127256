"""Ports, readiness and processes for the depot's local runs, tests and benchmarks.

Readiness is observed, never assumed after a pause: a port that accepts, an HTTP answer, a line
in a log. Every wait also watches the process it waits for, so a program that dies says so at
once instead of after the timeout. Timeouts are generous on purpose (a shared, busy machine
is slow, never wrong): they only bound how long a broken run takes to fail.

A Process runs in a process group of its own with its output in a log file; stop() ends the
whole group (SIGTERM, then SIGKILL), and whatever is still running when Python exits is
stopped too, so a failed test leaves nothing behind.
"""

import atexit
import os
import re
import signal
import socket
import subprocess
import time
import urllib.error
import urllib.request

LOOPBACK = "127.0.0.1"
# How long a readiness wait lasts by default: ample for a loaded 2-core machine.
READY_TIMEOUT = 60.0


class NotReady(RuntimeError):
    """A wait ended without seeing what it waited for."""


def free_port(host=LOOPBACK):
    """A port free on host now. Bound and released: the kernel does not hand it out again at
    once, so tests side by side do not meet (a start that loses the race tries another)."""
    with socket.socket() as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def port_open(port, host=LOOPBACK):
    try:
        with socket.create_connection((host, port), timeout=0.2):
            return True
    except OSError:
        return False


def wait_until(condition, timeout=READY_TIMEOUT, what="a condition", process=None, step=0.05):
    """Calls condition() until it returns something true and returns that. Raises NotReady at the
    deadline, or as soon as process (a Process or a Popen) has ended."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if process is not None and process.poll() is not None:
            raise NotReady("%s ended (%s) before %s" % (describe(process), process.poll(), what))
        if time.monotonic() >= deadline:
            raise NotReady("no %s within %.0f s" % (what, timeout))
        time.sleep(step)


def describe(process):
    return getattr(process, "name", None) or "process %d" % process.pid


def wait_port(port, timeout=READY_TIMEOUT, process=None, host=LOOPBACK):
    """Waits until something accepts on host:port."""
    wait_until(lambda: port_open(port, host), timeout, "listener on %s:%d" % (host, port), process)


def http_get(url, timeout=5.0):
    """The body of a GET (urllib's errors pass through)."""
    with urllib.request.urlopen(url, timeout=timeout) as answer:
        return answer.read()


def wait_http(url, timeout=READY_TIMEOUT, process=None):
    """Waits until url answers at all (any HTTP status counts: the server is up)."""
    def answers():
        try:
            http_get(url, timeout=2.0)
        except urllib.error.HTTPError:
            return True
        except (OSError, ValueError):
            return False
        return True
    wait_until(answers, timeout, "answer from %s" % url, process, step=0.1)


def read_log(path, offset=0, limit=None):
    try:
        with open(path, "rb") as log:
            log.seek(offset)
            text = log.read().decode("utf-8", "replace")
    except OSError:
        return ""
    return text[-limit:] if limit else text


def wait_log_line(path, pattern, timeout=READY_TIMEOUT, process=None, offset=0):
    """Waits until a line of the file at path (from byte offset) matches the regular expression
    pattern; returns the match."""
    regex = re.compile(pattern, re.M)
    return wait_until(lambda: regex.search(read_log(path, offset)), timeout,
                      "line /%s/ in %s" % (pattern, path), process, step=0.05)


# Started and not yet stopped, oldest first.
_running = []


class Process:
    """A started program in a process group of its own, its output appended to log.

    open_input: stdin is a pipe that stays open and silent (a program that stops at the end of
    its input keeps running). Has the Popen methods the callers need: pid, poll(), wait()."""

    def __init__(self, name, argv, log, env=None, cwd=None, open_input=False):
        self.name = name
        self.argv = list(argv)
        self.log = log
        os.makedirs(os.path.dirname(os.path.abspath(log)), exist_ok=True)
        with open(log, "ab") as out:
            # Where this run's lines begin: earlier runs into the same log do not count.
            self.log_offset = out.tell()
            self.popen = subprocess.Popen(self.argv, stdout=out, stderr=subprocess.STDOUT,
                                          stdin=subprocess.PIPE if open_input else subprocess.DEVNULL,
                                          env=env, cwd=cwd, start_new_session=True)
        _running.append(self)

    @property
    def pid(self):
        return self.popen.pid

    def poll(self):
        return self.popen.poll()

    def wait(self, timeout=None):
        return self.popen.wait(timeout)

    def alive(self):
        return self.popen.poll() is None

    def output(self, limit=4000):
        """The end of what this run wrote."""
        return read_log(self.log, self.log_offset, limit)

    def wait_line(self, pattern, timeout=READY_TIMEOUT):
        """Waits for a line of this run's output matching pattern; returns the match."""
        try:
            return wait_log_line(self.log, pattern, timeout, self, self.log_offset)
        except NotReady as error:
            raise NotReady("%s\n--- %s:\n%s" % (error, self.log, self.output())) from None

    def wait_port(self, port, timeout=READY_TIMEOUT, host=LOOPBACK):
        try:
            wait_port(port, timeout, self, host)
        except NotReady as error:
            raise NotReady("%s\n--- %s:\n%s" % (error, self.log, self.output())) from None

    def signal(self, sig):
        """Sends sig to the process group, if the process still runs."""
        if self.alive():
            try:
                os.killpg(self.popen.pid, sig)
            except ProcessLookupError:
                # It ended between the check and the signal.
                pass

    def stop(self, kill=False, timeout=10.0):
        """Ends the process group: SIGTERM (a clean stop) or SIGKILL (a power cut), then SIGKILL
        after timeout. Returns the exit status."""
        try:
            if self.alive():
                self.signal(signal.SIGKILL if kill else signal.SIGTERM)
                try:
                    self.popen.wait(timeout)
                except subprocess.TimeoutExpired:
                    self.signal(signal.SIGKILL)
                    self.popen.wait()
            # What the leader started and left behind in its group goes too.
            try:
                os.killpg(self.popen.pid, signal.SIGKILL)
            except (ProcessLookupError, PermissionError):
                pass
        finally:
            if self.popen.stdin:
                self.popen.stdin.close()
            if self in _running:
                _running.remove(self)
        return self.popen.returncode


def stop_all():
    """Stops every Process still running, last started first."""
    for process in reversed(list(_running)):
        process.stop(timeout=5.0)


atexit.register(stop_all)
