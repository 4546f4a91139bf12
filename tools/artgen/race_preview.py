#!/usr/bin/env python3
"""Preview sheets for the race art, as the game will show it.

    python3 tools/artgen/race_preview.py [ART_DIR] [OUT_DIR]

For each car: the straight car mirrored from its half, both turns and their mirrors,
the twenty scaled sizes, all in every player colour, on road grey. Also a mock-up of
the race screen with the dashboard, lights and finish pictures.  Sheets are written
enlarged to OUT_DIR (default /tmp/race_preview).
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
import pngio  # noqa: E402

ART = os.path.normpath(os.path.join(HERE, "..", "..", "assets", "art"))
CAR_SIZES = [(9, 7), (13, 10), (16, 13), (19, 15), (22, 18), (26, 21), (28, 23), (31, 25),
             (34, 28), (38, 31), (41, 34), (44, 36), (48, 40), (51, 42), (53, 44), (56, 46),
             (60, 50), (63, 52), (66, 55), (69, 57)]
# (replaces 1, replaces 9) per car: first player, second player
VARIANTS = {"skoda": [(4, 12), (3, 11)], "trabant": [(1, 9), (14, 14)],
            "beetle": [(2, 10), (5, 13)]}


class Sheet:
    def __init__(self, w, h, fill):
        self.w, self.h, self.pix = w, h, [fill] * (w * h)

    def put(self, x, y, w, h, pix, flip=False, colours=None, opaque=False):
        for yy in range(h):
            for xx in range(w):
                c = pix[yy * w + (w - 1 - xx if flip else xx)]
                if c == 16 and not opaque:
                    continue
                if colours:
                    c = colours[0] if c == 1 else colours[1] if c == 9 else c
                if 0 <= x + xx < self.w and 0 <= y + yy < self.h:
                    self.pix[(y + yy) * self.w + x + xx] = c

    def save(self, path, scale):
        big = []
        for y in range(self.h * scale):
            row = self.pix[(y // scale) * self.w:(y // scale + 1) * self.w]
            for c in row:
                big.extend([c] * scale)
        pngio.write_indexed(path, self.w * scale, self.h * scale, big)


def load(art, name):
    return pngio.read_indexed(os.path.join(art, name + ".png"))


def full_car(half):
    w, h, pix = half
    return [pix[y * 30 + (x if x < 30 else 59 - x)] for y in range(50) for x in range(60)]


def scaled(full, w, h):
    return [full[(50 * y // h) * 60 + 60 * x // w] for y in range(h) for x in range(w)]


def car_sheet(art, name, out):
    full = full_car(load(art, name + "0_d"))
    t1, t2 = load(art, name + "1_d"), load(art, name + "2_d")
    sheet = Sheet(600, 2 * 132, 8)
    for v, colours in enumerate(VARIANTS[name]):
        y0 = v * 132
        x = 4
        for w, pix, flip in ((t2[0], t2[2], False), (t1[0], t1[2], False), (60, full, False),
                             (t1[0], t1[2], True), (t2[0], t2[2], True)):
            sheet.put(x, y0 + 4, w, 50, pix, flip, colours)
            x += w + 6
        x = 4
        for w, h in CAR_SIZES:
            sheet.put(x, y0 + 126 - h, w, h, scaled(full, w, h), False, colours)
            x += w + 3 if x + w + 3 + 70 < 600 else 0
            if x > 520:
                break
    sheet.save(os.path.join(out, name + ".png"), 2)


def mockup(art, out, finish=None, lights=(1, 1, 1), lean=(0, 0), pos=(0, 1)):
    """A race screen: sky, grass and road in both views, cars, panel, digits, lights."""
    sheet = Sheet(320, 200, 0)
    names = ["skoda", "beetle"]
    for view in (0, 1):
        ox = 161 * view
        for y in range(80):
            sheet.put(ox, y, 159, 1, [11 if y < 50 else 9 if y < 70 else 3] * 159, opaque=True)
        for y in range(80, 152):
            k = y - 80
            half = int(23 + k * 1.9)
            row = [2] * 159
            for x in range(max(0, 79 - half), min(159, 79 + half)):
                row[x] = 8
            sheet.put(ox, y, 159, 1, row, opaque=True)
        name = names[view]
        pose = lean[view]
        if pose == 0:
            w, pix = 60, full_car(load(art, name + "0_d"))
        else:
            w, _, pix = load(art, f"{name}{abs(pose)}_d")
        sheet.put(ox + 80 - w // 2, 94, w, 50, pix, flip=pose < 0,
                  colours=VARIANTS[name][view])
        hw, hh, hud = load(art, "hudData")
        sheet.put(ox + 30, 156, hw, hh, hud, opaque=True)
        sheet.put(ox + 87, 156, 13, 18, load(art, "digit2Data")[2], opaque=True)
        sheet.put(ox + 87, 178, 13, 18, load(art, f"digit{pos[view] + 1}Data")[2],
                  opaque=True)
        on, off = load(art, "lightsOnData")[2], load(art, "lightsOffData")[2]
        bands = ((0, 24), (24, 46), (46, 70))
        for (r0, r1), lit in zip(bands, lights):
            src = on if lit else off
            sheet.put(ox + 67, 4 + r0, 32, r1 - r0, src[r0 * 32:r1 * 32], opaque=True)
        if finish:
            pic = "first_d" if finish[view] == 1 else "last_d"
            sheet.put(ox, 152, 159, 48, load(art, pic)[2], opaque=True)
    aw, ah, arrow = load(art, "arrowLeftData")
    sheet.put(12, 100, aw, ah, arrow)
    sheet.put(161 + 128, 100, aw, ah, arrow, flip=True)
    return sheet


def main():
    art = sys.argv[1] if len(sys.argv) > 1 else ART
    out = sys.argv[2] if len(sys.argv) > 2 else "/tmp/race_preview"
    os.makedirs(out, exist_ok=True)
    for name in VARIANTS:
        if os.path.exists(os.path.join(art, name + "2_d.png")):
            car_sheet(art, name, out)
    if os.path.exists(os.path.join(art, "last_d.png")):
        mockup(art, out, lights=(1, 0, 0), lean=(1, -2)).save(os.path.join(out, "race.png"), 2)
        mockup(art, out, lights=(0, 0, 1), finish=(1, 2)).save(
            os.path.join(out, "finish.png"), 2)


if __name__ == "__main__":
    main()
