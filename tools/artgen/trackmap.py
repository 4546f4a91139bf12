"""The three race layouts traced into a ground plan, for the menu's track maps.

The layouts are read from the game's own tables in assets/tracks.cpp, so the maps
follow any change to a track: rows of (type, value, marking, ground), type STRAIGHT
a straight of `value` steps, CURVE a curve of `value` degrees, positive bending left.
They are expanded the way the game expands them (a straight loses a fifth of its
length to each curve it touches, a curve is one step per 5 degrees) and walked one
step at a time.
"""

import math
import os
import re

TRACKS_CPP = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                           "assets", "tracks.cpp"))
_KINDS = {"STRAIGHT": 0, "CURVE": 1}
_ROW = re.compile(r"\{\s*(\w+)\s*,\s*(-?\d+)\s*,\s*(\w+)\s*,\s*(\d+)\s*\}")


def load_layout(name, path=TRACKS_CPP):
    """The segments of the table `<name>Segm` as (type, value, ground) tuples."""
    with open(path) as f:
        text = f.read()
    m = re.search(r"const\s+TrSegm\s+%sSegm\s*\[[^\]]*\]\s*=\s*\{(.*?)\n\};" % name, text, re.S)
    if m is None:
        raise ValueError("%s: no table %sSegm" % (path, name))
    rows = []
    for kind, value, _marking, ground in _ROW.findall(m.group(1)):
        rows.append((_KINDS[kind] if kind in _KINDS else int(kind, 0), int(value), int(ground)))
    if not rows:
        raise ValueError("%s: table %sSegm has no rows" % (path, name))
    return rows


def expand(segments):
    """Yields (heading delta, ground) per step, heading delta -1 left, +1 right, 0 straight."""
    n = len(segments)
    for j, (kind, value, ground) in enumerate(segments):
        if kind == 1:
            steps, delta = abs(value) // 5, (-1 if value >= 0 else 1)
        elif kind == 0:
            q = abs(int(value / 5))
            steps, delta = value, 0
            if segments[(j - 1) % n][0] == 1:
                steps = max(0, steps - q)
            if segments[(j + 1) % n][0] == 1:
                steps = max(0, steps - q)
        else:
            continue
        for _ in range(steps):
            yield delta, ground


def trace(segments):
    """Walk the loop: returns [(x, y, ground)] at the middle of every step, y pointing
    down the page and heading 0 up the page, and the gap left between the end and the
    start, which is spread evenly over the loop so the drawn road closes."""
    heading = 0.0
    x = y = 0.0
    pts = []
    for delta, ground in expand(segments):
        a = math.radians(5.0 * (heading + delta / 2.0))
        nx, ny = x + math.sin(a), y - math.cos(a)
        pts.append(((x + nx) / 2, (y + ny) / 2, ground))
        x, y = nx, ny
        heading += delta
    gx, gy = x, y
    n = len(pts)
    closed = [(px - gx * i / n, py - gy * i / n, g) for i, (px, py, g) in enumerate(pts)]
    return closed, math.hypot(gx, gy)


if __name__ == "__main__":
    for name in ("boul", "suburb", "iron"):
        pts, gap = trace(load_layout(name))
        xs, ys = [p[0] for p in pts], [p[1] for p in pts]
        print(name, len(pts), "steps, gap %.2f," % gap,
              "extent %.1f x %.1f" % (max(xs) - min(xs), max(ys) - min(ys)))
