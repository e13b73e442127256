"""The depot page's colours meet WCAG AA in both themes: every text colour against each
background it is drawn on (4.5:1), and the chart's lines against the tile (3:1, graphics).
Run as a script it prints every ratio."""

import os
import re
import unittest

CSS = os.path.join(os.path.dirname(__file__), "..", "..", "depot", "web", "depot.css")

# (foreground, background, minimum): where the stylesheet draws one on the other.
PAIRS = [
    ("fg", "bg", 4.5), ("fg", "panel", 4.5), ("muted", "panel", 4.5), ("muted", "bg", 4.5),
    ("accent-fg", "accent", 4.5), ("ok", "ok-bg", 4.5), ("bad", "bad-bg", 4.5), ("warn", "warn-bg", 4.5),
    ("off", "off-bg", 4.5), ("banner", "banner-bg", 4.5), ("bad", "panel", 4.5), ("warn", "panel", 4.5),
    ("chart-p50", "panel", 3.0), ("chart-p99", "panel", 3.0), ("accent", "bg", 3.0), ("accent", "panel", 3.0),
]


def themes(css):
    """{'light': {name: '#rrggbb'}, 'dark': {...}} from the :root blocks, dark over light."""
    blocks = re.findall(r":root\s*\{([^}]*)\}", css)
    parse = lambda block: dict(re.findall(r"--([\w-]+):\s*(#[0-9a-fA-F]{6})\s*;", block))
    light = parse(blocks[0])
    dark = dict(light, **parse(blocks[1]))
    return {"light": light, "dark": dark}


# What a tile draws on itself: its texts and badges on their backgrounds.
TILE_PAIRS = [("fg", "panel"), ("muted", "panel"), ("bad", "panel"), ("ok", "ok-bg"), ("bad", "bad-bg"),
              ("warn", "warn-bg"), ("off", "off-bg")]


def stale_rules(css):
    """The declarations of every rule for greyed tiles (while the page reconnects)."""
    found = {}
    for selector, body in re.findall(r"([^{}]*\.stale[^{}]*)\{([^}]*)\}", css):
        for name, value in re.findall(r"([\w-]+)\s*:\s*([^;]+);?", body):
            found[name.strip()] = value.strip()
    return found


def rgb(hex_colour):
    return [int(hex_colour[i:i + 2], 16) for i in (1, 3, 5)]


def to_hex(channels):
    return "#" + "".join("%02x" % max(0, min(255, round(c))) for c in channels)


def greyed(fg, bg, page, rules):
    """fg on bg as drawn on the page's background under the stale rules' grayscale filter and
    opacity: (fg, bg) as the eye gets them."""
    opacity = float(rules.get("opacity", "1"))
    grey = re.search(r"grayscale\(\s*([\d.]+)", rules.get("filter", ""))
    amount = float(grey.group(1)) if grey else 0.0

    def look(colour):
        c = rgb(colour)
        y = 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2]
        c = [x + (y - x) * amount for x in c]
        p = rgb(page)
        return to_hex([x * opacity + q * (1 - opacity) for x, q in zip(c, p)])
    return look(fg), look(bg)


def luminance(hex_colour):
    def channel(c):
        c = c / 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (int(hex_colour[i:i + 2], 16) for i in (1, 3, 5))
    return 0.2126 * channel(r) + 0.7152 * channel(g) + 0.0722 * channel(b)


def ratio(a, b):
    la, lb = sorted((luminance(a), luminance(b)), reverse=True)
    return (la + 0.05) / (lb + 0.05)


class Contrast(unittest.TestCase):

    def test_ratio_matches_known_values(self):
        self.assertAlmostEqual(ratio("#000000", "#ffffff"), 21.0, places=3)
        self.assertAlmostEqual(ratio("#777777", "#ffffff"), 4.48, places=2)
        self.assertAlmostEqual(ratio("#ffffff", "#ffffff"), 1.0)

    def test_both_themes_meet_aa(self):
        with open(CSS) as f:
            found = themes(f.read())
        self.assertGreater(len(found["dark"]), 15)
        for theme, colours in found.items():
            for fg, bg, minimum in PAIRS:
                with self.subTest(theme=theme, fg=fg, bg=bg):
                    self.assertIn(fg, colours)
                    self.assertIn(bg, colours)
                    self.assertGreaterEqual(ratio(colours[fg], colours[bg]), minimum)

    def test_greyed_tiles_stay_readable_while_reconnecting(self):
        with open(CSS) as f:
            css = f.read()
        rules = stale_rules(css)
        self.assertTrue(rules, "the stylesheet greys tiles while the page reconnects")
        for theme, colours in themes(css).items():
            if "stale-fg" in colours and "var(--stale-fg)" in rules.get("color", ""):
                pairs = [("stale-fg", "stale-bg")]
            else:
                pairs = TILE_PAIRS
            for fg, bg in pairs:
                with self.subTest(theme=theme, fg=fg, bg=bg):
                    seen = greyed(colours[fg], colours[bg], colours["bg"], rules)
                    self.assertGreaterEqual(round(ratio(*seen), 2), 4.5)


if __name__ == "__main__":
    with open(CSS) as f:
        for theme, colours in themes(f.read()).items():
            for fg, bg, minimum in PAIRS:
                r = ratio(colours[fg], colours[bg])
                print("%-5s %-10s on %-9s %5.2f (needs %.1f)%s" % (theme, fg, bg, r, minimum, "" if r >= minimum else "  FAIL"))
