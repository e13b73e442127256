"""The alert rules and the depot page share their thresholds through depot/web/facts.json: the
page reads the file, the rules carry the same figures as numbers. This checks that they agree,
so a change made in one place only fails here rather than making the page and the alerts tell
different stories."""

import json
import os
import re
import unittest

import yaml

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
RULES = os.path.join(SOURCE_DIR, "packaging", "depot", "prometheus", "vovadudoz-fleet.rules.yml")
FACTS = os.path.join(SOURCE_DIR, "depot", "web", "facts.json")
LOOKBACK_SEC = 300  # Prometheus' default: a sample older than this is no longer seen


def seconds(duration):
    """A Prometheus duration ("90s", "2m", "1h30m") in seconds."""
    units = {"ms": 0.001, "s": 1, "m": 60, "h": 3600, "d": 86400, "w": 604800, "y": 31536000}
    parts = re.findall(r"(\d+)(ms|s|m|h|d|w|y)", duration)
    if not parts or "".join(n + u for n, u in parts) != duration:
        raise ValueError("not a duration: %r" % duration)
    return sum(int(n) * units[u] for n, u in parts)


class RulesFollowFacts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(FACTS) as f:
            cls.facts = json.load(f)
        with open(RULES) as f:
            rules = [r for g in yaml.safe_load(f)["groups"] for r in g["rules"]]
        cls.records = {r["record"]: r for r in rules if "record" in r}
        cls.alerts = {r["alert"]: r for r in rules if "alert" in r}

    def threshold(self, record):
        # "vector(30 * 86400)": a product of plain numbers, nothing else.
        match = re.fullmatch(r"\s*vector\(([0-9.\s*]+)\)\s*", self.records[record]["expr"])
        self.assertIsNotNone(match, "%s is not a constant" % record)
        value = 1.0
        for factor in match.group(1).split("*"):
            value *= float(factor)
        return value

    def test_thresholds_are_the_facts(self):
        rows = [
            ("vovadudoz:threshold_status_silence_seconds", self.facts["silentAfterSec"]),
            ("vovadudoz:threshold_result_frame_p99_seconds", self.facts["slowP99Ms"] / 1000.0),
            ("vovadudoz:threshold_selftest_age_seconds", self.facts["selfTestMaxAgeDays"] * 86400),
        ]
        for record, expected in rows:
            with self.subTest(record=record):
                self.assertAlmostEqual(self.threshold(record), expected)

    def test_silence_windows_are_the_silence(self):
        # The windows that tell a vehicle still heard from (readable or not) are the same
        # silence as the threshold: a range cannot be computed from a record.
        silent = self.facts["silentAfterSec"]
        for record in ("vovadudoz:vehicle_heard", "vovadudoz:vehicle_unreadable"):
            windows = re.findall(r"\[([0-9a-z]+)\]", self.records[record]["expr"])
            with self.subTest(record=record):
                self.assertTrue(windows)
                self.assertEqual({seconds(w) for w in windows}, {silent})

    def test_offline_alert(self):
        offline = self.alerts["VovadudozVehicleOffline"]
        self.assertEqual(seconds(offline["for"]), self.facts["offlineAlertForSec"])
        self.assertIn("%d seconds" % self.facts["silentAfterSec"], offline["annotations"]["description"])
        # Silent means several heartbeats missed, and still within what Prometheus looks back
        # on: past it the status is gone and the vehicle's silence could not be measured.
        self.assertGreaterEqual(self.facts["silentAfterSec"], 2 * self.facts["heartbeatSec"])
        self.assertLess(self.facts["silentAfterSec"], LOOKBACK_SEC)

    def test_texts_name_the_figures(self):
        self.assertIn("%d days" % self.facts["selfTestMaxAgeDays"],
                      self.alerts["VovadudozSelfTestOverdue"]["annotations"]["summary"])


if __name__ == "__main__":
    unittest.main()
