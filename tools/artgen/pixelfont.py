"""Zotik's pixel lettering: a 5 x 7 face, a bold 6 x 7 face and a smoothed 10 x 14 face.

Glyphs are drawn on a grid of '#' (ink) and '.' (paper).  Besides A-Z, 0-9 and some
punctuation the face carries four arrows for key captions: '^' up, '_' down, '<' left
and '>' right.  Text is drawn into anything with a `px(x, y, colour)` method.
"""

# fmt: off
GLYPHS_5X7 = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "G": [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "J": ["..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "Y": ["#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."],
    "Z": ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    "0": [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    "3": ["#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."],
    "4": ["...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."],
    "5": ["#####", "#....", "####.", "....#", "....#", "#...#", ".###."],
    "6": ["..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."],
    "7": ["#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."],
    "8": [".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."],
    "9": [".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
    ".": [".....", ".....", ".....", ".....", ".....", ".##..", ".##.."],
    ",": [".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."],
    ":": [".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."],
    "-": [".....", ".....", ".....", "#####", ".....", ".....", "....."],
    "+": [".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."],
    "=": [".....", ".....", "#####", ".....", "#####", ".....", "....."],
    "/": ["....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."],
    "!": ["..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."],
    "?": [".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."],
    "'": ["..#..", "..#..", ".#...", ".....", ".....", ".....", "....."],
    "(": ["...#.", "..#..", ".#...", ".#...", ".#...", "..#..", "...#."],
    ")": [".#...", "..#..", "...#.", "...#.", "...#.", "..#..", ".#..."],
    "&": [".##..", "#..#.", "#.#..", ".#...", "#.#.#", "#..#.", ".##.#"],
    # Arrows for the cursor keys.
    "^": ["..#..", ".###.", "#.#.#", "..#..", "..#..", "..#..", "..#.."],
    "_": ["..#..", "..#..", "..#..", "..#..", "#.#.#", ".###.", "..#.."],
    "<": [".....", "..#..", ".#...", "#####", ".#...", "..#..", "....."],
    ">": [".....", "..#..", "...#.", "#####", "...#.", "..#..", "....."],
}
# fmt: on


class Face:
    """A fixed-height proportional face: glyph bitmaps plus the space between letters."""

    def __init__(self, glyphs, spacing=1):
        self.glyphs = glyphs
        self.spacing = spacing
        self.height = len(next(iter(glyphs.values())))

    def glyph(self, ch):
        return self.glyphs.get(ch.upper(), self.glyphs["?"])

    def width(self, text):
        if not text:
            return 0
        return sum(len(self.glyph(c)[0]) + self.spacing for c in text) - self.spacing

    def draw(self, canvas, x, y, text, colour, shadow=None, outline=None):
        """Draw text with its top-left corner at (x, y); returns the x after the text.

        shadow: colour of a one-pixel drop shadow to the lower right (light comes from
        the upper left); outline: colour of a one-pixel ring around every stroke.
        """
        if outline is not None:
            for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1), (-1, -1), (1, -1), (-1, 1), (1, 1)):
                self._ink(canvas, x + dx, y + dy, text, outline)
        if shadow is not None:
            self._ink(canvas, x + 1, y + 1, text, shadow)
        return self._ink(canvas, x, y, text, colour)

    def draw_centred(self, canvas, cx, y, text, colour, **kw):
        return self.draw(canvas, cx - self.width(text) // 2, y, text, colour, **kw)

    def _ink(self, canvas, x, y, text, colour):
        for ch in text:
            rows = self.glyph(ch)
            for gy, row in enumerate(rows):
                for gx, cell in enumerate(row):
                    if cell == "#":
                        canvas.px(x + gx, y + gy, colour)
            x += len(rows[0]) + self.spacing
        return x - self.spacing


def _embolden(glyphs):
    """Thicken every vertical stroke by one pixel to the right (5 x 7 becomes 6 x 7)."""
    out = {}
    for ch, rows in glyphs.items():
        bold = []
        for row in rows:
            cells = row + "."
            bold.append("".join("#" if cells[i] == "#" or (i > 0 and cells[i - 1] == "#") else "."
                                for i in range(len(cells))))
        out[ch] = bold
    return out


def _scale2x(glyphs):
    """Double a face with the Scale2x rule, which smooths diagonals instead of leaving
    stairs of 2 x 2 blocks. Only its filling half is used: cutting would round the
    square corners too and make B read as 8 and D as O."""
    out = {}
    for ch, rows in glyphs.items():
        h, w = len(rows), len(rows[0])

        def at(x, y):
            return rows[y][x] == "#" if 0 <= x < w and 0 <= y < h else False

        big = [["."] * (2 * w) for _ in range(2 * h)]
        for y in range(h):
            for x in range(w):
                e = at(x, y)
                b, d, f, hh = at(x, y - 1), at(x - 1, y), at(x + 1, y), at(x, y + 1)
                e0 = d if (d == b and b != f and d != hh) else e
                e1 = f if (b == f and b != d and f != hh) else e
                e2 = d if (d == hh and d != b and hh != f) else e
                e3 = f if (hh == f and d != hh and b != f) else e
                for (ox, oy), v in (((0, 0), e0), ((1, 0), e1), ((0, 1), e2), ((1, 1), e3)):
                    big[2 * y + oy][2 * x + ox] = "#" if (v or e) else "."
        out[ch] = ["".join(r) for r in big]
    return out


# Letters whose strokes would run together when thickened get their own bold cuts.
BOLD_CUTS = {
    "M": ["##...##", "###.###", "#######", "##.#.##", "##...##", "##...##", "##...##"],
    "W": ["##...##", "##...##", "##...##", "##.#.##", "#######", "###.###", "##...##"],
}

# The everyday face for captions and instructions.
SMALL = Face(GLYPHS_5X7)
# A heavier face for headings and labels that must carry at a glance.
BOLD = Face({**_embolden(GLYPHS_5X7), **BOLD_CUTS})
# A large face, 10 x 14 (12 x 14 bold), for names and titles.
LARGE = Face(_scale2x(GLYPHS_5X7), spacing=2)
LARGE_BOLD = Face(_scale2x({**_embolden(GLYPHS_5X7), **BOLD_CUTS}), spacing=2)

# The characters of the lettering sheet compiled into the game (font_d.png), in the order
# of its cells: tools/artgen/font.py draws the sheet and tools/art2c.py passes the order on.
SHEET_CHARS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:-+=/!?'()&^_<>"
