"""Side views of the three cars for the menu cards (125 x 42, facing right).

The body uses only the two replaceable shades: 9 (light, the sunlit upper flanks)
and 1 (dark, the lower flanks, creases and shut lines). Light comes from the upper
left. Everything else avoids 1 and 9 so that the menu's recolouring touches only
the paint.
"""

from scenecanvas import (BLACK, BLUE, CLEAR, DGREY, LBLUE, LGREY, LRED, RED, WHITE, YELLOW,
                         Canvas, mix)
import pixelfont

W, H = 125, 42
GROUND_Y = 37  # the row the tyres stand on
L, D = LBLUE, BLUE


def smooth(points, steps=8):
    """A closed Catmull-Rom curve through the points, as a polygon."""
    out = []
    n = len(points)
    for i in range(n):
        p0, p1, p2, p3 = points[i - 1], points[i], points[(i + 1) % n], points[(i + 2) % n]
        for s in range(steps):
            t = s / steps
            t2, t3 = t * t, t * t * t
            out.append(tuple(0.5 * (2 * p1[k] + (-p0[k] + p2[k]) * t
                                    + (2 * p0[k] - 5 * p1[k] + 4 * p2[k] - p3[k]) * t2
                                    + (-p0[k] + 3 * p1[k] - 3 * p2[k] + p3[k]) * t3)
                             for k in range(2)))
    return out


def body_shade(crease):
    """Light on the upper flank, dark below the crease, where the flank turns under
    away from the light; one dithered row softens the change."""
    def shade(x, y):
        if y < crease:
            return L
        if y == crease:
            return mix(x, y, L, D, 8)
        return D
    return shade


def wheel(c, cx, cy, r, hub=LGREY):
    c.ellipse(cx, cy, r + 1.5, r + 1.5, BLACK)  # the dark wheel arch
    c.ellipse(cx, cy, r * 0.55, r * 0.55, DGREY)
    c.ellipse(cx, cy, r * 0.4, r * 0.4, hub)
    c.px(int(cx - r * 0.2), int(cy - r * 0.2), WHITE)  # glint on the hub cap


def ground_shadow(c, x0, x1):
    for x in range(x0, x1):
        c.px(x, GROUND_Y, LGREY)
        if x0 + 3 <= x < x1 - 3:
            c.px(x, GROUND_Y + 1, LGREY)


def glass(c, poly):
    """Window glass: dark, with a pale diagonal streak of reflected sky."""
    def g(x, y):
        return LGREY if (x + y) % 23 in (0, 1, 2) else DGREY
    c.polygon(poly, g)


def top_light(c, x0, x1):
    """The topmost paint pixel of every column catches the light."""
    for x in range(x0, x1):
        top = next((y for y in range(H) if c.get(x, y) in (L, D)), None)
        if top is not None:
            c.px(x, top, WHITE)


def name_tag(c, text):
    """The car's name, top right above the bonnet."""
    pixelfont.SMALL.draw(c, W - 6 - pixelfont.SMALL.width(text), 3, text, DGREY)


def skoda():
    """A small boxy saloon: bonnet, cabin and boot as three boxes, engine at the back."""
    c = Canvas(W, H, CLEAR)
    c.span = (12, 114)
    body = [(13, 22), (15, 19), (38, 18), (46, 9), (50, 8), (78, 8), (82, 9), (91, 18),
            (110, 19), (112, 22), (112, 31), (108, 32), (14, 32), (13, 29)]
    c.polygon(body, body_shade(26))
    glass(c, [(41, 18), (48, 10), (61, 10), (61, 18)])
    glass(c, [(64, 18), (64, 10), (80, 10), (87, 18)])
    c.vline(62, 9, 18, L)
    c.vline(63, 9, 30, D)  # door shut lines
    c.vline(88, 19, 30, D)
    c.vline(39, 19, 30, D)
    c.hline(15, 110, 23, D)  # swage line along the flank
    c.hline(40, 90, 19, L)
    top_light(c, 14, 112)
    c.rect(68, 21, 4, 1, LGREY)  # door handle
    c.rect(43, 21, 3, 1, LGREY)
    for x in range(27, 36, 2):  # air intake louvres of the engine at the back
        c.vline(x, 20, 22, D)
    c.hline(15, 110, 25, WHITE)  # a chrome strip along the flank
    c.rect(108, 20, 4, 3, YELLOW)  # headlamp
    c.rect(13, 20, 3, 3, RED)  # tail lamp
    c.px(13, 20, LRED)
    c.rect(106, 29, 8, 3, LGREY)  # bumpers
    c.hline(106, 113, 29, WHITE)
    c.rect(11, 29, 8, 3, LGREY)
    c.hline(11, 18, 29, WHITE)
    wheel(c, 32, 31, 6)
    wheel(c, 94, 31, 6)
    c.outline(lambda v: v != CLEAR and v != BLACK, BLACK)
    return c


def trabant():
    """A small two-stroke compact: upright and short, flat front and rear faces, a
    tall glasshouse under a white roof, little fins over the tail lamps."""
    c = Canvas(W, H, CLEAR)
    c.span = (18, 108)
    body = [(19, 18), (22, 17), (34, 17), (41, 7), (44, 6), (75, 6), (78, 7), (85, 17),
            (104, 18), (106, 19), (106, 31), (19, 31)]
    c.polygon(body, body_shade(26))
    c.polygon([(19, 18), (19, 15), (22, 17)], L)  # tail fin
    glass(c, [(37, 17), (43, 9), (57, 9), (57, 17)])
    glass(c, [(60, 17), (60, 9), (75, 9), (82, 17)])
    c.vline(58, 8, 17, L)
    c.vline(59, 8, 29, D)  # door shut lines
    c.vline(83, 18, 29, D)
    c.vline(36, 18, 29, D)
    c.hline(43, 76, 6, WHITE)  # the white roof
    c.hline(42, 77, 7, WHITE)
    c.hline(41, 78, 8, LGREY)
    c.hline(20, 105, 23, D)  # the flank crease
    c.hline(20, 105, 22, WHITE)
    top_light(c, 20, 41)
    top_light(c, 79, 106)
    c.rect(64, 20, 4, 1, LGREY)
    c.vline(106, 20, 26, DGREY)  # flat face with its grille slats
    for y in (21, 23, 25):
        c.px(105, y, BLACK)
    c.rect(104, 19, 3, 3, YELLOW)
    c.px(104, 19, WHITE)
    c.rect(19, 18, 2, 4, RED)
    c.px(19, 18, LRED)
    c.rect(103, 28, 6, 3, LGREY)
    c.hline(103, 108, 28, WHITE)
    c.rect(16, 28, 6, 3, LGREY)
    c.hline(16, 21, 28, WHITE)
    wheel(c, 34, 31, 5.5)
    wheel(c, 91, 31, 5.5)
    c.outline(lambda v: v != CLEAR and v != BLACK, BLACK)
    return c


def beetle():
    """The round-backed beetle: one arched shell falling away in a long curve behind,
    separate wings over the wheels and a running board between them."""
    c = Canvas(W, H, CLEAR)
    c.span = (11, 112)
    shell = smooth([(15, 28), (15, 21), (21, 13), (32, 7), (46, 4), (58, 5), (66, 8),
                    (72, 13), (84, 17), (96, 21), (103, 27), (60, 29)], 10)
    c.polygon(shell, body_shade(24))
    # Wings: front and rear mudguards as separate rounded humps, set off from the
    # shell by a dark seam with a lit edge under it.
    for pts in ([(81, 30), (84, 23), (93, 19), (102, 20), (108, 25), (111, 31), (82, 31)],
                [(12, 31), (14, 24), (21, 19), (31, 19), (39, 23), (42, 31)]):
        wing = Canvas(W, H, CLEAR)
        wing.polygon(smooth(pts, 6), body_shade(26))
        c.blit(wing, 0, 0)
        for x in range(W):
            top = next((y for y in range(H) if wing.get(x, y) != CLEAR), None)
            if top is not None and c.get(x, top - 1) in (L, D):
                c.px(x, top - 1, D)
                c.px(x, top, WHITE if x < pts[2][0] else L)
    c.rect(42, 27, 40, 3, DGREY)  # running board
    c.hline(42, 81, 27, LGREY)
    # Side windows: a door window and the rounded quarter light behind it.
    glass(c, [(56, 14), (56, 7), (62, 7), (66, 9), (70, 14)])
    glass(c, smooth([(37, 14), (40, 9), (46, 7), (53, 7), (53, 14)], 4))
    c.vline(54, 7, 14, L)
    c.vline(55, 7, 14, L)
    top_light(c, 16, 78)
    c.vline(71, 15, 26, D)  # door shut lines
    c.vline(55, 15, 26, D)
    c.rect(58, 17, 4, 1, LGREY)
    c.hline(22, 100, 17, WHITE)  # a chrome strip along the waist
    for x in range(24, 35, 2):  # engine-lid louvres
        c.px(x, 13 + (35 - x) // 5, D)
    c.ellipse(104.5, 21.5, 2, 2.2, YELLOW)  # headlamp in the wing
    c.px(104, 20, WHITE)
    c.rect(13, 22, 2, 3, RED)
    c.rect(104, 29, 9, 2, LGREY)
    c.hline(104, 112, 29, WHITE)
    c.rect(9, 29, 8, 2, LGREY)
    c.hline(9, 16, 29, WHITE)
    wheel(c, 27, 31, 6)
    wheel(c, 96, 31, 6)
    c.outline(lambda v: v != CLEAR and v != BLACK, BLACK)
    return c
