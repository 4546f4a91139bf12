"""Draws the menu pictures: three track cards, three car cards, the arrow and the OK mark.

Cards are drawn white with a black rim and a drop shadow. The menu shows the chosen
card as drawn and the others with white turned into the grey of the menu ground,
so the chosen card stands out as a lit white card among grey ones.

    python3 tools/artgen/menu.py        writes assets/art/menu*_d.png

The PNGs are the sources the converter reads (python3 tools/art2c.py); rerunning
this script overwrites hand edits made to them.
"""

import math

from scenecanvas import (BLACK, BROWN, CLEAR, DGREY, GREEN, LGREEN, LGREY, WHITE, YELLOW,
                         Canvas)
import menucars
import pixelfont
import trackmap

MENU_GROUND = LGREY


def card(w, h):
    """A white card with a black rim and a dark grey shadow on its right and bottom edge."""
    c = Canvas(w, h, MENU_GROUND)
    c.rect(0, 0, w - 1, h - 1, WHITE)
    c.frame(0, 0, w - 1, h - 1, BLACK)
    c.vline(w - 1, 1, h - 1, DGREY)
    c.hline(1, w - 1, h - 1, DGREY)
    return c


# --- tracks ------------------------------------------------------------------------

def _fit(pts, box_w, box_h):
    """Rotate the plan (in 5-degree steps) to fill the box best; returns the points
    placed in box coordinates and the scale used."""
    best = None
    for step in range(72):
        a = math.radians(5 * step)
        ca, sa = math.cos(a), math.sin(a)
        rot = [(x * ca - y * sa, x * sa + y * ca, g) for x, y, g in pts]
        xs, ys = [p[0] for p in rot], [p[1] for p in rot]
        scale = min(box_w / (max(xs) - min(xs)), box_h / (max(ys) - min(ys)))
        if best is None or scale > best[0] + 1e-9:
            best = (scale, rot, min(xs), min(ys), max(xs), max(ys))
    scale, rot, x0, y0, x1, y1 = best
    ox = (box_w - (x1 - x0) * scale) / 2
    oy = (box_h - (y1 - y0) * scale) / 2
    return [((x - x0) * scale + ox, (y - y0) * scale + oy, g) for x, y, g in rot], scale


def track_card(name, segments):
    w, h = 156, 42
    c = card(w, h)
    # The map on the left: verge in the ground colour, road in asphalt grey.
    mx, my, mw, mh = 2, 1, 66, 39
    plan, _ = _fit(trackmap.trace(segments)[0], mw - 8, mh - 8)
    plan = [(x + mx + 4, y + my + 4, g) for x, y, g in plan]
    m = Canvas(w, h, CLEAR)
    for x, y, g in plan:
        m.ellipse(x, y, 2.4, 2.4, g)
    m.outline(lambda v: v != CLEAR and v != BLACK, BLACK)
    for x, y, g in plan:
        m.ellipse(x, y, 0.9, 0.9, DGREY)
    # Start line across the road at step 0, and a chequered flag beside it, on
    # whichever side leaves it clear of the road.
    sx, sy, _ = plan[0]
    nx, ny, _ = plan[4]
    length = math.hypot(nx - sx, ny - sy)
    ux, uy = (nx - sx) / length, (ny - sy) / length
    for i in range(-1, 2):
        m.px(round(sx - uy * i), round(sy + ux * i), WHITE)
    best = None
    for side in (1, -1):
        fx = min(max(round(sx - uy * 7 * side), 3), w - 5)
        fy = min(max(round(sy + ux * 7 * side), 3), h - 6)
        covered = sum(m.get(fx + dx, fy + dy) != CLEAR for dx in range(-3, 4) for dy in range(-3, 4))
        if best is None or covered < best[0]:
            best = (covered, fx, fy)
    _, fx, fy = best
    m.frame(fx - 3, fy - 3, 7, 7, BLACK)
    for yy in range(5):
        for xx in range(5):
            m.px(fx - 2 + xx, fy - 2 + yy, BLACK if (xx // 2 + yy // 2) % 2 else WHITE)
    c.blit(m, 0, 0)
    # The name on the right, in the track's ground colours (its first ground on top).
    grounds = []
    for seg in segments:
        if seg[2] not in grounds:
            grounds.append(seg[2])
    face = pixelfont.LARGE_BOLD if len(name) <= 4 else pixelfont.LARGE
    tx = 68 + (84 - face.width(name)) // 2
    ty = 7
    t = Canvas(w, h, CLEAR)
    face.draw(t, tx, ty, name, grounds[0])
    # Bands of the other ground colours through the lower part of the letters.
    for y in range(ty, ty + face.height):
        band = 0 if y < ty + 7 else (1 if y < ty + 11 else 2)
        for x in range(w):
            if t.get(x, y) != CLEAR:
                t.px(x, y, grounds[band % len(grounds)])
    t.outline(lambda v: v != CLEAR and v != BLACK, BLACK)
    for x in range(w):  # drop shadow to the lower right
        for y in range(h):
            ink = t.get(x, y) != CLEAR
            if ink and t.get(x + 1, y + 1) == CLEAR and c.get(x + 1, y + 1) == WHITE:
                c.px(x + 1, y + 1, LGREY)
    c.blit(t, 0, 0)
    # Swatches of the ground colours under the name.
    sw = 10
    gx = 68 + (84 - (len(grounds) * (sw + 3) - 3)) // 2
    for i, g in enumerate(grounds):
        c.rect(gx + i * (sw + 3), 29, sw, 5, g)
        c.frame(gx + i * (sw + 3) - 1, 28, sw + 2, 7, BLACK)
    return c


# --- arrow and OK mark --------------------------------------------------------------

def up_arrow():
    """A chunky yellow arrow with a black rim; the menu flips it upside down for the
    down arrow, so its light edge is the left one, which survives the flip."""
    w, h = 23, 13
    c = Canvas(w, h, MENU_GROUND)
    inside = set()
    for r in range(1, 8):  # the head, widening 1.5 pixels a row on each side
        half = int(1.5 * (r - 1) + 0.5)
        inside.update((x, r) for x in range(11 - half, 12 + half))
    for r in range(8, 12):  # the shaft
        inside.update((x, r) for x in range(8, 15))
    for x, y in inside:
        left_edge = (x - 1, y) not in inside
        right_edge = (x + 1, y) not in inside
        c.px(x, y, WHITE if left_edge else (BROWN if right_edge else YELLOW))
    c.outline(lambda v: v != MENU_GROUND and v != BLACK, BLACK)
    return c


def ok_mark():
    w, h = 17, 31
    c = Canvas(w, h, MENU_GROUND)
    c.rect(1, 1, w - 2, h - 2, GREEN)
    c.rect(1, 1, w - 3, h - 3, LGREEN)
    c.rect(2, 2, w - 4, h - 4, GREEN)
    c.frame(0, 0, w, h, BLACK)
    for p in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
        c.px(*p, MENU_GROUND)
    # A tick, white with a dark shadow.
    tick = [(2.5, 8), (4.5, 7.5), (7, 10.5), (12.5, 3.5), (14.5, 4), (7, 14), (2.5, 9)]
    for d, col in ((1, BLACK), (0, WHITE)):
        c.polygon([(x + d, y + d) for x, y in tick], col)
    pixelfont.SMALL.draw_centred(c, 8, 17, "OK", WHITE, shadow=BLACK)
    return c


def main():
    for name in ("boul", "suburb", "iron"):
        track_card(name.upper(), trackmap.load_layout(name)).save("menu%s_d" % name)
    for name, draw in (("skoda", menucars.skoda), ("trabant", menucars.trabant),
                       ("beetle", menucars.beetle)):
        c = card(125, 42)
        car = draw()
        # Set the car a little left of centre to leave room for its name.
        menucars.ground_shadow(c, car.span[0] - 6, car.span[1] - 6)
        menucars.name_tag(c, name.upper())
        c.blit(car, -6, 0)
        c.save("menu%s_d" % name)
    up_arrow().save("menuup_d")
    ok_mark().save("menuok_d")


if __name__ == "__main__":
    main()
