"""Composes preview screens from the drawn pictures, for looking at them as the game
shows them: the menu in both stages with chosen and dimmed cards, and the panoramas
with a road below them.

    python3 tools/artgen/preview.py OUTDIR
"""

import os
import sys

from scenecanvas import BLACK, DGREY, LGREY, WHITE, Canvas, load

# Body colours per player (light, dark): A red, B cyan for the skoda and so on.
CAR_COLOURS = [(12, 4), (11, 3), (9, 1), (14, 14), (10, 2), (13, 5)]


def variant(pic, light=None, dark=None, dim=False):
    out = Canvas(pic.w, pic.h)
    for i, v in enumerate(pic.pix):
        if light is not None and v == 9:
            v = light
        elif dark is not None and v == 1:
            v = dark
        if dim and v == WHITE:
            v = LGREY
        out.pix[i] = v
    return out


def track_stage(chosen):
    s = Canvas(320, 200, LGREY)
    for t, name in enumerate(("menuboul_d", "menusuburb_d", "menuiron_d")):
        s.blit(variant(load(name), dim=(t != chosen)), 78, 31 + 48 * t)
    up = load("menuup_d")
    s.blit(up, 148, 13)
    down = Canvas(up.w, up.h)
    down.pix = [up.pix[(12 - r) * up.w + x] for r in range(up.h) for x in range(up.w)]
    s.blit(down, 148, 174)
    s.blit(load("menuok_d"), 239, 84)
    return s


def car_stage(chosen, confirmed=(False, False)):
    s = Canvas(320, 200, LGREY)
    s.rect(159, 0, 2, 200, BLACK)
    up = load("menuup_d")
    down = Canvas(up.w, up.h)
    down.pix = [up.pix[(12 - r) * up.w + x] for r in range(up.h) for x in range(up.w)]
    for p in (0, 1):
        x0 = 161 * p
        for i, name in enumerate(("menuskoda_d", "menutrabant_d", "menubeetle_d")):
            if confirmed[p] and i != chosen[p]:
                continue
            light, dark = CAR_COLOURS[2 * i + p]
            s.blit(variant(load(name), light, dark, dim=(i != chosen[p])), x0 + 8, 31 + 48 * i)
        if not confirmed[p]:
            s.blit(up, x0 + 64, 13)
            s.blit(down, x0 + 64, 174)
            s.blit(load("menuok_d"), x0 + 138, 84)
    return s


def panorama(name, grounds, offset=0):
    """A panorama strip at 1:1 with three ground colours under it, plus a 159-wide view."""
    b = load(name)
    s = Canvas(600, 80 + 3 * 16)
    s.blit(b, 0, 0)
    for i, g in enumerate(grounds):
        s.rect(0, 80 + 16 * i, 600, 16, g)
        for y in range(80 + 16 * i, 96 + 16 * i):  # a road wedge for scale
            half = 10 + (y - 80 - 16 * i) * 3
            s.rect(300 - half, y, 2 * half, 1, 8)
    return s


def race_views(name, grounds, offsets=(0, 200, 400), lights=True):
    """Three race views side by side (159 x 152 each), one per ground colour, with a
    straight road and the start-light box where the game draws it."""
    b = load(name)
    s = Canvas(3 * 161 - 2, 152, BLACK)
    for i, (g, o) in enumerate(zip(grounds, offsets)):
        x0 = 161 * i
        for y in range(80):
            for x in range(159):
                s.px(x0 + x, y, b.get((o + x) % b.w, y))
        for k in range(72):
            z = 2.5 * 128 / 1.2 / (k + 12)
            half = 128 * 4 / z
            for x in range(159):
                s.px(x0 + x, 80 + k, 8 if abs(x - 79) < half else g)
        if lights and i == 0:
            s.frame(x0 + 67, 4, 32, 70, BLACK)
            s.rect(x0 + 68, 5, 30, 68, DGREY)
    return s


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "/tmp/zotik-preview"
    os.makedirs(out, exist_ok=True)
    track_stage(0).preview(os.path.join(out, "menu_tracks0.png"))
    track_stage(2).preview(os.path.join(out, "menu_tracks2.png"))
    car_stage((0, 2)).preview(os.path.join(out, "menu_cars.png"))
    car_stage((1, 1), (True, False)).preview(os.path.join(out, "menu_cars_confirmed.png"))
    for name, grounds in (("bkg_boul_d", (2, 7, 10)), ("bkg_sub_d", (7, 2, 10)),
                          ("bkg_iron_d", (6, 10, 2))):
        if os.path.exists(os.path.join(os.path.dirname(__file__), "..", "..", "assets", "art",
                                       name + ".png")):
            panorama(name, grounds).preview(os.path.join(out, name + ".png"))
            race_views(name, grounds).preview(os.path.join(out, name + "_views.png"))
    t = os.path.join(os.path.dirname(__file__), "..", "..", "assets", "art", "title_d.png")
    if os.path.exists(t):
        load("title_d").preview(os.path.join(out, "title.png"))


if __name__ == "__main__":
    main()
