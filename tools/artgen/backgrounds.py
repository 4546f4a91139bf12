"""Draws the three race panoramas, 600 x 80 each, one full turn of the horizon.

Each is drawn on a wrapping canvas so column 599 runs on into column 0. The road's
horizon lies near row 68 and the ground starts at row 80 in the colour of the track
segment (boul: green, grey, light green; suburb: grey, green, light green; iron:
brown, light green, green), so every panorama ends in a dark strip (hedge, wall,
embankment) that reads as the far edge of any of its grounds. The start lights stand
over rows 4..73 in the middle of the view, so the skies stay calm.

    python3 tools/artgen/backgrounds.py     writes assets/art/bkg_*_d.png

The PNGs are the sources the converter reads (python3 tools/art2c.py); rerunning
this script overwrites hand edits made to them.
"""

import math
import random

from scenecanvas import (BAYER4, BLACK, BLUE, BROWN, CYAN, DGREY, GREEN, LBLUE, LCYAN, LGREEN,
                         LGREY, LRED, MAGENTA, RED, WHITE, YELLOW, Canvas, gradient, mix)

W, H = 600, 80


def sky(c, stops):
    """Vertical gradient through (row, colour) stops, ordered-dithered between them."""
    gradient(c, stops, H, W)


def cloud(c, x, y, w, h, top, shade, rng):
    """A flat-bottomed heap of puffs, lit from the upper left."""
    puffs = []
    n = max(2, w // 7)
    for i in range(n):
        px = x + (i + 0.5) * w / n + rng.uniform(-1.5, 1.5)
        mid = 1 - abs((i + 0.5) / n - 0.5) * 2
        r = h * (0.45 + 0.55 * mid) * rng.uniform(0.8, 1.1)
        puffs.append((px, y + h - r * 0.9, r * 1.25, r))
    bottom = y + h
    for px, py, rx, ry in puffs:
        def col(xx, yy, px=px, py=py, rx=rx, ry=ry):
            d = ((xx - px + rx * 0.35) / rx) ** 2 + ((yy - py + ry * 0.35) / ry) ** 2
            if yy >= bottom - 1:
                return shade
            return top if d < 0.9 else mix(xx, yy, top, shade, 8 if d < 1.25 else 16)
        c.ellipse(px, py, rx, ry, lambda xx, yy: col(xx, yy) if yy <= bottom else None)


def tree(c, x, base, r, rng=None, light=LGREEN, mid=GREEN, dark=BLACK, trunk=BROWN):
    """A deciduous tree: a crown of a few overlapping clumps on a short trunk, lit from
    the upper left as one ball (light rim upper left, dark dither lower right)."""
    rng = rng or random.Random(x * 31 + base)
    cy = base - r - max(2, r // 2)
    c.rect(x - 1, cy, 2, base - cy, trunk)
    c.vline(x, cy, base - 1, BLACK)
    clumps = [(x, cy, r)]
    for _ in range(3):
        a = rng.uniform(0, 6.283)
        clumps.append((x + math.cos(a) * r * 0.5, cy + math.sin(a) * r * 0.4,
                       r * rng.uniform(0.55, 0.7)))

    def col(xx, yy):
        dx, dy = (xx + 0.5 - x) / r, (yy + 0.5 - cy) / r
        lit = -dx * 0.6 - dy * 0.8  # towards the light
        if lit > 0.45:
            return light if lit > 0.7 else mix(xx, yy, mid, light, 8)
        if lit < -0.35:
            return mix(xx, yy, mid, dark, 5 if lit > -0.65 else 9)
        return mid
    for px, py, pr in clumps:
        c.ellipse(px + 0.5, py + 0.5, pr, pr * 0.92, col)


def conifer(c, x, base, h, light=LGREEN, mid=GREEN, dark=BLACK):
    """A fir: three stacked tiers, each lit on its left flank."""
    tiers = 3
    for t in range(tiers):
        top = base - h + t * h // (tiers + 1)
        bottom = top + h // 2
        for y in range(top, bottom):
            half = (y - top) * 0.45 + 0.5
            for xx in range(int(x - half), int(x + half) + 1):
                if xx < x - half + 1.2:
                    col = light if (y + t) % 2 == 0 else mid
                elif xx > x + half - 1.5:
                    col = mix(xx, y, mid, dark, 8)
                else:
                    col = mid
                c.px(xx, y, col)
    c.vline(x, base - h // 4, base - 1, BROWN)


def poplar(c, x, base, h, light=LGREEN, mid=GREEN, dark=BLACK):
    """A tall narrow poplar, a slim ellipse lit on its left."""
    cy = base - h / 2 - 1
    c.ellipse(x + 0.5, cy, 2.6, h / 2,
              lambda xx, yy: (mix(xx, yy, mid, light, 8) if xx < x else
                              (mix(xx, yy, mid, dark, 6) if xx > x + 1 else mid)))
    c.vline(x, base - 2, base - 1, BROWN)


def windows(c, x0, y0, x1, y1, dx, dy, ww, wh, colour, glint=None, rng=None, lit=None):
    """A grid of windows of ww x wh every dx, dy pixels inside the given box."""
    for y in range(y0, y1 - wh + 1, dy):
        for x in range(x0, x1 - ww + 1, dx):
            col = colour
            if rng is not None and lit is not None and rng.random() < lit[1]:
                col = lit[0]
            c.rect(x, y, ww, wh, col)
            if glint is not None and col == colour:
                c.px(x, y, glint)


def block(c, x, w, top, base, face, light, dark):
    """A flat-fronted building: face colour, a lit left edge and a shaded right edge."""
    c.rect(x, top, w, base - top, face)
    c.vline(x, top, base - 1, light)
    c.vline(x + w - 1, top, base - 1, dark)
    c.hline(x, x + w - 1, top, light)


# --- boul: a city boulevard ---------------------------------------------------------

def boul():
    rng = random.Random(7)
    c = Canvas(W, H, LBLUE, wrap=True)
    sky(c, [(0, BLUE), (9, LBLUE), (44, LBLUE), (62, LCYAN), (80, LCYAN)])
    for x, y, w, h in ((40, 12, 34, 7), (170, 6, 24, 5), (300, 16, 40, 8), (445, 9, 28, 6),
                       (520, 20, 22, 5)):
        cloud(c, x, y, w, h, WHITE, LCYAN, rng)

    # Far city in the haze: pale blocks, a television tower and a cathedral.
    x = 0
    while x < W:
        w = rng.randint(10, 26)
        top = rng.randint(38, 52)
        c.rect(x, top, w, 72 - top, LGREY)
        windows(c, x + 2, top + 3, x + w - 1, 70, 3, 3, 1, 1, LCYAN)
        x += w + rng.randint(0, 4)
    tx = 250  # television tower
    c.rect(tx, 14, 3, 58, LGREY)
    c.vline(tx + 2, 14, 71, CYAN)
    c.ellipse(tx + 1.5, 26.5, 4, 3, LGREY)
    c.hline(tx - 2, tx + 4, 27, CYAN)
    c.vline(tx + 1, 6, 13, DGREY)
    cx = 470  # a domed cathedral
    c.rect(cx - 12, 40, 25, 32, LGREY)
    c.ellipse(cx + 0.5, 40.5, 9, 10, lambda xx, yy: CYAN if xx > cx + 3 else LCYAN)
    c.vline(cx, 26, 31, DGREY)
    c.hline(cx - 1, cx + 1, 28, DGREY)

    # The boulevard's facades.
    palettes = [(YELLOW, WHITE, BROWN), (LGREY, WHITE, DGREY), (RED, LRED, BLACK),
                (BROWN, YELLOW, BLACK), (LRED, WHITE, RED), (DGREY, LGREY, BLACK)]
    x = 0
    last = None
    while x < W - 8:
        w = rng.randint(22, 44)
        if x + w > W - 4:
            w = W - x
        face, light, dark = rng.choice([p for p in palettes if p != last])
        last = (face, light, dark)
        top = rng.randint(46, 56)
        block(c, x, w, top, 76, face, light, dark)
        win = BLACK if face in (DGREY, RED) else BLUE
        windows(c, x + 3, top + 4, x + w - 3, 72, 5, 6, 2, 3, win, glint=LCYAN)
        c.hline(x, x + w - 1, top + 1, dark)  # cornice shadow
        roof = rng.random()
        if roof < 0.35:  # a mansard roof of red tiles with dormers
            rt = top - 6
            c.polygon([(x + 0.5, top + 0.5), (x + 3.5, rt), (x + w - 3.5, rt),
                       (x + w - 0.5, top + 0.5)],
                      lambda xx, yy: LRED if yy == rt or xx < x + 4 else RED)
            for dx in range(x + 6, x + w - 8, 8):
                c.rect(dx, rt + 2, 3, 3, WHITE)
                c.rect(dx + 1, rt + 3, 1, 2, BLUE)
        elif roof < 0.5:  # a corner turret with a green copper cap
            c.rect(x + 2, top - 6, 6, 6, face)
            c.vline(x + 2, top - 6, top - 1, light)
            c.polygon([(x + 1, top - 6), (x + 5, top - 12), (x + 9, top - 6)],
                      lambda xx, yy: LCYAN if xx < x + 5 else CYAN)
        x += w

    # Trees and street lamps along the boulevard, a clipped hedge in front.
    for i in range(24):
        tx = i * 25 + rng.randint(-3, 3)
        tree(c, tx, 76, rng.randint(6, 8), rng)
        lx = tx + 12
        c.vline(lx, 60, 76, DGREY)
        c.hline(lx - 2, lx, 60, DGREY)
        c.px(lx - 2, 61, YELLOW)
    for x in range(W):
        for y in range(74, 80):
            if y == 74 and (x * 7) % 5 == 0:
                continue
            c.px(x, y, GREEN if y < 77 else mix(x, y, GREEN, BLACK, 8 if y < 79 else 16))
        if (x * 13) % 6 == 0:
            c.px(x, 75, LGREEN)
    return c


# --- suburb: houses and gardens -----------------------------------------------------

ROOFS = [(LRED, RED), (RED, BROWN), (LGREY, DGREY), (BROWN, BLACK), (LRED, RED)]
WALLS = [(WHITE, LGREY), (YELLOW, BROWN), (LGREY, DGREY), (LRED, RED), (WHITE, LGREY)]


def house(c, x, base, w, storeys, wall, roof, rng):
    """A family house: walls with windows and a door, a pitched roof lit on its left
    slope, maybe a chimney, maybe a garage at the side."""
    face, shade = wall
    lit, dark = roof
    h = 7 * storeys + 2
    top = base - h
    c.rect(x, top, w, h, face)
    c.vline(x + w - 1, top, base - 1, shade)
    rh = w // 3 + 2  # roof height
    mid = x + w / 2
    c.polygon([(x - 1.5, top + 0.5), (mid, top - rh), (x + w + 1.5, top + 0.5)],
              lambda xx, yy: lit if xx + 0.5 < mid else dark)
    c.hline(x - 1, x + w, top, BLACK)  # eaves shadow
    if rng.random() < 0.7:
        chx = int(mid + w / 5)
        cht = top - int(rh * 0.6) - 3
        c.rect(chx, cht, 3, top - cht, RED)
        c.vline(chx + 2, cht, top - 1, BROWN)
        c.hline(chx - 1, chx + 3, cht, DGREY)
    door = x + 3 if rng.random() < 0.5 else x + w - 6
    for s in range(storeys):
        wy = top + 2 + 7 * s
        for wx in range(x + 2, x + w - 4, 6):
            if s == storeys - 1 and abs(wx - door) < 4:
                continue
            c.rect(wx, wy, 4, 4, WHITE)
            c.rect(wx + 1, wy + 1, 2, 2, BLUE)
            c.px(wx + 1, wy + 1, LCYAN)
    c.rect(door, base - 6, 3, 6, BROWN)
    c.px(door + 2, base - 3, YELLOW)
    c.hline(door - 1, door + 3, base - 7, shade)


def suburb():
    rng = random.Random(11)
    c = Canvas(W, H, LBLUE, wrap=True)
    sky(c, [(0, LBLUE), (40, LBLUE), (49, LCYAN), (80, LCYAN)])
    for x, y, w, h in ((20, 10, 30, 7), (130, 18, 22, 5), (260, 8, 36, 8), (390, 14, 26, 6),
                       (500, 6, 30, 7)):
        cloud(c, x, y, w, h, WHITE, LCYAN, rng)
    # Rolling hills far off, a hazy far ridge and a greener near one.
    for x in range(W):
        t = x * 2 * math.pi / W
        far = 50 + 4 * math.sin(3 * t) + 2 * math.sin(7 * t + 1)
        near = 58 + 3 * math.sin(2 * t + 2) + 2 * math.sin(5 * t)
        for y in range(int(far), 72):
            c.px(x, y, CYAN if y < near else mix(x, y, GREEN, CYAN, 3))
        c.px(x, int(far), mix(x, int(far), CYAN, LCYAN, 8))
        if int(near) > int(far):
            c.px(x, int(near), LGREEN if x % 2 else GREEN)
    for i in range(40):  # far-off trees dotting the near ridge
        fx = rng.randrange(W)
        t = fx * 2 * math.pi / W
        fy = int(58 + 3 * math.sin(2 * t + 2) + 2 * math.sin(5 * t))
        if fy - 2 <= 50 + 4 * math.sin(3 * t) + 2 * math.sin(7 * t + 1):
            continue  # the near ridge is hidden behind the far one here
        c.ellipse(fx + 0.5, fy - 0.5, 1.6, 1.4, lambda xx, yy: GREEN if xx <= fx else BLACK)
    # A church on the hill.
    c.rect(402, 44, 6, 16, WHITE)
    c.vline(407, 44, 59, LGREY)
    c.polygon([(401, 44), (405, 31), (409, 44)], lambda xx, yy: RED if xx < 405 else BROWN)
    c.rect(404, 48, 2, 3, DGREY)
    c.rect(408, 50, 10, 10, WHITE)
    c.polygon([(407, 50), (413, 45), (419, 50)], lambda xx, yy: RED if xx < 413 else BROWN)

    # Garden trees behind the houses, then the houses.
    for i in range(30):
        tx = i * 20 + rng.randint(-4, 4)
        kind = rng.random()
        if kind < 0.5:
            tree(c, tx, 72, rng.randint(6, 9), rng)
        elif kind < 0.75:
            poplar(c, tx, 72, rng.randint(18, 24))
    x = 4
    while x < W - 34:
        w = rng.randint(22, 32)
        storeys = 2 if rng.random() < 0.45 else 1
        house(c, x, 73, w, storeys, rng.choice(WALLS), rng.choice(ROOFS), rng)
        gap = rng.randint(6, 14)
        if gap > 9:
            if rng.random() < 0.5:
                conifer(c, x + w + gap // 2, 74, rng.randint(12, 16))
            else:
                tree(c, x + w + gap // 2, 74, rng.randint(4, 6), rng)
        x += w + gap
    # Garden hedge with a white picket fence in front of it.
    for x in range(W):
        for y in range(72, 80):
            if y < 76:
                c.px(x, y, mix(x, y, GREEN, LGREEN, 5) if y == 72 else GREEN)
            else:
                c.px(x, y, mix(x, y, GREEN, BLACK, 6 if y < 78 else 12))
        if x % 4 == 0:
            c.vline(x, 73, 78, WHITE)
            c.px(x, 72, LGREY)
            c.px(x + 1, 74, LGREY)
    c.hline(0, W - 1, 75, WHITE)
    c.hline(0, W - 1, 76, LGREY)
    return c


# --- iron: an ironworks at sundown --------------------------------------------------

def smoke(c, x, y, rng, n=12, light=LGREY, dark=DGREY):
    """A plume rising from (x, y), bent over by the wind to the right, lit on its
    upper left and thinning out (dithered away) as it spreads."""
    px, py = float(x), float(y) - 1
    for i in range(n):
        r = 1.2 + i * 0.5
        px += 0.6 + i * 0.35 + rng.uniform(-0.3, 0.3)
        py -= max(0.6, 2.2 - i * 0.22)
        thin = min(16, i * 16 // n)  # how far this puff has thinned

        def col(xx, yy, px=px, py=py, r=r, thin=thin):
            if thin > BAYER4[(yy + 1) & 3][(xx + 2) & 3] + 2:
                return None  # sky shows through the thinning smoke
            lit = (xx - px) * 0.6 + (yy - py) * 0.8
            if lit < -r * 0.2:
                return light
            return mix(xx, yy, light, dark, 8) if lit < r * 0.4 else dark
        c.ellipse(px, py, r * 1.3, r, col)


def chimney(c, x, top, base, w, rng):
    c.rect(x, top, w, base - top, DGREY)
    c.vline(x, top, base - 1, LGREY)
    for y in range(top + 2, top + 9, 4):  # warning bands
        c.rect(x, y, w, 2, RED)
        c.px(x, y, LRED)
    c.rect(x - 1, top, w + 2, 1, BLACK)


def iron():
    rng = random.Random(5)
    c = Canvas(W, H, BLUE, wrap=True)
    # Sundown: bands of solid colour with short dithered seams keep it calm.
    sky(c, [(0, BLUE), (5, BLUE), (11, MAGENTA), (20, MAGENTA), (27, RED), (38, RED),
            (45, LRED), (53, LRED), (60, YELLOW), (80, YELLOW)])
    # A low sun sinking behind the works.
    c.ellipse(150.5, 52.5, 8, 8,
              lambda xx, yy: WHITE if (xx - 149) ** 2 + (yy - 51) ** 2 < 20 else YELLOW)
    for y in (50, 54, 57):  # thin cloud streaks across it
        c.hline(138, 164, y, LRED)

    # Far works in the red haze: saw-tooth sheds, gas holders, a cooling tower.
    x = 0
    while x < W:
        w = rng.randint(16, 40)
        top = rng.randint(58, 64)
        c.rect(x, top, w, 74 - top, RED)
        for sx in range(x, x + w - 3, 6):  # saw-tooth roof lights
            c.polygon([(sx, top + 0.5), (sx + 5, top - 3), (sx + 5, top + 0.5)], RED)
        x += w + rng.randint(3, 12)
    for gx in (66, 330, 516):  # gas holders: a drum in its guide frame
        c.rect(gx - 10, 56, 21, 18, RED)
        c.hline(gx - 10, gx + 10, 56, LRED)
        for fx in range(gx - 11, gx + 12, 5):
            c.vline(fx, 52, 73, MAGENTA)
        for yy in (52, 60, 67):
            c.hline(gx - 11, gx + 11, yy, MAGENTA)
    for tx in (284, 464):  # cooling towers, waisted
        for y in range(44, 74):
            t = (y - 44) / 30
            half = 9 - 4 * math.sin(t * math.pi * 0.8) + 3 * t
            c.hline(int(tx - half), int(tx + half), y, RED)
            c.px(int(tx - half), y, LRED)  # the lit rim on the left
            c.px(int(tx + half), y, MAGENTA)
        smoke(c, tx - 2, 44, rng, n=9, light=LRED, dark=MAGENTA)

    # The works itself: blast furnaces with their stoves and skip inclines.
    def furnace(x):
        c.rect(x, 38, 12, 36, BLACK)
        c.polygon([(x - 2, 74), (x + 2, 48), (x + 10, 48), (x + 14, 74)], BLACK)
        c.rect(x + 3, 28, 6, 10, BLACK)
        c.vline(x + 5, 18, 28, BLACK)
        c.hline(x + 2, x + 8, 31, DGREY)  # a catwalk round the top
        for yy in (44, 52, 60):
            c.hline(x - 1, x + 12, yy, DGREY)
        c.vline(x, 38, 73, DGREY)  # the furnace shell catches the last light
        c.rect(x + 4, 66, 4, 8, LRED)  # glow from the tapping hole
        c.rect(x + 5, 67, 2, 7, YELLOW)
        for sx in (x + 16, x + 22, x + 28):  # hot-blast stoves
            c.rect(sx, 44, 5, 30, BLACK)
            c.ellipse(sx + 2.5, 44.5, 2.5, 2.5, BLACK)
            c.vline(sx, 45, 73, DGREY)
        c.line(x + 12, 40, x + 40, 62, BLACK)  # skip incline
        c.line(x + 12, 41, x + 40, 63, BLACK)
        for i in range(0, 28, 4):
            c.vline(x + 12 + i, 41 + i * 22 // 28, 73, BLACK)

    for fx in (30, 226, 420):
        furnace(fx)
    # A gantry crane over the stockyard.
    for gx in (340, 520):
        c.vline(gx, 50, 73, BLACK)
        c.vline(gx + 24, 50, 73, BLACK)
        c.rect(gx - 4, 49, 34, 2, BLACK)
        c.rect(gx + 9, 51, 4, 3, BLACK)
        c.vline(gx + 11, 54, 60, DGREY)
        for i in range(0, 24, 3):
            c.line(gx, 73 - i, gx + 2, 70 - i, BLACK)
    for chx, top in ((100, 14), (108, 22), (190, 18), (300, 12), (312, 20), (384, 24),
                     (480, 16), (590, 22)):
        chimney(c, chx, top, 74, 4, rng)
        smoke(c, chx + 2, top, rng)
    # Halls with lit windows along the bottom, and a pipe bridge over them.
    x = 0
    while x < W:
        w = rng.randint(24, 48)
        top = rng.randint(62, 67)
        c.rect(x, top, w, 76 - top, BLACK)
        c.hline(x, x + w - 1, top, DGREY)
        windows(c, x + 3, top + 3, x + w - 2, 73, 4, 4, 2, 2, DGREY, rng=rng, lit=(YELLOW, 0.35))
        x += w + rng.randint(0, 6)
    # Rail embankment: cinders, a track, a fence line.
    for x in range(W):
        for y in range(75, 80):
            c.px(x, y, mix(x, y, BLACK, BROWN, 4 if y < 78 else 7))
        c.px(x, 76, DGREY)
        if x % 3 == 0:
            c.px(x, 77, BROWN)
    for x in range(0, W, 10):
        c.vline(x, 72, 75, DGREY)
    c.hline(0, W - 1, 73, DGREY)
    return c


def main():
    boul().save("bkg_boul_d")
    suburb().save("bkg_sub_d")
    iron().save("bkg_iron_d")


if __name__ == "__main__":
    main()
