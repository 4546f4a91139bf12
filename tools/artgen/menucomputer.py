"""Draws the card that the car menu shows on player B's half while the computer drives B:
an old PC with a steering wheel on its screen, the word COMPUTER, and the key that
hands the car back to a person.

    python3 tools/artgen/menucomputer.py     writes assets/art/menucomputer_d.png

Like the other menu cards it is white with a black rim and a drop shadow, lit from the
upper left. The PNG is the source the converter reads (python3 tools/art2c.py);
rerunning this script overwrites hand edits made to it.
"""

from scenecanvas import (BLACK, BLUE, CLEAR, DGREY, LCYAN, LGREY, WHITE, Canvas)
import menu
import pixelfont

W, H = 125, 26


def monitor(c, x, y):
    """A beige-less VGA-era monitor on a little foot, 22 x 21, screen showing a wheel."""
    w, h = 22, 17
    c.rect(x, y, w, h, LGREY)  # the case
    c.hline(x, x + w - 2, y, WHITE)
    c.vline(x, y, y + h - 2, WHITE)
    c.hline(x + 1, x + w - 1, y + h - 1, DGREY)
    c.vline(x + w - 1, y + 1, y + h - 1, DGREY)
    c.frame(x - 1, y - 1, w + 2, h + 2, BLACK)
    sx, sy, sw, sh = x + 3, y + 3, w - 6, h - 7  # the screen, sunk into the case
    c.rect(sx, sy, sw, sh, BLUE)
    c.hline(sx - 1, sx + sw, sy - 1, DGREY)
    c.vline(sx - 1, sy - 1, sy + sh, DGREY)
    c.hline(sx, sx + sw, sy + sh, WHITE)
    c.vline(sx + sw, sy, sy + sh, WHITE)
    # A steering wheel on the screen: rim, hub and three spokes.
    cx, cy = sx + sw // 2, sy + sh // 2
    ring = Canvas(sw, sh, CLEAR)
    for yy in range(sh):
        for xx in range(sw):
            d = ((xx - sw / 2 + 0.5) ** 2 + (yy - sh / 2 + 0.5) ** 2) ** 0.5
            if 3.2 <= d <= 4.6:
                ring.px(xx, yy, LCYAN)
    for yy in range(sh):
        for xx in range(sw):
            if ring.get(xx, yy) != CLEAR:
                c.px(sx + xx, sy + yy, LCYAN)
    c.hline(cx - 3, cx + 2, cy - 1, LCYAN)  # the cross spoke
    c.hline(cx - 3, cx + 2, cy, LCYAN)
    c.vline(cx - 1, cy, cy + 3, LCYAN)  # the lower spoke
    c.vline(cx, cy, cy + 3, LCYAN)
    # Power light and the slots of the case.
    c.px(x + w - 4, y + h - 3, LCYAN)
    c.hline(x + 3, x + 8, y + h - 3, DGREY)
    # The foot.
    c.rect(x + 7, y + h + 1, 8, 2, LGREY)
    c.hline(x + 7, x + 14, y + h + 2, DGREY)
    c.frame(x + 6, y + h + 1, 10, 3, BLACK)


def small_key(c, x, y, label):
    """A key cap for one letter, 9 x 9 inside its black rim; returns its width."""
    w = 9
    c.rect(x, y, w, 9, LGREY)
    c.hline(x, x + w - 2, y, WHITE)
    c.vline(x, y, y + 7, WHITE)
    c.hline(x + 1, x + w - 1, y + 8, DGREY)
    c.vline(x + w - 1, y + 1, y + 8, DGREY)
    c.frame(x - 1, y - 1, w + 2, 11, BLACK)
    for p in ((x - 1, y - 1), (x + w, y - 1), (x - 1, y + 9), (x + w, y + 9)):
        c.px(*p, WHITE)
    pixelfont.SMALL.draw(c, x + 2, y + 1, label, BLACK)
    return w


def computer_card():
    c = menu.card(W, H)
    monitor(c, 5, 3)
    tx = 33
    pixelfont.BOLD.draw(c, tx, 3, "COMPUTER", BLACK, shadow=LGREY)
    kx = tx + 1
    kx += small_key(c, kx, 13, "C") + 4
    pixelfont.SMALL.draw(c, kx, 14, "PERSON", DGREY)
    return c


def main():
    computer_card().save("menucomputer_d")


if __name__ == "__main__":
    main()
