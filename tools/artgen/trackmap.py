"""The three race layouts traced into a ground plan, for the menu's track maps.

The segment lists are the game's layouts (ironSegm, boulSegm, suburbSegm in the
assets): (type, value, marking, ground), type 0 a straight of `value` steps, type 1
a curve of `value` degrees, positive bending left.  They are expanded the way the
game expands them (a straight loses a fifth of its length to each curve it
touches, a curve is one step per 5 degrees) and walked one step at a time.
"""

import math

# fmt: off
IRON = [
    (0, 1, 0, 6), (0, 38, 1, 10), (1, 45, 2, 10), (0, 48, 1, 10), (1, 45, 2, 6), (0, 18, 1, 6),
    (1, 45, 2, 6), (0, 23, 1, 6), (1, 45, 2, 6), (0, 85, 1, 6), (1, -45, 2, 6), (0, 12, 1, 6),
    (1, -45, 2, 6), (0, 22, 1, 6), (1, 90, 2, 10), (0, 53, 1, 10), (1, -10, 2, 10), (0, 24, 1, 10),
    (1, 20, 2, 10), (0, 24, 1, 10), (1, -10, 2, 10), (0, 31, 1, 10), (1, 45, 2, 10), (0, 23, 1, 10),
    (1, 50, 2, 10), (0, 34, 1, 2), (1, -40, 2, 2), (0, 44, 1, 2), (1, 30, 2, 2), (0, 43, 1, 2),
    (1, 45, 2, 2), (0, 88, 1, 2), (1, 15, 2, 2), (0, 26, 1, 2), (1, 20, 2, 2), (0, 47, 1, 2),
    (1, 90, 2, 2), (0, 27, 1, 2), (1, 35, 2, 6), (0, 28, 1, 6), (1, -60, 2, 6), (0, 25, 1, 6),
    (1, 40, 2, 6), (0, 31, 1, 6), (1, -45, 2, 6), (0, 25, 1, 6), (1, -45, 2, 6), (0, 38, 1, 6),
    (0, 1, 3, 6),
]
BOUL = [
    (0, 1, 0, 2), (0, 37, 1, 2), (1, -60, 2, 2), (0, 41, 1, 2), (1, 50, 2, 2), (0, 16, 1, 7),
    (1, 55, 2, 7), (0, 22, 1, 7), (1, 45, 2, 7), (0, 59, 1, 2), (1, 85, 2, 10), (0, 57, 1, 10),
    (1, -70, 2, 7), (0, 63, 1, 7), (1, 90, 2, 7), (0, 28, 1, 7), (1, 35, 2, 7), (0, 25, 1, 7),
    (1, -35, 2, 7), (0, 29, 1, 10), (1, 70, 2, 10), (0, 28, 1, 10), (1, -70, 2, 10), (0, 19, 1, 10),
    (1, 80, 2, 2), (0, 31, 1, 2), (1, 90, 2, 2), (0, 40, 1, 2), (1, -5, 2, 2), (0, 30, 1, 2),
    (0, 1, 3, 2),
]
SUBURB = [
    (0, 1, 0, 7), (0, 92, 1, 7), (1, 40, 2, 7), (0, 53, 1, 2), (1, 60, 2, 2), (0, 55, 1, 2),
    (1, -15, 2, 2), (0, 34, 1, 2), (1, 30, 2, 2), (0, 63, 1, 2), (1, 90, 2, 7), (0, 56, 1, 7),
    (1, 90, 2, 7), (0, 77, 1, 7), (1, -30, 2, 10), (0, 28, 1, 10), (1, -90, 2, 10), (0, 24, 1, 10),
    (1, -20, 2, 10), (0, 34, 1, 2), (1, -65, 2, 2), (0, 12, 1, 2), (1, -50, 2, 10), (0, 21, 1, 10),
    (1, 40, 2, 10), (0, 15, 1, 10), (1, 30, 2, 10), (0, 28, 1, 10), (1, 60, 2, 10), (0, 18, 1, 10),
    (1, 30, 2, 7), (0, 67, 1, 7), (1, 90, 2, 7), (0, 40, 1, 7), (1, -50, 2, 7), (0, 40, 1, 7),
    (1, 30, 2, 7), (0, 18, 1, 7), (1, 30, 2, 7), (0, 28, 1, 7), (1, 60, 2, 7), (0, 43, 1, 7),
    (0, 1, 3, 7),
]
# fmt: on


def expand(segments):
    """Yields (heading delta, ground) per step, heading delta -1 left, +1 right, 0 straight."""
    n = len(segments)
    for j, (kind, value, _marking, ground) in enumerate(segments):
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
    for name, segs in (("boul", BOUL), ("suburb", SUBURB), ("iron", IRON)):
        pts, gap = trace(segs)
        xs, ys = [p[0] for p in pts], [p[1] for p in pts]
        print(name, len(pts), "steps, gap %.2f," % gap,
              "extent %.1f x %.1f" % (max(xs) - min(xs), max(ys) - min(ys)))
