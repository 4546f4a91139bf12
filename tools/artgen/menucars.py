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
    c.hline(15, 110, 23, D)  # swage line along the flank
    c.hline(40, 90, 19, L)
    top_light(c, 14, 112)
    c.rect(68, 21, 4, 1, LGREY)  # door handle
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
    """A small two-stroke compact: short flat front and rear, long glasshouse, little
    fins over the tail lamps."""
    c = Canvas(W, H, CLEAR)
    c.span = (15, 110)
    body = [(16, 17), (20, 16), (33, 17), (40, 9), (44, 8), (76, 8), (80, 9), (88, 18),
            (106, 20), (108, 22), (108, 31), (16, 31)]
    c.polygon(body, body_shade(26))
    glass(c, [(36, 17), (42, 10), (56, 10), (56, 17)])
    glass(c, [(59, 17), (59, 10), (77, 10), (85, 18), (59, 18)])
    c.vline(57, 9, 17, L)
    c.vline(58, 9, 29, D)
    c.vline(85, 19, 29, D)
    # A white roof, as the two-tone ones had.
    c.hline(44, 76, 8, WHITE)
    c.hline(42, 78, 9, WHITE)
    c.hline(17, 34, 16, WHITE)
    c.hline(88, 105, 19, WHITE)
    c.hline(17, 107, 24, D)
    c.rect(64, 21, 4, 1, LGREY)
    c.rect(105, 21, 3, 3, YELLOW)
    c.rect(16, 18, 2, 3, RED)
    c.rect(104, 28, 6, 3, LGREY)
    c.hline(104, 109, 28, WHITE)
    c.rect(14, 28, 6, 3, LGREY)
    c.hline(14, 19, 28, WHITE)
    wheel(c, 33, 31, 5.5)
    wheel(c, 91, 31, 5.5)
    c.outline(lambda v: v != CLEAR and v != BLACK, BLACK)
    return c


def beetle():
    """The round-backed beetle: one arched body, separate wings over the wheels and a
    running board between them."""
    c = Canvas(W, H, CLEAR)
    c.span = (12, 114)
    shell = smooth([(14, 29), (16, 20), (26, 11), (42, 6), (58, 6), (70, 8), (80, 16),
                    (100, 20), (108, 24), (109, 29), (60, 30)], 10)
    c.polygon(shell, body_shade(25))
    # Wings: front and rear mudguards as separate rounded humps.
    c.polygon(smooth([(84, 29), (88, 22), (96, 19), (104, 21), (110, 28), (112, 31), (84, 31)], 6),
              body_shade(27))
    c.polygon(smooth([(13, 31), (15, 23), (22, 19), (32, 19), (40, 23), (42, 31)], 6),
              body_shade(27))
    c.rect(42, 28, 43, 3, DGREY)  # running board
    c.hline(42, 84, 28, LGREY)
    glass(c, [(39, 15), (44, 10), (56, 9), (56, 15)])
    glass(c, [(59, 15), (59, 9), (67, 10), (74, 15)])
    c.hline(20, 92, 16, L)
    top_light(c, 14, 80)
    c.vline(58, 9, 27, D)
    c.rect(62, 18, 4, 1, LGREY)
    c.ellipse(105.5, 22.5, 2, 2, YELLOW)  # headlamp in the wing
    c.px(104, 21, WHITE)
    c.rect(15, 22, 2, 3, RED)
    c.rect(106, 29, 8, 2, LGREY)
    c.rect(10, 29, 7, 2, LGREY)
    wheel(c, 29, 31, 6)
    wheel(c, 97, 31, 6)
    c.outline(lambda v: v != CLEAR and v != BLACK, BLACK)
    return c
