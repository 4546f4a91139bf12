#!/usr/bin/env python3
"""Draw first versions of the race screen's flat pictures.

    python3 tools/artgen/race_panels.py [OUT_DIR]

writes arrowLeftData, hudData, digit1Data..digit3Data, lightsOffData, lightsOnData,
first_d and last_d as PNGs (default assets/art/).  The PNGs are the sources from
then on: rerunning this overwrites hand edits.
"""

import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, HERE)
import pngio  # noqa: E402
import pixelfont  # noqa: E402

ART = os.path.normpath(os.path.join(HERE, "..", "..", "assets", "art"))

BLACK, BLUE, GREEN, CYAN, RED, MAGENTA, BROWN, LGREY = range(8)
DGREY, LBLUE, LGREEN, LCYAN, LRED, LMAGENTA, YELLOW, WHITE = range(8, 16)
CLEAR = pngio.TRANSPARENT


class Pic:
    def __init__(self, w, h, fill):
        self.w, self.h, self.pix = w, h, [fill] * (w * h)

    def px(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h and c is not None:
            self.pix[y * self.w + x] = c

    def get(self, x, y):
        return self.pix[y * self.w + x] if 0 <= x < self.w and 0 <= y < self.h else None

    def rect(self, x, y, w, h, c):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.px(xx, yy, c(xx, yy) if callable(c) else c)

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.px(x, y, c(x, y) if callable(c) else c)

    def save(self, out, name):
        pngio.write_indexed(os.path.join(out, name + ".png"), self.w, self.h, self.pix)


def big_text(pic, x, y, text, scale, colour, shadow=None, face=pixelfont.BOLD):
    """Text from a pixel face, each dot a scale x scale block, with a drop shadow to
    the lower right (light from the upper left)."""

    class Scaled:
        def __init__(self, c):
            self.c = c

        def px(self, gx, gy, _):
            pic.rect(x + (gx - x) * scale + self.dx, y + (gy - y) * scale + self.dy,
                     scale, scale, self.c)

    if shadow is not None:
        s = Scaled(shadow)
        s.dx = s.dy = 1
        face.draw(s, x, y, text, shadow)
    s = Scaled(colour)
    s.dx = s.dy = 0
    face.draw(s, x, y, text, colour)
    return face.width(text) * scale


# --- the off-road arrow --------------------------------------------------------------
ARROW_RUNS = [(5, 0, 3), (4, 1, 4), (3, 2, 5), (2, 3, 6), (1, 4, 19), (0, 5, 20), (0, 6, 20),
              (0, 7, 20), (1, 8, 19), (2, 9, 6), (3, 10, 5), (4, 11, 4), (5, 12, 3)]


def arrow():
    """Yellow with a black rim, a white gleam along the upper edges and an orange
    underside, so it reads on grass, road and kerb alike."""
    p = Pic(20, 13, CLEAR)
    for x, y, n in ARROW_RUNS:
        p.rect(x, y, n, 1, YELLOW)
    inside = lambda x, y: p.get(x, y) not in (None, CLEAR)
    rim = [(x, y) for y in range(13) for x in range(20) if inside(x, y) and not all(
        inside(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))]
    for x, y in rim:
        p.px(x, y, BLACK)
    for y in range(13):
        for x in range(20):
            if p.get(x, y) != YELLOW:
                continue
            if p.get(x, y - 1) == BLACK or p.get(x - 1, y - 1) == BLACK:
                p.px(x, y, WHITE if y <= 5 else YELLOW)
            if p.get(x, y + 1) == BLACK and y >= 7:
                p.px(x, y, BROWN)
    return p


# --- dashboard and digits ------------------------------------------------------------
DIGIT_W, DIGIT_H = 13, 18
# Seven segments, three pixels thick with pointed ends: ("h", x0, x1, y) runs along a
# row, ("v", x, y0, y1) down a column; the centre line is the given one.
SEGMENTS = {
    "a": ("h", 3, 9, 3), "g": ("h", 3, 9, 9), "d": ("h", 3, 9, 15),
    "f": ("v", 2, 4, 8), "b": ("v", 10, 4, 8), "e": ("v", 2, 10, 14), "c": ("v", 10, 10, 14),
}
LIT = {2: "abged", 3: "abgcd"}


def segment_pixels(seg):
    """(x, y, on_centre_line) of one segment."""
    kind, a, b, c = seg
    if kind == "h":
        return [(x, c + d, d == 0) for d in (-1, 0, 1)
                for x in range(a + abs(d), b - abs(d) + 1)]
    return [(a + d, y, d == 0) for d in (-1, 0, 1) for y in range(b + abs(d), c - abs(d) + 1)]


def digit(n):
    """A glowing display digit on black: seven-segment strokes in yellow with a
    white-hot core.  The 1 is one unbroken stroke in the middle of its window, where
    it reads at a glance."""
    p = Pic(DIGIT_W, DIGIT_H, BLACK)
    if n == 1:
        for y in range(2, 17):
            p.px(6, y, WHITE)
            if 3 <= y <= 15:
                p.px(5, y, YELLOW)
                p.px(7, y, YELLOW)
        p.px(4, 4, YELLOW)
        p.px(3, 5, YELLOW)
        return p
    for name in LIT[n]:
        for x, y, core in segment_pixels(SEGMENTS[name]):
            p.px(x, y, WHITE if core else YELLOW)
    return p


def hud():
    """The dashboard: a bevelled grey panel, two recessed display windows at column 57
    (rows 0-17 and 22-39) for the digits, "LAP" and "POS" left of them, "/3" and "/2"
    right of them."""
    w, h = 99, 40
    p = Pic(w, h, DGREY)
    # each row is a raised plate: light top and left edges, dark bottom and right
    for top in (0, 20):
        p.rect(0, top, w, 1, LGREY)
        p.rect(0, top, 1, 20, LGREY)
        p.rect(0, top + 19, w, 1, BLACK)
        p.rect(w - 1, top, 1, 20, BLACK)
        p.px(0, top + 19, BLACK)
        p.px(w - 1, top, BLACK)
    p.px(0, 0, BLACK)
    p.px(0, h - 1, BLACK)
    # display windows, framed in light grey where the panel has room
    for top in (0, 22):
        p.rect(57, top, 13, 18, BLACK)
        p.rect(56, top, 1, 18, LGREY)
        p.rect(70, top, 1, 18, LGREY)
        p.rect(56, top + 18 if top == 0 else top - 1, 15, 1, LGREY)
    # captions
    for text, y in (("LAP", 3), ("POS", 25)):
        big_text(p, 8, y, text, 2, YELLOW, BLACK)
    for text, y in (("3", 3), ("2", 25)):
        # a slim slash keeps "/3" clear of the panel's right edge
        big_text(p, 72, y, "/", 2, LGREY, BLACK, face=pixelfont.SMALL)
        big_text(p, 84, y, text, 2, LGREY, BLACK)
    return p


# --- start lights --------------------------------------------------------------------
BANDS = [(0, 24, RED, LRED), (24, 46, RED, LRED), (46, 70, GREEN, LGREEN)]


def lights(on):
    """A black housing with a grey rim and three lamps under visors.  The housing is the
    same in both pictures and every lamp sits wholly inside its own band, so any mix of
    lit and unlit bands joins up."""
    w, h = 32, 70
    p = Pic(w, h, BLACK)
    # rim: light left, dark right, and caps at the very top and bottom
    p.rect(0, 0, 2, h, DGREY)
    p.px(0, 0, BLACK)
    p.px(0, h - 1, BLACK)
    p.rect(0, 1, 1, h - 2, LGREY)
    p.rect(w - 2, 0, 2, h, DGREY)
    p.rect(w - 1, 0, 1, h, BLACK)
    p.rect(1, 0, w - 2, 1, LGREY)
    p.rect(1, 1, w - 3, 1, DGREY)
    p.rect(1, h - 2, w - 2, 1, DGREY)
    p.rect(1, h - 1, w - 2, 1, BLACK)
    for top, bottom, dark, bright in BANDS:
        cx, cy, r = 15.5, (top + bottom) / 2 + 0.5, 8.5
        # visor: a dark grey hood over the upper half of the lamp
        p.disc(cx, cy, r + 2, lambda x, y: DGREY if y + 0.5 < cy - 2 else None)
        p.disc(cx, cy, r + 1, BLACK)
        if on:
            def lamp(x, y, cx=cx, cy=cy, dark=dark, bright=bright):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy) / r
                hl = math.hypot(x + 0.5 - (cx - 3), y + 0.5 - (cy - 3))
                if hl < 1.8:
                    return WHITE
                if d > 0.8:
                    return dark
                if d > 0.65:
                    return bright if (x + y) & 1 else dark
                return bright

            p.disc(cx, cy, r, lamp)
        else:
            def unlit(x, y, cx=cx, cy=cy, dark=dark):
                hl = math.hypot(x + 0.5 - (cx - 3), y + 0.5 - (cy - 3))
                if hl < 1.3:
                    return DGREY
                return dark if (x + y) & 1 and math.hypot(x + 0.5 - cx, y + 0.5 - cy) < r - 1.5 \
                    else BLACK

            p.disc(cx, cy, r, unlit)
    return p


# --- finish pictures -----------------------------------------------------------------
def chequer(p, y0, h, size=4):
    for y in range(y0, y0 + h):
        for x in range(p.w):
            p.px(x, y, WHITE if ((x // size) + ((y - y0) // size)) % 2 == 0 else BLACK)


def trophy(p, x0, y0):
    """A gold cup, about 26 x 32, lit from the upper left."""
    gold = lambda x, y, cx: (WHITE if x < cx - 5 and (x + y) % 3 == 0 else YELLOW) \
        if x < cx + 2 else (YELLOW if (x + y) & 1 else BROWN) if x < cx + 6 else BROWN
    cx = x0 + 13
    # bowl: a half disc
    for y in range(y0, y0 + 14):
        half = 11 * math.sqrt(max(0.0, 1 - ((y - y0) / 14.0) ** 2)) if y > y0 + 1 else 11
        for x in range(int(cx - half), int(cx + half) + 1):
            p.px(x, y, gold(x, y, cx))
    p.rect(int(cx - 11), y0, 23, 1, WHITE)
    # handles: thick rings on either side of the bowl
    for side in (-1, 1):
        hx, hy = cx + side * 10.5 + 0.5, y0 + 6.5
        for y in range(y0, y0 + 14):
            for x in range(int(hx) - 6, int(hx) + 7):
                d = math.hypot(x + 0.5 - hx, y + 0.5 - hy)
                outside = (x - cx) * side > 9
                if outside and 2.2 < d < 5.2:
                    p.px(x, y, BLACK if d > 4.4 and y + 0.5 > hy else
                         (YELLOW if side < 0 else BROWN))
    # stem and foot
    p.rect(cx - 2, y0 + 14, 4, 6, lambda x, y: YELLOW if x < cx else BROWN)
    p.rect(cx - 6, y0 + 20, 12, 2, lambda x, y: YELLOW if x < cx + 2 else BROWN)
    p.rect(cx - 8, y0 + 22, 16, 5, lambda x, y: BROWN if x > cx + 4 else YELLOW)
    p.rect(cx - 8, y0 + 27, 16, 1, BLACK)
    # a "1" engraved on the bowl
    for y in range(y0 + 3, y0 + 11):
        p.px(cx, y, BROWN)
    p.px(cx - 1, y0 + 4, BROWN)
    p.rect(cx - 1, y0 + 11, 3, 1, BROWN)


def flag(p, x0, y0, w=30, h=20):
    """A chequered flag on a pole, waving."""
    p.rect(x0, y0, 2, h + 14, lambda x, y: LGREY if x == x0 else DGREY)
    p.px(x0, y0 - 1, YELLOW)
    p.px(x0 + 1, y0 - 1, BROWN)
    for x in range(w):
        dy = int(round(2 * math.sin(x / w * 2 * math.pi)))
        for y in range(h):
            c = WHITE if ((x // 5) + (y // 5)) % 2 == 0 else BLACK
            p.px(x0 + 2 + x, y0 + y + dy, c)


def first():
    p = Pic(159, 48, BLUE)
    for y in range(4, 44):
        for x in range(159):  # a deep blue sky, lighter towards the top
            if y < 14 and (x + y) % 2 == 0:
                p.px(x, y, LBLUE if y < 9 else BLUE)
            elif y >= 14:
                p.px(x, y, BLUE if (y > 34 or (x + y) % 2) else BLACK)
    chequer(p, 0, 4)
    chequer(p, 44, 4)
    trophy(p, 6, 10)
    # sparkles around the cup
    for x, y in ((4, 9), (33, 8), (36, 27)):
        p.px(x, y, WHITE)
        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            p.px(x + dx, y + dy, YELLOW)
    x = 44
    big_text(p, x, 8, "1ST", 3, YELLOW, RED)
    pixelfont.BOLD.draw(p, 45, 33, "WINNER!", WHITE, shadow=BLACK)
    flag(p, 120, 9)
    return p


def cloud(p, x0, y0):
    for cx, cy, r in ((x0 + 9, y0 + 9, 7), (x0 + 18, y0 + 6, 8), (x0 + 28, y0 + 9, 7),
                      (x0 + 17, y0 + 12, 7)):
        p.disc(cx, cy, r, lambda x, y, cy=cy: LGREY if y < cy - 3 else DGREY)
    p.rect(x0 + 3, y0 + 15, 31, 2, DGREY)
    for i, (dx, dy) in enumerate(((6, 20), (14, 23), (22, 19), (30, 22), (10, 29), (26, 28),
                                  (18, 31), (4, 36), (32, 34), (13, 40), (24, 38))):
        p.px(x0 + dx, y0 + dy, LBLUE)
        p.px(x0 + dx, y0 + dy + 1, LBLUE)
        p.px(x0 + dx - 1, y0 + dy + 2, BLUE)


def sad_face(p, cx, cy):
    p.disc(cx, cy, 10, lambda x, y: BROWN if math.hypot(x + 0.5 - (cx - 2.5),
                                                       y + 0.5 - (cy - 2.5)) > 11 else YELLOW)
    p.disc(cx, cy, 10.8, lambda x, y: None if p.get(x, y) in (YELLOW, BROWN) else BLACK)
    for ex in (cx - 4, cx + 3):
        p.rect(int(ex), int(cy - 4), 2, 3, BLACK)
    for i in range(9):  # a frown
        x = int(cx - 4 + i)
        y = int(cy + 6 - 2.2 * math.sin(i / 8 * math.pi))
        p.px(x, y, BLACK)
    p.px(int(cx + 5), int(cy - 1), LBLUE)  # a tear
    p.px(int(cx + 5), int(cy), LBLUE)
    p.px(int(cx + 5), int(cy + 1), BLUE)


def last():
    p = Pic(159, 48, BLACK)
    for y in range(48):
        for x in range(159):  # a grey, overcast dusk
            if y < 24 and (x + 2 * y) % 4 == 0:
                p.px(x, y, DGREY)
    p.rect(0, 0, 159, 1, DGREY)
    p.rect(0, 47, 159, 1, DGREY)
    sad_face(p, 21, 35)
    cloud(p, 3, 3)  # after the face, so the rain falls on it
    big_text(p, 48, 8, "2ND", 3, LGREY, DGREY)
    pixelfont.BOLD.draw(p, 47, 33, "NEXT TIME...", WHITE, shadow=DGREY)
    cloud(p, 118, 5)
    return p


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else ART
    arrow().save(out, "arrowLeftData")
    hud().save(out, "hudData")
    for n in (1, 2, 3):
        digit(n).save(out, f"digit{n}Data")
    lights(False).save(out, "lightsOffData")
    lights(True).save(out, "lightsOnData")
    first().save(out, "first_d")
    last().save(out, "last_d")


if __name__ == "__main__":
    main()
