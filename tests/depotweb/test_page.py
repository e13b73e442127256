"""The depot page in a real headless Chromium against a real mosquitto serving it, with three
emulated vehicles: what the people in a depot see, and that nothing a vehicle sends can break it.
One broker, one emulator and one browser for the whole file."""

import json
import re
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import rig  # noqa: E402
import harness  # noqa: E402  (tools/depot, on the path through rig)

from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
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
            # What a test sends as a vehicle would, with a client id the broker's guard accepts.
            cls.publisher = harness.Client(cls.broker.mqtt_port, "emulator", rig.PASSWORDS["emulator"])
            if cls.publisher.wait_connack() != 0:
                raise RuntimeError("the test's publisher was refused by the broker")
            cls.driver = rig.chromium()
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        if cls.driver:
            cls.driver.quit()
        if getattr(cls, "publisher", None):
            cls.publisher.close()
        if cls.emulator:
            cls.emulator.stop()
        cls.broker.close()

    # --- helpers ----------------------------------------------------------------------------
    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def publish(self, topic, payload, retain=False):
        self.publisher.publish(topic, payload, retain=retain)

    def control(self, vid, message):
        self.publish("fleet/%s/emulator" % vid, json.dumps(message))

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
        # A result left by an earlier test gives way to scanning, as on the vehicle.
        rig.wait_for(lambda: all(self.tile_text(v, "screen") == "ScanScreens" for v in self.tile_order()),
                     what="every vehicle scanning")
        for vid in ("bus-0001", "bus-0002", "bus-0003"):
            self.assertRegex(self.tile_text(vid, "version"), r"^\d+\.\d+\.\d+$")
            self.assertRegex(self.tile_text(vid, "latency"), r"^(p50 .* ms \u00b7 p99 .* ms|no results yet)$")
            self.assertRegex(self.tile_text(vid, "selftest"), r"^\u2713 passed (\d+ (min|h|d)|< 1 min) ago$")

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
        self.assertEqual(self.driver.find_element(By.ID, "filter-count").text, "1 of 3 shown")
        self.driver.find_element(By.ID, "filter").send_keys(Keys.CONTROL, "a", Keys.DELETE)
        rig.wait_for(lambda: len(self.tile_order()) == 3, what="every tile back")

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
        rows = rig.wait_for(lambda: self.js(
            "return Array.from(document.querySelectorAll('#detail-test tr')).map(r => r.cells[0].textContent);"),
            what="the self-test rows")
        self.assertEqual(len(rows), 35)
        self.assertEqual((rows[0], rows[9], rows[34]), ("deviceUid", "rtc", "serialPortTest"))
        # The configuration is asked of the broker when the view opens.
        rig.wait_for(lambda: '"validator"' in self.driver.find_element(By.ID, "detail-config").text,
                     what="the configuration")
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
        self.publish("fleet/bus-0003/ui/info", "", retain=True)
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
        self.publish("fleet/bus-0002/ui/status", json.dumps(status), retain=True)
        rig.wait_for(lambda: self.tile_text("bus-0002", "screen") == markup, what="the markup as text")
        self.assertEqual(self.js("return document.querySelectorAll('#tiles img, #tiles b').length;"), 0)
        self.assertIsNone(self.js("return window.injected;"))

        # Bidirectional overrides and isolates from a vehicle are taken out.
        status["screen"] = "Valid\u202e\u2066dilavnI"
        self.publish("fleet/bus-0002/ui/status", json.dumps(status), retain=True)
        rig.wait_for(lambda: self.tile_text("bus-0002", "screen") == "Valid  dilavnI", what="the overrides taken out")
        status["screen"] = markup
        self.publish("fleet/bus-0002/ui/status", json.dumps(status), retain=True)
        rig.wait_for(lambda: self.tile_text("bus-0002", "screen") == markup, what="the markup again")

        # Not JSON: that tile says so and keeps its last good state; the others go on.
        self.publish("fleet/bus-0002/ui/status", "{\"screen\": ", retain=True)
        rig.wait_for(lambda: self.tile_state("bus-0002") == "unreadable", what="bus-0002 unreadable")
        self.assertEqual(self.tile_text("bus-0002", "screen"), markup)
        # Nested far deeper than a status: the same, and the page does not walk it.
        self.publish("fleet/bus-0001/ui/status", '{"screen":' + "[" * 3000 + "]" * 3000 + "}", retain=True)
        rig.wait_for(lambda: self.tile_state("bus-0001") == "unreadable", what="bus-0001 unreadable")
        self.assertIn("nested deeper", self.tile_text("bus-0001", "flags"))
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

    # --- faults found in review ------------------------------------------------------------
    def focused_vehicle(self):
        return self.js("var t = document.activeElement && document.activeElement.closest('.tile');"
                       "return t ? t.dataset.vehicle : null;")

    def test_focused_tile_keeps_its_place_and_keyboard_focus(self):
        self.open_fleet()
        self.js("arguments[0].focus();", self.driver.find_element(By.CSS_SELECTOR, '[data-vehicle="bus-0003"] .tile-open'))
        # Its link drops: trouble goes first, but not the tile under the keyboard.
        self.control("bus-0003", {"link": False})
        rig.wait_for(lambda: self.tile_state("bus-0003") == "offline", what="bus-0003 offline")
        self.assertEqual(self.focused_vehicle(), "bus-0003")
        self.assertEqual(self.tile_order(), ["bus-0001", "bus-0002", "bus-0003"])
        self.assertEqual(self.counts(), "2 online \u00b7 1 offline")
        # Focus leaves the list: the order catches up.
        self.driver.find_element(By.ID, "filter").click()
        rig.wait_for(lambda: self.tile_order()[0] == "bus-0003", what="bus-0003 moved to the top")
        self.control("bus-0003", {"link": True})
        rig.wait_for(lambda: self.tile_order() == ["bus-0001", "bus-0002", "bus-0003"], what="the id order again")

    def test_detail_rewrites_only_changed_rows_and_keeps_a_selection(self):
        self.open_fleet()
        self.driver.find_element(By.CSS_SELECTOR, '[data-vehicle="bus-0001"] .tile-open').click()
        cell = "Array.from(document.querySelectorAll('#detail-status tr')).find(r => r.cells[0].textContent === arguments[0])"
        rig.wait_for(lambda: self.js("return !!(%s);" % cell, "technician"), what="the status rows")
        # Someone selects a value to copy it, and the vehicle's news goes on.
        self.js("var td = (%s).cells[1]; window.keptCell = td; window.screenCell = (%s).cells[1];"
                "var range = document.createRange(); range.selectNodeContents(td);"
                "getSelection().removeAllRanges(); getSelection().addRange(range);" % (cell, cell.replace("arguments[0]", "'screen'")),
                "technician")
        self.control("bus-0001", {"scan": "Invalid"})
        rig.wait_for(lambda: self.js("return (%s).cells[1].textContent;" % cell, "screen") == "Invalid",
                     what="the detail view to follow the scan")
        self.assertEqual(self.js("return getSelection().toString();"), "false")
        self.assertTrue(self.js("return window.keptCell.isConnected && (%s).cells[1] === window.screenCell;"
                                % cell.replace("arguments[0]", "'screen'")))
        self.driver.find_element(By.ID, "detail-close").click()

    def test_one_deep_message_marks_its_vehicle_and_the_page_goes_on(self):
        self.open_fleet()
        deep = '{"result":"pass","values":' + "[" * 4500 + "]" * 4500 + "}"
        self.publish("fleet/bus-0002/ui/diagnostics", deep, retain=True)
        try:
            rig.wait_for(lambda: self.tile_state("bus-0002") == "unreadable", what="bus-0002 unreadable")
            self.assertIn("nested deeper than 16 levels", self.tile_text("bus-0002", "flags"))
            # The client goes on: other vehicles' news still arrives, and a fresh page opens too.
            self.control("bus-0003", {"scan": "AlreadyValid"})
            rig.wait_for(lambda: self.tile_text("bus-0003", "screen") == "AlreadyValid", what="bus-0003 going on")
            rig.log_in(self.driver, self.broker)
            rig.wait_for(lambda: self.tile_state("bus-0002") == "unreadable" and self.tile_state("bus-0001") == "online",
                         what="a fresh page with the deep message")
            self.driver.find_element(By.CSS_SELECTOR, '[data-vehicle="bus-0002"] .tile-open').click()
            note = self.driver.find_element(By.ID, "detail-unreadable")
            rig.wait_for(note.is_displayed, what="the detail view's note")
            self.assertIn("diagnostics message was unreadable (nested deeper than 16 levels)", note.text)
            self.driver.find_element(By.ID, "detail-close").click()
        finally:
            self.control("bus-0002", {"diagnostics": "pass"})
            rig.wait_for(lambda: self.tile_state("bus-0002") == "online", what="bus-0002 readable again")

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


class LargeFleet(unittest.TestCase):
    """300 vehicles in a small window: only the tiles in view and a margin are in the document,
    and each still says its place in the whole fleet."""

    COUNT = 300

    @classmethod
    def setUpClass(cls):
        rig.require_vendor()
        cls.broker = rig.Broker()
        cls.emulator = None
        cls.driver = None
        try:
            cls.emulator = rig.Emulator(cls.broker, cls.COUNT, ["--changes-per-sec", "0", "--heartbeat-sec", "0"])
            cls.driver = rig.chromium(1000, 700)
        except BaseException:
            DepotPage.tearDownClass.__func__(cls)
            raise

    @classmethod
    def tearDownClass(cls):
        DepotPage.tearDownClass.__func__(cls)

    def listed(self):
        """[id, aria-posinset, aria-setsize] of the tiles in the document, in its order."""
        return self.driver.execute_script(
            "return Array.from(document.querySelectorAll('#tiles .tile')).map(t => "
            "[t.dataset.vehicle, +t.getAttribute('aria-posinset'), +t.getAttribute('aria-setsize')]);")

    def test_only_tiles_in_view_are_in_the_document(self):
        driver = self.driver
        rig.log_in(driver, self.broker)
        counts = driver.find_element(By.ID, "counts")
        rig.wait_for(lambda: counts.text.startswith("%d online \u00b7 0 offline" % self.COUNT), what="the whole fleet counted")
        first = rig.wait_for(self.listed, what="tiles")
        self.assertLess(len(first), self.COUNT / 2)
        self.assertEqual(first[0][1:], [1, self.COUNT])
        self.assertEqual([t[1] for t in first], list(range(1, len(first) + 1)))

        # The end of the list: the last vehicle, in its place of the whole fleet.
        def at_end():
            driver.execute_script("window.scrollTo(0, document.documentElement.scrollHeight);")
            return self.listed()[-1][1:] == [self.COUNT, self.COUNT]
        rig.wait_for(at_end, what="the last tile at the end")
        self.assertLess(len(self.listed()), self.COUNT / 2)
        driver.execute_script("window.scrollTo(0, 0);")
        rig.wait_for(lambda: self.listed()[0][1] == 1, what="the top of the list again")

        # By keyboard: Tab walks the fleet tile by tile, and the list follows.
        driver.execute_script("document.querySelector('#tiles .tile-open').focus();")
        actions = ActionChains(driver)
        for _ in range(60):
            actions.send_keys(Keys.TAB)
        actions.perform()
        rig.wait_for(lambda: driver.execute_script(
            "var t = document.activeElement.closest('.tile'); var r = t && t.getBoundingClientRect();"
            "return t && t.getAttribute('aria-posinset') === '61' && r.top >= 0 && r.bottom <= innerHeight;"),
            what="the 61st tile focused and in view")

        # The filter runs over the whole fleet, and the list's size follows it.
        driver.find_element(By.ID, "filter").send_keys("bus-02")
        rig.wait_for(lambda: driver.find_element(By.ID, "filter-count").text == "100 of %d shown" % self.COUNT,
                     what="the filter's count")
        rig.wait_for(lambda: {t[2] for t in self.listed()} == {100}, what="the list's size to follow the filter")


if __name__ == "__main__":
    unittest.main()
