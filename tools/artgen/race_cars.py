#!/usr/bin/env python3
"""Draw first versions of the race car sprites from small 3D models.

    python3 tools/artgen/cars.py [--preview DIR]

writes assets/art/{skoda,trabant,beetle}{0,1,2}_d.png: X0_d the left half of the
straight-ahead car, X1_d turning left, X2_d turning hard left.  Body paint uses only
indices 9 (light) and 1 (dark), which the game replaces per player.  The PNGs are
the sources from then on: rerunning this overwrites hand edits.
"""

import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, HERE)
import pngio  # noqa: E402
from carmodel import CLEAR, Model, render  # noqa: E402

ART = os.path.normpath(os.path.join(HERE, "..", "..", "assets", "art"))

BLACK, BLUE, GREEN, CYAN, RED, MAGENTA, BROWN, LGREY = range(8)
DGREY, LBLUE, LGREEN, LCYAN, LRED, LMAGENTA, YELLOW, WHITE = range(8, 16)
DARK, LIGHT = BLUE, LBLUE  # the two body shades the game recolours


# --- materials ---------------------------------------------------------------------
def body(base=0.0, yslope=1 / 34.0, ymid=20.0):
    """Paint: light on top and towards the light, dark low down and facing away."""

    def m(p, n, bright, sx, sy):
        level = base + (bright - 0.1) * 2.0 + (p[1] - ymid) * yslope
        if level < 0.35:
            return DARK
        if level > 0.65:
            return LIGHT
        return LIGHT if (sx + sy) & 1 else DARK  # one checkered step between the shades

    return m


def solid(c):
    return lambda p, n, bright, sx, sy: c


def chrome(p, n, bright, sx, sy):
    if n[1] > 0.5:
        return WHITE
    return LGREY if bright > 0.2 else DGREY


def tread(p, n, bright, sx, sy):
    return DGREY if n[1] > 0.7 else BLACK


def hubcap(cap=LGREY, rim=DGREY):
    def wall(centre, r):
        def m(p, n, bright, sx, sy):
            d = math.hypot(p[1] - centre[1], p[2] - centre[2]) / r
            if d < 0.35:
                return WHITE if p[1] > centre[1] + 0.1 * r and p[2] < centre[2] else cap
            if d < 0.6:
                return rim
            return BLACK

        return m

    return wall


def glass(frame, extra=None):
    """Window material: inside(p) says whether a point is glass, else `frame` paints it.
    Glass is black with a grey reflection streak running down to the right."""

    def make(inside):
        def m(p, n, bright, sx, sy):
            if not inside(p):
                return frame(p, n, bright, sx, sy)
            if extra:
                c = extra(p)
                if c is not None:
                    return c
            # A short reflection streak towards the left edge of each pane; the
            # straight car's mirror image puts a matching one on the right.
            streak = p[0] * 0.9 + p[1] * 1.2 + p[2] * 0.5
            if p[0] < -9 and 40 < streak % 200 < 44:
                return LGREY if streak % 200 < 42 else DGREY
            return BLACK

        return m

    return make


def outline(pix, w, h):
    """Darken the silhouette's edge where paint meets the road, so the car reads on
    dark grey: body and chrome pixels with a transparent neighbour become black."""
    out = list(pix)
    for y in range(h):
        for x in range(w):
            c = pix[y * w + x]
            if c in (CLEAR, BLACK):
                continue
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                xx, yy = x + dx, y + dy
                if not (0 <= xx < w and 0 <= yy < h) or pix[yy * w + xx] == CLEAR:
                    out[y * w + x] = BLACK
                    break
    return out


# --- the cars ----------------------------------------------------------------------
def section(points, z):
    """A cross-section from (x, y) points of the left half, mirrored to the right."""
    left = [(x, y, z) for x, y in points]
    right = [(-x, y, z) for x, y in reversed(points)]
    return left + right


def arches(m, paint, axles, r, half_w, top):
    """Cut wheel arches into the flanks: paint returns None (see-through) there, and a
    black wheel well behind the holes keeps the road from showing through."""

    def m_(p, n, bright, sx, sy):
        if abs(n[0]) > 0.5:
            for z in axles:
                if math.hypot(p[1] - 11, p[2] - z) < r:
                    return None
        return paint(p, n, bright, sx, sy)

    for side in (-1, 1):
        x = side * (half_w - 9)
        m.add([(x, 3, 6), (x, top, 6), (x, top, 140), (x, 3, 140)], solid(BLACK), "well",
              (0, top / 2, 75))
    return m_


def skoda(steer=0):
    """A small boxy saloon: straight flanks, a notchback boot, big square tail lamps."""
    m = Model()
    axles = (19, 120)
    paint = arches(m, body(), axles, 13, 30, 26)

    def tail(p, n, bright, sx, sy):
        x, y = abs(p[0]), p[1]
        if p[2] < 0.5 and n[2] < -0.9:
            if 18.5 <= x <= 28.5 and 16 <= y <= 25:
                if x < 19.5 or x > 27.5 or y < 17 or y > 24:
                    return BLACK
                if y > 20:
                    return LRED if (x > 23 or y > 22.5) else RED
                return BROWN if x < 23 else RED
            if x <= 9.5 and 14 <= y <= 20:
                if x > 8.5 or y < 15 or y > 19.5:
                    return BLACK
                return BLACK if (int(x) % 3 == 1 and 16 <= y <= 18.5) else WHITE
            if 26.5 <= y <= 27.5:
                return BLACK  # the boot lid's gap
        return paint(p, n, bright, sx, sy)

    low = [(-28.5, 11.5), (-30, 13), (-30, 26), (-28.5, 29.5)]
    m.loft([section(low, 0), section(low, 150)], tail, tag="body")
    # Cabin: slanted rear window, roof, side windows.
    base_y, roof_y = 29.5, 49
    rear = [(-27, base_y, 37), (27, base_y, 37), (22, roof_y, 55), (-22, roof_y, 55)]
    front = [(-27, base_y, 106), (27, base_y, 106), (22, roof_y, 88), (-22, roof_y, 88)]

    def cabin_glass(p):
        t = (p[1] - base_y) / (roof_y - base_y)
        half = 27 - 5 * t
        if p[2] < 58 and p[1] > base_y + 1.5 and p[1] < roof_y - 1.5:
            return abs(p[0]) < half - 3.5  # rear window
        if abs(p[0]) > 20 and base_y + 2 < p[1] < roof_y - 2:
            return 52 < p[2] < 70 or 73 < p[2] < 98  # side windows
        return False

    def headrests(p):
        if p[2] < 58 and 33 < p[1] < 38.5 and 6 < abs(p[0]) < 14:
            return DGREY
        return None

    m.loft([rear, front], glass(paint, headrests)(cabin_glass), tag="cabin")
    m.box(-29.5, 29.5, 10.5, 14, -2.5, 3, chrome, "bumper")
    m.box(-21, -17, 8, 10.5, -3, 2, solid(BLACK), "exhaust")
    for z in axles:
        for x in (-24.5, 24.5):
            m.wheel(x, 11, z, 11, 10, steer if z > 60 else 0, tread, hubcap())
    m.add([(-31, 0.05, -3), (31, 0.05, -3), (31, 0.05, 152), (-31, 0.05, 152)],
          solid(BLACK), "shadow")
    return m


def trabant(steer=0):
    """A small two-stroke compact: short, upright, flat front and flat rear with a
    thin bumper and tall lamp clusters on the corners."""
    m = Model()
    axles = (17, 98)
    paint = arches(m, body(yslope=1 / 30.0, ymid=21.0), axles, 12.5, 30, 27)

    def rear(p, n, bright, sx, sy):
        x, y = abs(p[0]), p[1]
        if p[2] < 0.5 and n[2] < -0.9:
            if 22 <= x <= 28.5 and 14.5 <= y <= 28:
                if x < 23 or x > 27.5 or y < 15.5 or y > 27:
                    return BLACK
                if y > 22.5:
                    return LRED if y > 25 and x > 24 else RED
                if y > 19.5:
                    return BROWN
                return RED
            if x <= 9.5 and 17 <= y <= 23:
                if x > 8.5 or y < 18 or y > 22.5:
                    return BLACK
                return BLACK if (int(x) % 3 == 1 and 19 <= y <= 21.5) else WHITE
            if 27.5 <= y <= 28.5 and x < 21.5:
                return BLACK  # the boot lid's gap
            if x < 21.5 and abs(x - 21) < 0.6 and y > 14:
                return BLACK
        return paint(p, n, bright, sx, sy)

    low = [(-28.5, 12), (-30, 14), (-30, 28), (-29, 31)]
    m.loft([section(low, 0), section(low, 122)], rear, tag="body")
    base_y, roof_y = 31, 50.5
    back = [(-27.5, base_y, 20), (27.5, base_y, 20), (24, roof_y, 29), (-24, roof_y, 29)]
    front = [(-27.5, base_y, 92), (27.5, base_y, 92), (24, roof_y, 74), (-24, roof_y, 74)]

    def cabin_glass(p):
        t = (p[1] - base_y) / (roof_y - base_y)
        half = 27.5 - 3.5 * t
        if p[2] < 31 and base_y + 1.5 < p[1] < roof_y - 1.5:
            return abs(p[0]) < half - 3  # rear window, wide and upright
        if abs(p[0]) > 22 and base_y + 2 < p[1] < roof_y - 2:
            return 31 < p[2] < 52 or 55 < p[2] < 84
        return False

    def seats(p):
        if p[2] < 31 and 35 < p[1] < 40 and 7 < abs(p[0]) < 16:
            return DGREY
        return None

    m.loft([back, front], glass(paint, seats)(cabin_glass), tag="cabin")
    # A thin bumper, dark like rubber-capped steel.
    m.box(-29.5, 29.5, 11, 14, -2, 2, lambda p, n, b, sx, sy: LGREY if n[1] > 0.5 else DGREY,
          "bumper")
    m.box(16, 20, 8.5, 11, -3, 2, solid(BLACK), "exhaust")
    for z in axles:
        for x in (-24.5, 24.5):
            m.wheel(x, 10.5, z, 10.5, 8, steer if z > 60 else 0, tread, hubcap(WHITE, LGREY))
    m.add([(-31, 0.05, -3), (31, 0.05, -3), (31, 0.05, 124), (-31, 0.05, 124)],
          solid(BLACK), "shadow")
    return m


def dome(z, ybase, ytop, half, exp=2.6, n=12):
    """A rounded cross-section: a superellipse arch from the left sill over the top."""
    pts = []
    for k in range(n + 1):
        a = math.pi * k / n
        c, s_ = math.cos(a), math.sin(a)
        x = -half * math.copysign(abs(c) ** (2 / exp), c)
        y = ybase + (ytop - ybase) * abs(s_) ** (2 / exp)
        pts.append((x, y, z))
    return pts


def beetle(steer=0):
    """A round-backed beetle: a domed body between bulging fenders, a small oval rear
    window high up, a louvred engine lid and lamps on the fenders."""
    m = Model()
    axles = (22, 112)

    def shell(p, n, bright, sx, sy):
        x, y, z = abs(p[0]), p[1], p[2]
        if n[2] < -0.25:
            # oval rear window high on the back
            if (x / 10) ** 2 + ((y - 43) / 4.5) ** 2 < 1:
                if y > 45 and x < 6:
                    return DGREY
                return BLACK
            if (x / 12) ** 2 + ((y - 43) / 6.3) ** 2 < 1 and y > 36:
                return paint(p, n, bright, sx, sy)
            # engine lid: outline, louvres and the plate lamp
            if 13 < y < 36:
                lid = (x / 9.5) ** 2 + ((y - 21) / 13.5) ** 2
                if 0.82 < lid < 1.0 and y > 19:
                    return BLACK
                if 27 <= y <= 32 and x < 5.5 and int(y) % 2 == 1:
                    return BLACK
            if x <= 8 and 13 <= y <= 18.5:
                if x > 7 or y < 14 or y > 18:
                    return BLACK
                return BLACK if (int(x) % 3 == 1 and 15 <= y <= 17) else WHITE
        elif x > 13 and n[1] < 0.8:
            # side windows: a long oval split by the door pillar
            if ((z - 66) / 24) ** 2 + ((y - 41) / 6) ** 2 < 1 and abs(z - 60) > 1.5:
                return BLACK
        return paint(p, n, bright, sx, sy)

    paint = body(yslope=1 / 26.0, ymid=26.0)
    profile = [  # z, top of the body, half width
        (2, 17, 17), (6, 26, 19.5), (12, 34, 21), (20, 40, 21.5), (30, 46, 21.5),
        (42, 50, 21.5), (56, 52, 21.5), (76, 51.5, 21.5), (90, 46, 21.5), (100, 36, 21.5),
        (110, 31, 21), (128, 26, 19.5), (140, 20, 17), (146, 15, 14),
    ]
    m.loft([dome(z, 12, top, half) for z, top, half in profile], shell, tag="shell")

    def fender(p, n, bright, sx, sy):
        dx = abs(p[0]) - 23.5
        if n[2] < -0.35 and 15.5 < p[1] < 24 and p[2] < 12 and abs(dx) < 3.2:
            if abs(dx) > 2.2 or p[1] < 16.5:
                return BLACK
            return LRED if p[1] > 21 and dx < 0.5 else RED
        return paint(p, n, bright, sx, sy)

    for side in (-1, 1):
        for axle in axles:
            rear_one = axle < 60
            rows = [(-20, 14, 4), (-15, 21, 6), (-8, 25, 7), (0, 26, 7), (8, 25, 7),
                    (15, 21, 6), (20, 14, 4)]
            secs = []
            for dz, top, half in rows:
                cx = side * (23.5 if rear_one else 22.5)
                secs.append([(cx + x, y, axle + dz)
                             for x, y, _ in dome(0, 9, top, half, exp=2.2, n=8)])
            m.loft(secs, fender if rear_one else paint, tag="fender")
    # running boards between the fenders
    for side in (-1, 1):
        x0, x1 = sorted((side * 17, side * 26))
        m.box(x0, x1, 9, 12, 40, 94, paint, "board")
    # a slim bumper blade with two overriders
    m.box(-29, 29, 10, 13, -2, 1, chrome, "bumper")
    for x in (-13, 13):
        m.box(x - 1.2, x + 1.2, 9, 19, -3, 0, chrome, "guard")
    m.box(-19, -16, 7, 9.5, -3, 4, solid(BLACK), "exhaust")
    m.box(16, 19, 7, 9.5, -3, 4, solid(BLACK), "exhaust")
    for z in axles:
        for x in (-23.5, 23.5):
            m.wheel(x, 11, z, 11, 8, steer if z > 60 else 0, tread, hubcap())
    m.add([(-31, 0.05, -3), (31, 0.05, -3), (31, 0.05, 146), (-31, 0.05, 146)],
          solid(BLACK), "shadow")
    return m


CARS = {
    "skoda": (skoda, 66, 86),
    "trabant": (trabant, 64, 86),
    "beetle": (beetle, 70, 74),
}
# The beetle's fenders make it wide for its length, so its hard turn leaves little
# room: its gentle turn is drawn narrower than its picture to keep the two apart.
TURN_WIDTH = {"beetle1_d": 65}


def fit_yaw(model, width, lo=1.0, hi=80.0):
    """The yaw whose picture is exactly `width` wide (by bisection on the bounding box)."""
    for _ in range(30):
        mid = (lo + hi) / 2
        if picture_width(model, mid) > width:
            hi = mid
        else:
            lo = mid
    return lo


def picture_width(model, yaw):
    w = 200
    pix = render(model, w, 60, yaw)
    cols = [x for x in range(w) if any(pix[y * w + x] != CLEAR for y in range(60))]
    return max(cols) - min(cols) + 1


def main():
    preview = sys.argv[2] if len(sys.argv) > 2 and sys.argv[1] == "--preview" else None
    for name, (make, w1, w2) in CARS.items():
        full = outline(render(make(), 60, 50, 0.0, centre=30.0), 60, 50)
        half = [full[y * 60 + x] for y in range(50) for x in range(30)]
        pictures = {f"{name}0_d": (30, half)}
        for suffix, w, steer in (("1", w1, 15), ("2", w2, 28)):
            model = make(steer)
            yaw = fit_yaw(model, TURN_WIDTH.get(f"{name}{suffix}_d", w))
            pictures[f"{name}{suffix}_d"] = (w, outline(render(model, w, 50, yaw), w, 50))
            print(f"{name}{suffix}_d: yaw {yaw:.1f} degrees")
        for table, (w, pix) in pictures.items():
            pngio.write_indexed(os.path.join(preview or ART, table + ".png"), w, 50, pix)


if __name__ == "__main__":
    main()
