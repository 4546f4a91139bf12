"""Draws the title screen, 320 x 200: the ZOTIK logo over a road at sundown with the two
cars racing away, and below it the keys of both players (and the key that lets the
computer drive player B).

    python3 tools/artgen/title.py       writes assets/art/title_d.png

The PNG is the source the converter reads (python3 tools/art2c.py); rerunning this
script overwrites hand edits made to it.
"""

import random

from scenecanvas import (BAYER4, BLACK, BLUE, BROWN, CLEAR, CYAN, DGREY, GREEN, LBLUE, LCYAN,
                         LGREEN, LGREY, LRED, MAGENTA, RED, WHITE, YELLOW, Canvas, gradient,
                         mix)
import pixelfont

W, H = 320, 200
HORIZON = 66  # row of the vanishing point
ROAD_BOTTOM = 106  # last row of the scene; the key panel starts below
PANEL_TOP = 107


def sky(c):
    # Night above, sundown at the horizon: solid bands with short dithered seams.
    stops = [(0, BLACK), (3, BLACK), (10, BLUE), (20, BLUE), (29, MAGENTA), (36, MAGENTA),
             (43, RED), (48, RED), (54, LRED), (60, LRED), (66, YELLOW)]
    gradient(c, stops, HORIZON + 1, W)
    rng = random.Random(3)
    for _ in range(40):  # the first stars
        x, y = rng.randrange(W), rng.randrange(0, 22)
        c.px(x, y, WHITE if rng.random() < 0.3 else LGREY)


def sun_and_city(c):
    """The sun setting on the horizon behind a city skyline."""
    sx, sy = 160, HORIZON - 2
    c.ellipse(sx + 0.5, sy + 0.5, 17, 17,
              lambda x, y: WHITE if (x - sx) ** 2 + (y - sy) ** 2 < 120 else YELLOW)
    for y in range(sy - 8, sy + 1, 4):
        c.hline(sx - 18, sx + 18, y, LRED)
    rng = random.Random(9)
    x = 0
    while x < W:
        w = rng.randint(6, 16)
        top = HORIZON - rng.randint(4, 16)
        if abs(x + w / 2 - 160) < 28:
            top = HORIZON - rng.randint(2, 6)
        c.rect(x, top, w, HORIZON - top + 1, BLACK)
        for wy in range(top + 2, HORIZON - 1, 3):
            for wx in range(x + 1, x + w - 1, 2):
                if rng.random() < 0.18:
                    c.px(wx, wy, YELLOW)
        x += w + rng.randint(0, 2)
    c.rect(54, HORIZON - 30, 3, 30, BLACK)  # a television tower
    c.ellipse(55.5, HORIZON - 22.5, 4, 3, BLACK)
    c.vline(55, HORIZON - 38, HORIZON - 30, BLACK)
    c.px(55, HORIZON - 38, LRED)


def road(c):
    """A pseudo-3D road bending gently to the right, with the game's own kerbs, edge
    lines and centre dashes, over bands of light and dark grass."""
    for y in range(HORIZON + 1, ROAD_BOTTOM + 1):
        d = y - HORIZON  # rows below the horizon
        z = 300.0 / d  # depth
        bend = 900.0 / (d + 6) - 900.0 / (ROAD_BOTTOM - HORIZON + 6)
        centre = 160 + bend * 0.9
        half = d * 3.2
        band = int(z * 1.1) % 2
        for x in range(W):
            u = (x + 0.5 - centre) / half  # -1..1 across the road
            if abs(u) > 1.18:
                col = LGREEN if band else GREEN
            elif abs(u) > 1.0:
                col = WHITE if band else LRED
            else:
                col = DGREY
                if 0.88 < abs(u) < 0.94:
                    col = WHITE
                elif abs(u) < 0.03 and band:
                    col = WHITE
            c.px(x, y, col)
    # Haze where the road meets the sky.
    for x in range(W):
        if c.get(x, HORIZON + 1) in (GREEN, LGREEN):
            c.px(x, HORIZON + 1, mix(x, HORIZON + 1, GREEN, BLACK, 8))


def roadside(c):
    """Trees along both verges, smaller into the distance, to frame the road."""
    for d, side in ((7, -1), (11, 1), (17, -1), (26, 1), (36, -1)):
        y = HORIZON + d
        bend = 900.0 / (d + 6) - 900.0 / (ROAD_BOTTOM - HORIZON + 6)
        x = 160 + bend * 0.9 + side * d * 3.2 * 1.55
        r = max(1.5, d * 0.36)
        c.rect(int(x) - max(0, int(r / 5)), int(y - r), max(1, int(r / 3)), int(r) + 1, BROWN)
        cy = y - r * 1.6

        def col(xx, yy, x=x, cy=cy, r=r):
            lit = -(xx + 0.5 - x) / r * 0.6 - (yy + 0.5 - cy) / r * 0.8
            if lit > 0.45:
                return mix(xx, yy, GREEN, LGREEN, 16 if lit > 0.7 else 8)
            if lit < -0.35:
                return mix(xx, yy, GREEN, BLACK, 6)
            return GREEN
        c.ellipse(x, cy, r * 1.05, r, col)
        c.hline(int(x - r * 0.6), int(x + r * 0.8), y, BLACK)  # its shadow on the grass


def rear_car(c, x, y, w, light, dark, lean=0):
    """A car seen from behind, w pixels wide, bottom row y; lit from the upper left."""
    h = int(w * 0.62)
    top = y - h
    # Tyres.
    tw = max(3, w // 6)
    c.rect(x, y - h // 3, tw, h // 3 + 1, BLACK)
    c.rect(x + w - tw, y - h // 3, tw, h // 3 + 1, BLACK)
    # Body.
    body_top = top + h * 2 // 5
    c.polygon([(x + 1, y - 2), (x + 1, body_top + 2), (x + 3, body_top), (x + w - 3, body_top),
               (x + w - 1, body_top + 2), (x + w - 1, y - 2)],
              lambda xx, yy: light if yy < body_top + (y - body_top) // 2 else dark)
    # Cabin with the rear window.
    cab = [(x + w * 0.2, body_top), (x + w * 0.28, top), (x + w * 0.72, top),
           (x + w * 0.8, body_top)]
    c.polygon(cab, light)
    c.polygon([(x + w * 0.25, body_top), (x + w * 0.31, top + 2), (x + w * 0.69, top + 2),
               (x + w * 0.75, body_top)],
              lambda xx, yy: LGREY if (xx + yy) % 9 == 0 else DGREY)
    c.hline(int(x + w * 0.3), int(x + w * 0.7), top, WHITE)
    # Tail lamps, number plate, bumper.
    ly = body_top + 3
    lw = max(2, w // 7)
    c.rect(x + 2, ly, lw, 2, LRED)
    c.rect(x + w - 2 - lw, ly, lw, 2, LRED)
    c.rect(x + w // 2 - w // 8, ly + 2, w // 4, 3, WHITE)
    c.hline(x + w // 2 - w // 8, x + w // 2 + w // 8 - 1, ly + 4, LGREY)
    c.rect(x + 1, y - 3, w - 2, 2, LGREY)
    c.hline(x + 1, x + w - 2, y - 3, WHITE)
    # Shadow under the car.
    c.hline(x - 1, x + w, y + 1, BLACK)


def key_cap(c, x, y, label, w=None):
    """A keyboard key with its label, 11 pixels tall; returns its width."""
    face = pixelfont.SMALL
    if w is None:
        w = face.width(label) + 5
    c.rect(x, y, w, 11, LGREY)
    c.hline(x, x + w - 2, y, WHITE)
    c.vline(x, y, y + 9, WHITE)
    c.hline(x + 1, x + w - 1, y + 10, DGREY)
    c.vline(x + w - 1, y + 1, y + 10, DGREY)
    c.frame(x - 1, y - 1, w + 2, 13, BLACK)
    for p in ((x - 1, y - 1), (x + w, y - 1), (x - 1, y + 11), (x + w, y + 11)):
        c.px(*p, CLEAR)
    face.draw(c, x + (w - face.width(label) + 1) // 2, y + 2, label, BLACK)
    return w


def logo(c):
    """ZOTIK in slanted block letters: sunset chrome, black rim, deep extrusion."""
    u = 7  # one grid unit in pixels
    top = 5
    hgt = 5 * u
    letters = {
        "Z": [[(0, 0), (5, 0), (5, 1), (1.6, 4), (5, 4), (5, 5), (0, 5), (0, 4), (3.4, 1), (0, 1)]],
        "O": [[(0.8, 0), (4.2, 0), (5, 0.8), (5, 4.2), (4.2, 5), (0.8, 5), (0, 4.2), (0, 0.8)],
              [(1.6, 1.2), (3.4, 1.2), (3.4, 3.8), (1.6, 3.8)]],
        "T": [[(0, 0), (5, 0), (5, 1), (3.1, 1), (3.1, 5), (1.9, 5), (1.9, 1), (0, 1)]],
        "I": [[(0, 0), (1.3, 0), (1.3, 5), (0, 5)]],
        "K": [[(0, 0), (1.3, 0), (1.3, 1.9), (3.6, 0), (5.4, 0), (2.5, 2.4), (5.4, 5), (3.6, 5),
               (1.3, 3.0), (1.3, 5), (0, 5)]],
    }
    widths = {"Z": 5, "O": 5, "T": 5, "I": 1.3, "K": 5.4}
    gap = 0.8
    word = "ZOTIK"
    total = sum(widths[ch] for ch in word) + gap * (len(word) - 1)
    slant = 0.28
    x0 = (W - total * u - slant * hgt) / 2 + 2

    shapes = []
    x = x0
    for ch in word:
        for poly in letters[ch]:
            shapes.append([(x + px * u + slant * (hgt - py * u), top + py * u) for px, py in poly])
        x += (widths[ch] + gap) * u
    mask = Canvas(W, H, CLEAR)
    # Fill the letters; a letter's outline and its hole are joined into one ring so
    # that the even-odd fill cuts the hole out.
    si = 0
    for ch in word:
        polys = shapes[si:si + len(letters[ch])]
        si += len(letters[ch])
        pts = []
        for p in polys:
            pts.extend(p + [p[0]])
        mask.polygon(pts, 1)
    # Extrusion: the letter shape pushed down and to the right, dark red fading to black.
    depth = 5
    for i in range(depth, 0, -1):
        for y in range(H):
            for xx in range(W):
                if mask.get(xx, y) == 1:
                    col = RED if i <= 2 else (mix(xx, y, RED, BLACK, 8) if i <= 3 else BLACK)
                    c.px(xx + i, y + i, col)
    # Rim and face.
    for y in range(H):
        for xx in range(W):
            if mask.get(xx, y) == 1:
                for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1)):
                    if mask.get(xx + dx, y + dy) != 1:
                        c.px(xx + dx, y + dy, BLACK)
    for y in range(H):
        for xx in range(W):
            if mask.get(xx, y) == 1:
                t = (y - top) / hgt
                if t < 0.08:
                    col = WHITE
                elif t < 0.42:
                    col = mix(xx, y, YELLOW, WHITE, 4) if t < 0.2 else YELLOW
                elif t < 0.5:
                    col = BROWN  # the chrome's horizon line
                elif t < 0.58:
                    col = RED
                elif t < 0.8:
                    col = mix(xx, y, RED, LRED, int(16 * (t - 0.58) / 0.22))
                else:
                    col = mix(xx, y, LRED, YELLOW, int(16 * (t - 0.8) / 0.2))
                c.px(xx, y, col)
    # A glint on the upper left of each letter.
    x = x0
    for ch in word:
        gx = int(x + slant * hgt) + 2
        c.px(gx, top + 1, WHITE)
        x += (widths[ch] + gap) * u
    # Sparkles where the chrome catches the light.
    sparkles = ((int(x0 + slant * hgt) + 3, top + 1), (int(x - gap * u + slant * hgt * 0.2), top + 4))
    for sx, sy in sparkles:
        for d in range(1, 4):
            col = WHITE if d < 3 else YELLOW
            for ddx, ddy in ((d, 0), (-d, 0), (0, d), (0, -d)):
                c.px(sx + ddx, sy + ddy, col)
        c.px(sx, sy, WHITE)
    return top + hgt + depth


def panel(c):
    c.rect(0, PANEL_TOP, W, H - PANEL_TOP, BLUE)
    c.hline(0, W - 1, PANEL_TOP, LBLUE)
    c.hline(0, W - 1, PANEL_TOP + 1, BLACK)
    for y in range(PANEL_TOP + 2, H):  # a faint weave so the panel is not a flat slab
        for x in range(W):
            if BAYER4[y & 3][x & 3] == 0 and (x // 4 + y // 4) % 2 == 0:
                c.px(x, y, BLACK)
    small, bold = pixelfont.SMALL, pixelfont.BOLD

    def player(x, name, colour, side, cluster, drive, menu, alone=None):
        y = PANEL_TOP + 4
        bold.draw(c, x, y, name, colour, shadow=BLACK)
        c.hline(x, x + bold.width(name), y + 9, colour)
        small.draw(c, x + 148 - small.width(side), y, side, LGREY, shadow=BLACK)
        # The key cluster as it sits on the keyboard.
        ky = y + 13
        kx = x + 1
        key_cap(c, kx + 13, ky, cluster[0], 11)
        for i, k in enumerate(cluster[1:]):
            key_cap(c, kx + 13 * i, ky + 13, k, 11)
        lx = x + 46
        col = lx + 6 * max(len(k) for k, _ in drive) + 4
        for i, (k, what) in enumerate(drive):
            small.draw(c, col - 5 - small.width(k), ky + 1 + i * 9, k, WHITE, shadow=BLACK)
            small.draw(c, col, ky + 1 + i * 9, what, LCYAN, shadow=BLACK)
        my = ky + 28
        small.draw(c, x, my, "MENU", YELLOW, shadow=BLACK)
        for i, (what, keys) in enumerate(menu):
            small.draw(c, x + 30, my + i * 9, what, LCYAN, shadow=BLACK)
            kx = x + 60
            for word in keys.split(" "):  # keys in white, the joining "or" quieter
                kx = small.draw(c, kx, my + i * 9, word, LGREY if word == "OR" else WHITE,
                                shadow=BLACK) + 7
        if alone:
            # The menu key that hands this player's car to the computer, key then what it
            # does as in the driving keys, on the last menu row with the key under the
            # shift and ctrl keys above it.
            k, what = alone
            ay = my + (len(menu) - 1) * 9
            ax = small.draw(c, x + 90, ay, k, WHITE, shadow=BLACK) + 5
            small.draw(c, ax, ay, what, LCYAN, shadow=BLACK)

    player(6, "PLAYER A", LRED, "LEFT VIEW", ["W", "A", "S", "D"],
           [("W", "ACCELERATE"), ("S", "BRAKE"), ("A D", "STEER")],
           [("UP", "W OR L.SHIFT"), ("DOWN", "S OR L.CTRL"), ("PICK", "D")])
    player(166, "PLAYER B", LCYAN, "RIGHT VIEW", ["^", "<", "_", ">"],
           [("UP", "ACCELERATE"), ("DOWN", "BRAKE"), ("< >", "STEER")],
           [("UP", "^ OR R.SHIFT"), ("DOWN", "_ OR R.CTRL"), ("PICK", ">")],
           alone=("C", "COMPUTER"))
    c.vline(160, PANEL_TOP + 4, 176, LBLUE)
    # The bottom line: start, speaker test, way back.
    y = 186
    c.hline(4, W - 5, y - 5, LBLUE)
    x = 8
    x += key_cap(c, x, y, "ENTER") + 4
    x = small.draw(c, x, y + 2, "START", YELLOW, shadow=BLACK) + 14
    x += key_cap(c, x, y, "<", 11) + 3
    x += key_cap(c, x, y, ">", 11) + 4
    x = small.draw(c, x, y + 2, "TEST SPEAKERS", WHITE, shadow=BLACK) + 14
    x += key_cap(c, x, y, "ESC") + 4
    small.draw(c, x, y + 2, "MENU", WHITE, shadow=BLACK)


def main():
    c = Canvas(W, H, BLACK)
    sky(c)
    sun_and_city(c)
    road(c)
    roadside(c)
    rear_car(c, 108, 103, 40, LRED, RED)
    rear_car(c, 183, 89, 24, LCYAN, CYAN)
    logo(c)
    panel(c)
    c.save("title_d")


if __name__ == "__main__":
    main()
