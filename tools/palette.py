"""The game's 16 VGA colours, read from assets/art/vga16.gpl, where they are written down once.

VGA is the list of (r, g, b) tuples by palette index; NAMES the colours' names.
"""

import os

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PALETTE_FILE = os.path.join(ROOT, "assets", "art", "vga16.gpl")
COLOURS = 16


class PaletteError(Exception):
    """A palette file that does not hold exactly the game's 16 colours."""


def read_gpl(path):
    """Read a GIMP palette: returns [((r, g, b), name), ...] in file order."""
    with open(path) as f:
        lines = f.read().splitlines()
    if not lines or lines[0].strip() != "GIMP Palette":
        raise PaletteError(f"{path}: not a GIMP palette")
    entries = []
    for number, line in enumerate(lines[1:], start=2):
        text = line.strip()
        if not text or text.startswith("#") or ":" in text.split()[0]:
            continue  # blank, comment or a header field such as "Name:"
        fields = text.split(None, 3)
        try:
            rgb = tuple(int(v) for v in fields[:3])
        except ValueError:
            raise PaletteError(f"{path}:{number}: expected 'red green blue name'")
        if len(rgb) != 3 or not all(0 <= v <= 255 for v in rgb):
            raise PaletteError(f"{path}:{number}: expected three values 0..255")
        entries.append((rgb, fields[3].strip() if len(fields) > 3 else ""))
    if len(entries) != COLOURS:
        raise PaletteError(f"{path}: {len(entries)} colours, the game has {COLOURS}")
    return entries


_ENTRIES = read_gpl(PALETTE_FILE)
VGA = [rgb for rgb, _ in _ENTRIES]
NAMES = [name for _, name in _ENTRIES]
