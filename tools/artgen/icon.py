"""Draws the desktop icon: the title's red car racing away down a road at sundown, on a
rounded tile with a black rim so that it reads on light and dark desktops alike.

    python3 tools/artgen/icon.py    writes assets/art/icon16.png, icon24.png, icon64.png

Three hand-tuned source sizes, because a picture shrunk below about 32 pixels loses the
car: 16 is drawn for 16 and 32, 24 for 48, 64 for 64, 128 and 256 (tools/icons.py scales
them by whole multiples). The PNGs are the sources; rerunning this script overwrites hand
edits made to them.
"""

import random

from scenecanvas import (BLACK, BLUE, BROWN, CLEAR, CYAN, DGREY, GREEN, LCYAN, LGREEN, LGREY,
                         LRED, MAGENTA, RED, WHITE, YELLOW, Canvas, gradient, mix)

# One letter per pixel in the hand-drawn grids below.
KEY = {".": CLEAR, "k": BLACK, "b": BLUE, "m": MAGENTA, "r": RED, "R": LRED, "o": BROWN,
       "g": DGREY, "G": LGREY, "W": WHITE, "y": YELLOW, "e": GREEN, "E": LGREEN, "c": CYAN,
       "C": LCYAN}

# The car from behind, 34 x 26, left half (the right half mirrors it). Body light red on
# top and a dithered dark lower panel as on the race sprites; black glass with headrests,
# tail lamps, number plate, bumper, tyres.
CAR64_HALF = [
    "........kkkkkkkkk",
    ".......kRkkkkkkkk",
    ".......kRkkkkkkkk",
    "......kRkkkkkkkkk",
    "......kRkkkkkgggk",
    ".....kRkkkkkkgggk",
    ".....kRGgkkkkgggk",
    "....kRkkGgkkkkkkk",
    "...kRRRRRRRRRRRRR",
    ".kkRRRRRRRRRRRRRR",
    "kRRRRRRRRRRRRRRRR",
    "kkkkkkkkkkkkkkkkk",
    "kRRRRRRRRRRRRRRRR",
    "kkkkkkkkrRrRrRrRr",
    "kRWRRRRkRrRrRrRrR",
    "kRRRRyykrRrRrkkkk",
    "krrrryykRrRrRkWWW",
    "krrrrookrRrRrkWkW",
    "kkkkkkkkRrRrRkWWW",
    "kRrRrRrRrRrRrkkkk",
    "kWWWWWWWWWWWWWWWW",
    "kGGGGGGGGGGGGGGGG",
    "kkGGGGGGGkkkkkkkk",
    ".kkkkkkk.........",
    ".kkkkkkk.........",
    "..kkkkk..........",
]

# The whole 16 x 16 icon, left half: rim, sky, sun, city, the car filling the road.
ICON16_HALF = [
    "...kkkkk",
    ".kkbbbbb",
    ".kbbbbbb",
    "kmmmmmmm",
    "krrrrryy",
    "kkkkRyyW",
    "kEEEEEEg",
    "keeeekkk",
    "keeekRkg",
    "kEEkRRRR",
    "kEWkRRRR",
    "kRgkyykW",
    "kggkrrrr",
    "kggkGGGG",
    ".kgkkkgg",
    "...kkkkk",
]

# The whole 24 x 24 icon, left half.
ICON24_HALF = [
    "....kkkkkkkk",
    "..kkbbbbbbbb",
    ".kbbbbbbbbbb",
    ".kbbbmbbbbbm",
    "kmmmmmmmmmmm",
    "kmmmrmmmmmrm",
    "krrrrrrrrryy",
    "kkkRRRRRRyyW",
    "kkkkkRkkyyyW",
    "kkkkkkkkkyyW",
    "kEEEEEEEEEEg",
    "keeeeeeekkkk",
    "kEEEEEEkRkkk",
    "kEEEEEkRkkgk",
    "keeeekRRRRRR",
    "keeekRRRRRRR",
    "keeekkkkkkkk",
    "kEEEkyykRRRR",
    "kEEWkrokRRkW",
    "kERgkrrrrrrr",
    "kWggkWWWWWWW",
    "kgggkGGGGGGG",
    ".kggkkkggggg",
    "....kkkkkkkk",
]

# The other player's car far ahead, 8 x 6, in player B's cyan.
CAR_FAR = [
    "..kkkk..",
    ".kCkkCk.",
    "kCCCCCCk",
    "kRccccRk",
    "kGGGGGGk",
    "kk....kk",
]


def grid(rows):
    """A canvas from rows of KEY letters."""
    c = Canvas(len(rows[0]), len(rows), CLEAR)
    for y, row in enumerate(rows):
        assert len(row) == c.w, "row %d is %d wide, not %d" % (y, len(row), c.w)
        for x, ch in enumerate(row):
            c.px(x, y, KEY[ch])
    return c


def mirrored(half_rows):
    return grid([row + row[::-1] for row in half_rows])


def tile_mask(size, radius):
    """True inside a square with rounded corners of the given radius."""
    def inside(x, y):
        cx = min(max(x + 0.5, radius), size - radius)
        cy = min(max(y + 0.5, radius), size - radius)
        return (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= radius * radius
    return inside


def on_tile(scene, radius):
    """The scene cut to a rounded tile and ringed in black."""
    size = scene.w
    inside = tile_mask(size, radius)
    out = Canvas(size, size, CLEAR)
    for y in range(size):
        for x in range(size):
            if inside(x, y):
                out.px(x, y, scene.get(x, y))
    for y in range(size):
        for x in range(size):
            if inside(x, y) and not all(inside(x + dx, y + dy) and 0 <= x + dx < size and
                                        0 <= y + dy < size
                                        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                out.px(x, y, BLACK)
    return out


def icon16():
    c = mirrored(ICON16_HALF)
    for x, y in ((12, 1), (4, 2)):  # stars
        c.px(x, y, WHITE)
    return c


def icon24():
    c = mirrored(ICON24_HALF)
    for x, y in ((7, 1), (18, 2)):
        c.px(x, y, WHITE)
    return c


def icon64():
    size, horizon = 64, 27
    c = Canvas(size, size, BLACK)
    gradient(c, [(0, BLACK), (2, BLUE), (6, BLUE), (11, MAGENTA), (15, MAGENTA), (19, RED), (21, RED),
                 (24, LRED), (26, LRED), (28, YELLOW)], horizon + 1, size)
    rng = random.Random(5)
    for _ in range(7):
        c.px(rng.randrange(3, size - 3), rng.randrange(2, 7), WHITE)
    # The sun setting behind the city, striped like the title's.
    sx, sy = 32, horizon
    c.ellipse(sx, sy, 11, 11, lambda x, y: WHITE if (x + 0.5 - sx) ** 2 +
              (y + 0.5 - sy) ** 2 < 30 else YELLOW)
    for y in (horizon - 7, horizon - 4, horizon - 2):
        c.hline(sx - 12, sx + 11, y, LRED if y < horizon - 3 else RED)
    # Skyline: towers at both sides, low roofs in front of the sun.
    for x0, w, top in ((1, 5, 17), (6, 4, 20), (10, 6, 15), (16, 3, 22), (19, 5, 24),
                       (40, 5, 24), (45, 4, 21), (49, 6, 14), (55, 3, 19), (58, 6, 17)):
        c.rect(x0, top, w, horizon - top + 1, BLACK)
        for wy in range(top + 2, horizon - 1, 3):
            for wx in range(x0 + 1, x0 + w - 1, 2):
                if rng.random() < 0.3:
                    c.px(wx, wy, YELLOW)
    c.vline(13, 10, 15, BLACK)  # an aerial
    c.px(13, 10, LRED)
    # The road bends away to the right; kerbs and grass in bands that shrink into the
    # distance.
    def centre(d):
        return sx + 40.0 / (d + 4) - 40.0 / (size - horizon + 4)

    for y in range(horizon + 1, size):
        d = y - horizon
        half = d * 0.95
        band = int(60.0 / d) % 2
        for x in range(size):
            u = abs(x + 0.5 - centre(d)) / half
            if u > 1.2:
                col = LGREEN if band else GREEN
            elif u > 1.0:
                col = WHITE if band else LRED
            elif u < 0.06 and band and d > 2:
                col = WHITE
            else:
                col = DGREY
            c.px(x, y, col)
    for x in range(size):  # haze where the ground meets the sky
        if c.get(x, horizon + 1) in (GREEN, LGREEN):
            c.px(x, horizon + 1, mix(x, horizon + 1, GREEN, BLACK, 8))
    far = grid(CAR_FAR)
    c.blit(far, int(centre(6)), horizon + 6 - far.h + 1)
    car = mirrored(CAR64_HALF)
    cx, bottom = 13, 60
    c.hline(cx, cx + car.w - 1, bottom + 1, BLACK)  # its shadow on the road
    c.blit(car, cx, bottom - car.h + 1)
    return on_tile(c, 7)


def main():
    for name, canvas in (("icon16", icon16()), ("icon24", icon24()), ("icon64", icon64())):
        print(canvas.save(name))
        canvas.preview("/tmp/%s-x4.png" % name, 4)


if __name__ == "__main__":
    main()
