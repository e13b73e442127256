"""The depot page in a real headless Chromium against a real mosquitto serving it, with three
emulated vehicles: what the people in a depot see, and that nothing a vehicle sends can break it.
One broker, one emulator and one browser for the whole file."""

import datetime
import json
import re
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import rig  # noqa: E402

from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402


class DepotPage(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        rig.require_vendor()
        cls.broker = rig.Broker()
        cls.emulator = None
        cls.driver = None
        try:
            # No heartbeats and no random passengers: every change on the page is one a test made.
            cls.emulator = rig.Emulator(cls.broker, 3, ["--changes-per-sec", "0", "--heartbeat-sec", "0"])
            cls.driver = rig.chromium()
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        if cls.driver:
            cls.driver.quit()
        if cls.emulator:
            cls.emulator.stop()
        cls.broker.close()

    # --- helpers ----------------------------------------------------------------------------
    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def control(self, vid, message):
        rig.publish(self.broker, "fleet/%s/emulator" % vid, json.dumps(message))

    def tile_text(self, vid, field):
        return self.js("var t = document.querySelector('#tiles [data-vehicle=\"' + arguments[0] + '\"] "
                       "[data-field=\"' + arguments[1] + '\"]'); return t ? t.textContent : null;", vid, field)

    def tile_state(self, vid):
        return self.js("var t = document.querySelector('#tiles [data-vehicle=\"' + arguments[0] + '\"]');"
                       "return t ? t.dataset.state : null;", vid)

    def tile_order(self):
        return self.js("return Array.from(document.querySelectorAll('#tiles .tile')).map(t => t.dataset.vehicle);")

    def counts(self):
        return self.driver.find_element(By.ID, "counts").text

    def open_fleet(self):
        """A fresh page, signed in as the operator, with every vehicle's tile drawn."""
        rig.log_in(self.driver, self.broker)
        rig.wait_for(lambda: len(self.tile_order()) == 3, what="three tiles")
        # The self-test is the last kind the page subscribes to: once it shows, every kept
        # message has been read.
        rig.wait_for(lambda: all(self.tile_state(v) == "online" and "passed" in self.tile_text(v, "selftest")
                                 for v in self.tile_order()), what="three vehicles online with their self-tests")

    # --- what people see --------------------------------------------------------------------
    def test_tiles_follow_each_vehicle(self):
        self.open_fleet()
        self.assertEqual(self.tile_order(), ["bus-0001", "bus-0002", "bus-0003"])
        self.assertEqual(self.counts(), "3 online \u00b7 0 offline")
        for vid in ("bus-0001", "bus-0002", "bus-0003"):
            self.assertEqual(self.tile_text(vid, "screen"), "ScanScreens")
            self.assertRegex(self.tile_text(vid, "version"), r"^\d+\.\d+\.\d+$")
            self.assertRegex(self.tile_text(vid, "latency"), r"^(p50 .* ms \u00b7 p99 .* ms|no results yet)$")
            self.assertRegex(self.tile_text(vid, "selftest"), r"^\u2713 passed \d+ (h|d) ago$")

        # A passenger's scan on one vehicle changes its tile, and only its tile.
        results = self.tile_text("bus-0002", "results")
        self.control("bus-0002", {"scan": "Invalid"})
        rig.wait_for(lambda: self.tile_text("bus-0002", "screen") == "Invalid", what="the scan on bus-0002")
        self.assertNotEqual(self.tile_text("bus-0002", "results"), results)
        self.assertEqual(self.tile_text("bus-0001", "screen"), "ScanScreens")

        # The link drops: offline at once, said in words, counted, and moved to the top.
        self.control("bus-0003", {"link": False})
        rig.wait_for(lambda: self.tile_state("bus-0003") == "offline", what="bus-0003 offline")
        self.assertIn("Offline", self.tile_text("bus-0003", "state"))
        self.assertIn("link lost", self.tile_text("bus-0003", "flags"))
        self.assertEqual(self.tile_order()[0], "bus-0003")
        self.assertEqual(self.counts(), "2 online \u00b7 1 offline")
        # The filter finds the trouble by the word on its tile.
        self.driver.find_element(By.ID, "filter").send_keys("offline")
        rig.wait_for(lambda: self.js("return Array.from(document.querySelectorAll('#tiles .tile'))"
                                     ".filter(t => !t.hidden).map(t => t.dataset.vehicle);") == ["bus-0003"],
                     what="the filter to leave bus-0003 alone")

        self.control("bus-0003", {"link": True})
        rig.wait_for(lambda: self.tile_state("bus-0003") == "online", what="bus-0003 back online")
        rig.wait_for(lambda: self.tile_order() == ["bus-0001", "bus-0002", "bus-0003"], what="the id order again")
        # The result screen gives way to scanning again, as on the vehicle.
        rig.wait_for(lambda: self.tile_text("bus-0002", "screen") == "ScanScreens", what="bus-0002 scanning again")

    def test_screenshot_is_shown_or_its_refusal(self):
        self.open_fleet()
        # By keyboard: a tile is a button, Enter opens its detail and Escape closes it.
        self.driver.find_element(By.CSS_SELECTOR, '[data-vehicle="bus-0001"] .tile-open').send_keys(Keys.ENTER)
        dialog = self.driver.find_element(By.ID, "detail")
        rig.wait_for(dialog.is_displayed, what="the detail view")
        self.assertEqual(self.driver.find_element(By.ID, "detail-title").text, "bus-0001")
        # The self-test's 35 values in the report's order, and the configuration as published.
        rows = self.js("return Array.from(document.querySelectorAll('#detail-test tr')).map(r => r.cells[0].textContent);")
        self.assertEqual(len(rows), 35)
        self.assertEqual((rows[0], rows[9], rows[34]), ("deviceUid", "rtc", "serialPortTest"))
        self.assertIn('"validator"', self.driver.find_element(By.ID, "detail-config").text)
        status = self.js("return Array.from(document.querySelectorAll('#detail-status tr')).map(r => r.cells[0].textContent);")
        for name in ("screen", "uptimeSec", "resultsShown", "time", "technician", "service"):
            self.assertIn(name, status)

        button = self.driver.find_element(By.ID, "shot-button")
        button.click()
        size = rig.wait_for(lambda: self.js(
            "var i = document.getElementById('shot-image');"
            "return !i.hidden && i.complete && i.naturalWidth ? [i.naturalWidth, i.naturalHeight] : null;"),
            what="the screenshot")
        self.assertEqual(size, [480, 800])
        self.assertTrue(self.js("return document.getElementById('shot-image').src.startsWith('blob:');"))
        # A second request within 2 s: the vehicle's refusal, said in words.
        rig.wait_for(button.is_enabled, what="the button back")
        button.click()
        message = rig.wait_for(lambda: "Refused" in self.driver.find_element(By.ID, "shot-message").text
                               and self.driver.find_element(By.ID, "shot-message").text, what="the refusal")
        self.assertEqual(message, "Refused by bus-0001: at most one screenshot every 2 s")
        button.send_keys(Keys.ESCAPE)
        rig.wait_for(lambda: not dialog.is_displayed(), what="the detail view to close")
        self.assertEqual(self.js("return document.activeElement.closest('.tile').dataset.vehicle;"), "bus-0001")

    def test_detail_asks_for_what_the_broker_does_not_hold(self):
        # As with a program that publishes its info only when asked: nothing kept.
        rig.publish(self.broker, "fleet/bus-0003/ui/info", "", retain=True)
        self.open_fleet()
        self.assertEqual(self.tile_text("bus-0003", "version"), "\u2014")
        self.assertEqual(self.tile_state("bus-0003"), "online")
        self.driver.find_element(By.CSS_SELECTOR, '[data-vehicle="bus-0003"] .tile-open').click()
        rig.wait_for(lambda: re.match(r"^\d+\.\d+\.\d+$", self.tile_text("bus-0003", "version")),
                     what="bus-0003's answer to info/get")
        rows = self.js("return Array.from(document.querySelectorAll('#detail-status tr')).map(r => r.cells[0].textContent);")
        self.assertIn("info.version", rows)
        self.driver.find_element(By.ID, "detail-close").click()

    def test_stylesheet_is_taken_and_follows_the_system_theme(self):
        # The broker serves files with no Content-Type: the stylesheet must still apply.
        self.driver.get(self.broker.url)
        background = "return getComputedStyle(document.body).backgroundColor;"
        try:
            for scheme, colour in (("light", "rgb(244, 245, 247)"), ("dark", "rgb(20, 23, 27)")):
                self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                                            {"features": [{"name": "prefers-color-scheme", "value": scheme}]})
                self.assertEqual(self.js(background), colour, scheme)
        finally:
            self.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})

    def test_vehicle_text_is_shown_as_text_and_bad_messages_stay_on_their_tile(self):
        self.open_fleet()
        markup = '<b>Valid</b><img src=x onerror=injected=1>'
        status = {"technician": False, "service": True, "screen": markup, "uptimeSec": 10, "resultsShown": 1,
                  "time": "2026-12-07T10:00:00Z"}
        rig.publish(self.broker, "fleet/bus-0002/ui/status", json.dumps(status), retain=True)
        rig.wait_for(lambda: self.tile_text("bus-0002", "screen") == markup, what="the markup as text")
        self.assertEqual(self.js("return document.querySelectorAll('#tiles img, #tiles b').length;"), 0)
        self.assertIsNone(self.js("return window.injected;"))

        # Not JSON: that tile says so and keeps its last good state; the others go on.
        rig.publish(self.broker, "fleet/bus-0002/ui/status", "{\"screen\": ", retain=True)
        rig.wait_for(lambda: self.tile_state("bus-0002") == "unreadable", what="bus-0002 unreadable")
        self.assertEqual(self.tile_text("bus-0002", "screen"), markup)
        # Far too large for a status: the same, and the page does not try to read it.
        rig.publish(self.broker, "fleet/bus-0001/ui/status", "[" + "1," * 40000 + "1]", retain=True)
        rig.wait_for(lambda: self.tile_state("bus-0001") == "unreadable", what="bus-0001 unreadable")
        self.assertIn("too large", self.tile_text("bus-0001", "flags"))
        self.assertEqual(self.tile_text("bus-0001", "screen"), "ScanScreens")
        self.control("bus-0003", {"scan": "AlreadyValid"})
        rig.wait_for(lambda: self.tile_text("bus-0003", "screen") == "AlreadyValid", what="bus-0003 going on")
        self.assertEqual(self.counts(), "3 online \u00b7 0 offline \u00b7 2 unreadable")

        # A good status again clears it.
        self.control("bus-0001", {"scan": "Valid"})
        self.control("bus-0002", {"scan": "Valid"})
        rig.wait_for(lambda: self.tile_state("bus-0001") == "online" and self.tile_state("bus-0002") == "online",
                     what="both readable again")

    def test_viewer_sees_the_fleet_but_may_not_ask_for_screens(self):
        rig.log_in(self.driver, self.broker, user="viewer")
        rig.wait_for(lambda: self.tile_text("bus-0002", "screen") == "ScanScreens", what="the viewer's tiles")
        self.driver.find_element(By.CSS_SELECTOR, '[data-vehicle="bus-0002"] .tile-open').click()
        self.driver.find_element(By.ID, "shot-button").click()
        message = self.driver.find_element(By.ID, "shot-message")
        rig.wait_for(lambda: "Could not" in message.text, what="the broker's refusal")
        self.assertEqual(message.text, "Could not ask bus-0002: this user may not ask for screenshots")
        self.assertTrue(self.driver.find_element(By.ID, "shot-image").get_attribute("hidden"))

    def test_wrong_password_is_refused_in_words(self):
        rig.log_in(self.driver, self.broker, password="not-the-password")
        error = self.driver.find_element(By.ID, "login-error")
        rig.wait_for(error.is_displayed, what="the login error")
        self.assertIn("refused this user name or password", error.text)
        self.assertFalse(self.driver.find_element(By.ID, "fleet-view").is_displayed())

    # --- the state module's rules, run in the page's own scripts ------------------------------
    def feed(self, messages, now_ms=1796680000000):
        """Feeds [topic, payload, retained, offset ms] to a fresh fleet state in the page and
        returns each vehicle's state and assessment at now_ms."""
        return self.js("""
            var store = Fleet.create(), now = arguments[1], enc = new TextEncoder();
            arguments[0].forEach(function (m) { store.handle(m[0], enc.encode(m[1]), m[2], now + (m[3] || 0)); });
            var out = {};
            store.vehicles.forEach(function (e, id) {
                out[id] = { entry: JSON.parse(JSON.stringify(e)), assess: Fleet.assess(e, now) };
            });
            return out;""", messages, now_ms)

    def test_fleet_state_keeps_good_data_and_judges_trouble(self):
        self.driver.get(self.broker.url)
        now = 1796680000000  # a fixed clock: the page's own is not used

        def iso(ms):
            return datetime.datetime.fromtimestamp(ms / 1000, datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")

        def status(**members):
            return json.dumps(dict({"service": True, "screen": "ScanScreens", "time": iso(now)}, **members))
        good = status()
        got = self.feed([
            # Wrong types are left out, not shown wrong; the rest of the message is kept.
            ["fleet/types/ui/status", json.dumps({"screen": 5, "uptimeSec": "9", "technician": "yes",
                                                  "service": True, "resultsShown": 3}), False],
            # A bad message keeps the last good one and says so; a good one clears that.
            ["fleet/bad/ui/status", good, True], ["fleet/bad/ui/status", "{", True],
            ["fleet/mended/ui/status", "[]", True], ["fleet/mended/ui/status", good, True],
            ["fleet/huge/ui/info", "x" * (64 * 1024 + 1), True],
            # An empty retained message clears the kept one: nothing known, nothing unreadable.
            ["fleet/cleared/ui/info", "{", True], ["fleet/cleared/ui/info", "", True],
            ["fleet/odd/bridge", "yes", True],
            # Heard from long ago and not since, though the link is up: silent.
            ["fleet/silent/bridge", "1", True],
            ["fleet/silent/ui/status", status(time=iso(now - 100000)), True],
            # A program that sends no time sends no heartbeat: quiet for long, still online.
            ["fleet/quiet/bridge", "1", True],
            ["fleet/quiet/ui/status", json.dumps({"service": True, "screen": "ScanScreens"}), False, -100000],
            # A program stopped on purpose publishes nothing more: out of order, not silent.
            ["fleet/stopped/ui/status", json.dumps({"technician": False, "service": False}), True],
            ["fleet/lost/bridge", "1", True], ["fleet/lost/ui/status", status(), True], ["fleet/lost/bridge", "0", False],
            ["fleet/broken/ui/status", status(screen="OutOfOrder"), True],
            ["fleet/failed/ui/diagnostics", json.dumps({"result": "fail", "values": {"leds": "ERROR"}}), True],
            ["fleet/slow/ui/status", status(display={"resultFrameMsP50": 20, "resultFrameMsP99": 140.5}), True],
            ["fleet/fine/ui/status", status(technician=True), True],
            # A vehicle clock far ahead is not believed: a kept status is then as old as its arrival.
            ["fleet/ahead/ui/status", status(time=iso(now + 3600000)), True],
            # Not a vehicle's topic, or not one the tiles read: ignored.
            ["fleet/x/ui/status/get", good, False], ["fleet//bridge", "1", True], ["other/x/bridge", "1", True],
            ["fleet/x/ui/screenshot", "png", False],
        ], now)
        self.assertEqual(sorted(got), sorted(["types", "bad", "mended", "huge", "cleared", "odd", "silent", "quiet",
                                              "stopped", "lost", "broken", "failed", "slow", "fine", "ahead"]))
        self.assertEqual((got["quiet"]["entry"]["lastSeen"], got["quiet"]["assess"]["key"]), (now - 100000, "online"))
        self.assertEqual((got["cleared"]["entry"]["info"], got["cleared"]["entry"]["unreadable"]), (None, {}))
        types = got["types"]["entry"]["status"]
        self.assertEqual((types["screen"], types["uptimeSec"], types["technician"], types["resultsShown"]),
                         (None, None, None, 3))
        self.assertEqual(got["bad"]["entry"]["status"]["screen"], "ScanScreens")
        self.assertEqual(got["bad"]["assess"]["key"], "unreadable")
        self.assertEqual(got["bad"]["assess"]["troubles"], ["status unreadable (not JSON)"])
        self.assertEqual(got["mended"]["assess"]["key"], "online")
        self.assertEqual(got["huge"]["assess"]["troubles"], ["info too large (65537 bytes)"])
        self.assertEqual(got["odd"]["entry"]["bridge"], None)
        self.assertEqual(got["odd"]["assess"]["key"], "unreadable")
        self.assertEqual((got["silent"]["assess"]["key"], got["silent"]["assess"]["label"]), ("offline", "\u25cc Silent"))
        self.assertEqual(got["stopped"]["assess"]["key"], "outoforder")
        self.assertEqual(got["stopped"]["assess"]["troubles"], ["not in service"])
        self.assertEqual(got["lost"]["assess"]["troubles"], ["link lost"])
        self.assertEqual(got["broken"]["assess"]["key"], "outoforder")
        self.assertEqual(got["failed"]["assess"]["key"], "selftest")
        self.assertEqual(got["slow"]["assess"]["key"], "slow")
        self.assertEqual((got["fine"]["assess"]["key"], got["fine"]["assess"]["technician"]), ("online", True))
        self.assertEqual(got["ahead"]["entry"]["lastSeen"], now)
        # Trouble first, in this order: offline, unreadable, out of order, self-test, slow, fine.
        ranks = {k: v["assess"]["rank"] for k, v in got.items()}
        self.assertLess(ranks["lost"], ranks["bad"])
        self.assertEqual(ranks["lost"], ranks["silent"])
        self.assertLess(ranks["bad"], ranks["broken"])
        self.assertLess(ranks["broken"], ranks["failed"])
        self.assertLess(ranks["failed"], ranks["slow"])
        self.assertLess(ranks["slow"], ranks["fine"])

    def test_fleet_state_keeps_an_hour_of_result_times(self):
        self.driver.get(self.broker.url)
        base = 1796680000000
        messages = []
        # Live statuses every 10 s for 90 minutes: one sample per 20 s, the last hour only.
        for i in range(540):
            messages.append(["fleet/bus/ui/status", json.dumps({"display": {"resultFrameMsP50": i, "resultFrameMsP99": 2 * i}}),
                             False, i * 10000 - 5400000])
        history = self.feed(messages, base)["bus"]["entry"]["history"]
        times = [p["t"] for p in history]
        self.assertEqual(times, sorted(times))
        self.assertGreaterEqual(times[0], base - 10000 - 3600000)
        self.assertTrue(all(b - a >= 10000 for a, b in zip(times, times[1:])))
        self.assertLessEqual(len(history), 3600 // 10 // 2 + 2)
        self.assertEqual((history[-1]["p50"], history[-1]["p99"]), (539, 1078))

    def test_ages_are_redrawn_only_when_they_read_differently(self):
        self.driver.get(self.broker.url)
        minute, hour, day = 60000, 3600000, 86400000
        got = self.js("""
            return arguments[0].map(function (ms) { return [Tiles.age(ms), Tiles.ageChanges(0, ms)]; });""",
            [0, 59999, minute, 59 * minute + 1, hour, 47 * hour, 2 * day + 5])
        self.assertEqual(got, [["< 1 min ago", minute], ["< 1 min ago", minute], ["1 min ago", 2 * minute],
                               ["59 min ago", hour], ["1 h ago", 2 * hour], ["47 h ago", 48 * hour],
                               ["2 d ago", 3 * day]])

    def test_screenshot_answers_are_told_apart(self):
        self.driver.get(self.broker.url)
        got = self.js("""
            var enc = new TextEncoder();
            var png = new Uint8Array([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0, 0]);
            return [Detail.readAnswer(png), Detail.readAnswer(png.slice(0, 7)),
                    Detail.readAnswer(enc.encode('{"refused": "at most one screenshot every 2 s"}')),
                    Detail.readAnswer(enc.encode('{"refused": 5}')), Detail.readAnswer(enc.encode('GIF89a')),
                    Detail.readAnswer(new Uint8Array(2 * 1024 * 1024))];""")
        self.assertEqual([a["kind"] for a in got], ["png", "unreadable", "refused", "unreadable", "unreadable", "unreadable"])
        self.assertEqual(got[2]["text"], "at most one screenshot every 2 s")
        self.assertIn("too large", got[5]["text"])

    def test_z_broker_restart_greys_and_reconnects(self):
        # Last in the file: the emulator is left to find its own way back.
        self.open_fleet()
        banner = self.driver.find_element(By.ID, "banner")
        restart = self.broker.restart_later(down_sec=3)
        try:
            rig.wait_for(banner.is_displayed, what="the reconnecting banner")
            self.assertIn("reconnecting", banner.text)
            self.assertTrue(self.js("return document.getElementById('tiles').classList.contains('stale');"))
            self.assertEqual(len(self.tile_order()), 3)
        finally:
            restart.join()
        rig.wait_for(lambda: not banner.is_displayed(), timeout=15, what="the page to reconnect")
        self.assertFalse(self.js("return document.getElementById('tiles').classList.contains('stale');"))
        self.assertEqual(self.tile_text("bus-0001", "screen"), "ScanScreens")


if __name__ == "__main__":
    unittest.main()
