#!/usr/bin/env python3
"""Scale the icon's pixel-art sources to the sizes that desktops ask for.

Usage, from the repository root:

    python3 tools/icons.py          writes dist/icons/<size>.png for every size

Every size is one of the hand-drawn sources in assets/art/ enlarged by a whole factor,
each source pixel becoming a square of pixels, so the art stays crisp: no size is ever
shrunk or resampled. The generated files are committed so that installing needs no
Python; the package test checks the installed icons against their sources.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pngio  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ART_DIR = os.path.join(ROOT, "assets", "art")
OUT_DIR = os.path.join(ROOT, "dist", "icons")

# Icon size in pixels: (source picture in assets/art/, whole scale factor).
SIZES = {
    16: ("icon16", 1),
    32: ("icon16", 2),
    48: ("icon24", 2),
    64: ("icon64", 1),
    128: ("icon64", 2),
    256: ("icon64", 4),
}


def scale(w, h, pixels, factor):
    """The picture enlarged by a whole factor: (w * factor, h * factor, pixels)."""
    out = []
    for y in range(h):
        row = []
        for p in pixels[y * w:(y + 1) * w]:
            row.extend([p] * factor)
        out.extend(row * factor)
    return w * factor, h * factor, out


def expected(size):
    """The pixels of the icon of the given size, made from its source."""
    name, factor = SIZES[size]
    w, h, pixels = pngio.read_indexed(os.path.join(ART_DIR, name + ".png"))
    if (w * factor, h * factor) != (size, size):
        raise ValueError(f"{name}.png is {w} x {h}: times {factor} it does not make {size}")
    return scale(w, h, pixels, factor)


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    for size in sorted(SIZES):
        path = os.path.join(OUT_DIR, f"{size}.png")
        pngio.write_indexed(path, *expected(size))
        print(f"{os.path.relpath(path, ROOT)}: {size} x {size} from {SIZES[size][0]}.png")
    return 0


if __name__ == "__main__":
    sys.exit(main())
