"""A small indexed-colour drawing surface for the art scripts.

Pixels are VGA palette indices 0..15 (16 is transparent, for sprites and stamps).
A canvas made with wrap=True wraps horizontally, so that a panorama drawn on it
joins seamlessly from its last column into its first.
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import pngio  # noqa: E402

BLACK, BLUE, GREEN, CYAN, RED, MAGENTA, BROWN, LGREY = range(8)
DGREY, LBLUE, LGREEN, LCYAN, LRED, LMAGENTA, YELLOW, WHITE = range(8, 16)
CLEAR = pngio.TRANSPARENT

ART_DIR = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                        "assets", "art"))

# 4 x 4 ordered-dither thresholds (Bayer), 0..15.
BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def mix(x, y, c1, c2, level):
    """Ordered dither between c1 and c2: level 0 gives all c1, 16 all c2."""
    return c2 if level > BAYER4[y & 3][x & 3] else c1


def gradient(c, stops, rows, width):
    """Fills rows 0..rows-1 with a vertical gradient through (row, colour) stops, ordered-
    dithered between neighbouring stops; rows past the last stop take its colour."""
    for y in range(rows):
        for i in range(len(stops) - 1):
            (y0, c0), (y1, c1) = stops[i], stops[i + 1]
            if y0 <= y < y1:
                level = int(16 * (y - y0) / (y1 - y0) + 0.5)
                for x in range(width):
                    c.px(x, y, mix(x, y, c0, c1, level))
                break
        else:
            for x in range(width):
                c.px(x, y, stops[-1][1])


class Canvas:
    def __init__(self, w, h, fill=BLACK, wrap=False):
        self.w, self.h, self.wrap = w, h, wrap
        self.pix = [fill] * (w * h)

    # --- single pixels -----------------------------------------------------------
    def _index(self, x, y):
        if self.wrap:
            x %= self.w
        if 0 <= x < self.w and 0 <= y < self.h:
            return y * self.w + x
        return None

    def px(self, x, y, c):
        i = self._index(int(x), int(y))
        if i is not None and c is not None and c != CLEAR:
            self.pix[i] = c

    def get(self, x, y, default=None):
        i = self._index(int(x), int(y))
        return self.pix[i] if i is not None else default

    # --- shapes ------------------------------------------------------------------
    def rect(self, x, y, w, h, c):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.px(xx, yy, c)

    def frame(self, x, y, w, h, c):
        self.hline(x, x + w - 1, y, c)
        self.hline(x, x + w - 1, y + h - 1, c)
        self.vline(x, y, y + h - 1, c)
        self.vline(x + w - 1, y, y + h - 1, c)

    def hline(self, x0, x1, y, c):
        for x in range(min(x0, x1), max(x0, x1) + 1):
            self.px(x, y, c)

    def vline(self, x, y0, y1, c):
        for y in range(min(y0, y1), max(y0, y1) + 1):
            self.px(x, y, c)

    def line(self, x0, y0, x1, y1, c):
        x0, y0, x1, y1 = int(round(x0)), int(round(y0)), int(round(x1)), int(round(y1))
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.px(x0, y0, c)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def polygon(self, pts, c):
        """Fill a polygon (pixel centres inside by the even-odd rule). c may be a
        function (x, y) -> colour for shaded fills."""
        ys = [p[1] for p in pts]
        for y in range(int(min(ys)), int(max(ys)) + 2):
            yc = y + 0.5
            xs = []
            for i in range(len(pts)):
                (ax, ay), (bx, by) = pts[i], pts[(i + 1) % len(pts)]
                if (ay <= yc < by) or (by <= yc < ay):
                    xs.append(ax + (yc - ay) * (bx - ax) / (by - ay))
            xs.sort()
            for a, b in zip(xs[0::2], xs[1::2]):
                for x in range(int(round(a)), int(round(b))):
                    self.px(x, y, c(x, y) if callable(c) else c)

    def ellipse(self, cx, cy, rx, ry, c):
        """Fill an ellipse centred on (cx, cy) (may be half-integers); c as in polygon."""
        for y in range(int(cy - ry) - 1, int(cy + ry) + 2):
            for x in range(int(cx - rx) - 1, int(cx + rx) + 2):
                dx, dy = (x + 0.5 - cx) / rx, (y + 0.5 - cy) / ry
                if dx * dx + dy * dy <= 1.0:
                    self.px(x, y, c(x, y) if callable(c) else c)

    def replace(self, x, y, w, h, old, new):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                if self.get(xx, yy) == old:
                    self.px(xx, yy, new)

    def outline(self, inside, c):
        """Ring every pixel for which inside(colour) holds with c, on the 4 neighbours
        that are outside."""
        marks = []
        for y in range(self.h):
            for x in range(self.w):
                if not inside(self.pix[y * self.w + x]):
                    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                        v = self.get(x + dx, y + dy)
                        if v is not None and inside(v):
                            marks.append((x, y))
                            break
        for x, y in marks:
            self.px(x, y, c)

    # --- composition -------------------------------------------------------------
    def blit(self, other, x, y, flip=False):
        for yy in range(other.h):
            for xx in range(other.w):
                sx = other.w - 1 - xx if flip else xx
                self.px(x + xx, y + yy, other.pix[yy * other.w + sx])

    def crop(self, x, y, w, h):
        out = Canvas(w, h)
        out.pix = [self.get(x + xx, y + yy, CLEAR) for yy in range(h) for xx in range(w)]
        return out

    # --- files -------------------------------------------------------------------
    def save(self, name):
        """Write the picture as assets/art/<name>.png."""
        path = os.path.join(ART_DIR, name + ".png")
        pngio.write_indexed(path, self.w, self.h, self.pix)
        return path

    def preview(self, path, scale=2):
        """Write an enlarged copy for looking at (not an asset)."""
        big = []
        for y in range(self.h * scale):
            row = self.pix[(y // scale) * self.w:(y // scale + 1) * self.w]
            for p in row:
                big.extend([p] * scale)
        pngio.write_indexed(path, self.w * scale, self.h * scale, big)


def load(name):
    w, h, pix = pngio.read_indexed(os.path.join(ART_DIR, name + ".png"))
    c = Canvas(w, h)
    c.pix = pix
    return c
