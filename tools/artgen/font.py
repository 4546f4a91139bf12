#!/usr/bin/env python3
"""Draw the lettering sheet that the game writes its notes with (network play).

    python3 tools/artgen/font.py [OUT_DIR]

writes font_d.png (default assets/art/): the small face in the top row of cells and the
bold face below it, one cell of 8 x 8 per character in the order of
pixelfont.SHEET_CHARS (tools/art2c.py passes that order on to the game).  In a cell the
glyph is white (15) on black, and its last row holds a dark grey bar (8) as wide as the
glyph, so that the game knows how far to step.  The faces are the ones the title and
the menu pictures are lettered with, so the notes read like the rest of the game.
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, HERE)
import pngio  # noqa: E402
import pixelfont  # noqa: E402

ART = os.path.normpath(os.path.join(HERE, "..", "..", "assets", "art"))

CELL_W, CELL_H = 8, 8
INK, PAPER, WIDTH_BAR = 15, 0, 8
FACES = (pixelfont.SMALL, pixelfont.BOLD)


def sheet():
    chars = pixelfont.SHEET_CHARS
    w, h = CELL_W * len(chars), CELL_H * len(FACES)
    pix = [PAPER] * (w * h)
    for row, face in enumerate(FACES):
        for i, ch in enumerate(chars):
            glyph = face.glyph(ch)
            x0, y0 = i * CELL_W, row * CELL_H
            assert len(glyph) == CELL_H - 1 and len(glyph[0]) < CELL_W, ch
            for y, line in enumerate(glyph):
                for x, cell in enumerate(line):
                    if cell == "#":
                        pix[(y0 + y) * w + x0 + x] = INK
            for x in range(len(glyph[0])):
                pix[(y0 + CELL_H - 1) * w + x0 + x] = WIDTH_BAR
    return w, h, pix


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else ART
    w, h, pix = sheet()
    pngio.write_indexed(os.path.join(out, "font_d.png"), w, h, pix)
    print("font_d.png: %d x %d, %d characters in 2 faces" % (w, h, len(pixelfont.SHEET_CHARS)))


if __name__ == "__main__":
    main()
