#!/usr/bin/env python3
"""Convert the art in assets/art/*.png into the compiled-in tables of assets/.

Usage, from the repository root:

    python3 tools/art2c.py [--out DIR]

--out writes the generated files into DIR instead of assets/ (to compare them with
the committed ones).  Each PNG is named after its table (assets/art/hudData.png -> hudData).  The
manifest below lists every picture table declared in assets/assets.h with its
size and kind.  Pictures are grouped into output files; a file is rewritten
only when every PNG of its group is present, otherwise the missing ones are
listed and the file is left as it is.  The game's palette table, vga16, is written
to palette.cpp from assets/art/vga16.gpl.  Exit status is 1 on any error.
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from palette import PaletteError, read_gpl  # noqa: E402
from pngio import PngError, TRANSPARENT, read_indexed  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# name, width, height, C size expression (as declared in assets.h), sprite?, group
SPRITE, OPAQUE = True, False
MANIFEST = [
    # Race: cars (left halves and left turns), arrow, dashboard, lights, digits, finish.
    ("skoda0_d", 30, 50, "CAR_HALF_W * CAR_H", SPRITE, "race"),
    ("trabant0_d", 30, 50, "CAR_HALF_W * CAR_H", SPRITE, "race"),
    ("beetle0_d", 30, 50, "CAR_HALF_W * CAR_H", SPRITE, "race"),
    ("skoda1_d", 66, 50, "SKODA1_W * CAR_H", SPRITE, "race"),
    ("trabant1_d", 64, 50, "TRABANT1_W * CAR_H", SPRITE, "race"),
    ("beetle1_d", 70, 50, "BEETLE1_W * CAR_H", SPRITE, "race"),
    ("skoda2_d", 86, 50, "SKODA2_W * CAR_H", SPRITE, "race"),
    ("trabant2_d", 86, 50, "TRABANT2_W * CAR_H", SPRITE, "race"),
    ("beetle2_d", 74, 50, "BEETLE2_W * CAR_H", SPRITE, "race"),
    ("arrowLeftData", 20, 13, "ARROW_W * ARROW_H", SPRITE, "race"),
    ("hudData", 99, 40, "HUD_W * HUD_H", OPAQUE, "race"),
    ("lightsOffData", 32, 70, "LIGHTS_W * LIGHTS_H", OPAQUE, "race"),
    ("lightsOnData", 32, 70, "LIGHTS_W * LIGHTS_H", OPAQUE, "race"),
    ("digit1Data", 13, 18, "DIGIT_W * DIGIT_H", OPAQUE, "race"),
    ("digit2Data", 13, 18, "DIGIT_W * DIGIT_H", OPAQUE, "race"),
    ("digit3Data", 13, 18, "DIGIT_W * DIGIT_H", OPAQUE, "race"),
    ("first_d", 159, 48, "FINISH_W * FINISH_H", OPAQUE, "race"),
    ("last_d", 159, 48, "FINISH_W * FINISH_H", OPAQUE, "race"),
    # Scene: title, menu pictures, background panoramas.
    ("title_d", 320, 200, "SCREEN_BYTES", OPAQUE, "scene"),
    ("menuboul_d", 156, 42, "MENU_TRACK_W * MENU_TRACK_H", OPAQUE, "scene"),
    ("menusuburb_d", 156, 42, "MENU_TRACK_W * MENU_TRACK_H", OPAQUE, "scene"),
    ("menuiron_d", 156, 42, "MENU_TRACK_W * MENU_TRACK_H", OPAQUE, "scene"),
    ("menuskoda_d", 125, 42, "MENU_CAR_W * MENU_CAR_H", OPAQUE, "scene"),
    ("menutrabant_d", 125, 42, "MENU_CAR_W * MENU_CAR_H", OPAQUE, "scene"),
    ("menubeetle_d", 125, 42, "MENU_CAR_W * MENU_CAR_H", OPAQUE, "scene"),
    ("menuup_d", 23, 13, "MENU_UP_W * MENU_UP_H", OPAQUE, "scene"),
    ("menuok_d", 17, 31, "MENU_OK_W * MENU_OK_H", OPAQUE, "scene"),
    ("bkg_boul_d", 600, 80, "PANORAMA_W * PANORAMA_H", OPAQUE, "scene"),
    ("bkg_sub_d", 600, 80, "PANORAMA_W * PANORAMA_H", OPAQUE, "scene"),
    ("bkg_iron_d", 600, 80, "PANORAMA_W * PANORAMA_H", OPAQUE, "scene"),
    # Computer driver: the card on player B's half of the car menu.
    ("menucomputer_d", 125, 26, "MENU_COMPUTER_W * MENU_COMPUTER_H", OPAQUE, "computer"),
    # Text: the lettering of the notes drawn at run time (network play).
    ("font_d", 432, 16, "FONT_W * FONT_H", OPAQUE, "text"),
]


def font_chars_source():
    """The characters of font_d's cells in order, from the face that drew them."""
    sys.path.insert(0, os.path.join(ROOT, "tools", "artgen"))
    from pixelfont import SHEET_CHARS
    escaped = SHEET_CHARS.replace("\\", "\\\\").replace('"', '\\"')
    return ("// The character of each cell of font_d, in order.\n"
            f"const char fontChars[FONT_GLYPHS + 1] = \"{escaped}\";\n")


# group -> (output file, one-line description, extra C++ appended after the tables, or a
# function that returns it)
GROUPS = {
    "race": ("race_art.cpp", "race sprites, dashboard, lights, digits, finish",
             "// The dashboard digits in the order 1, 2, 3.\n"
             "const unsigned char* const digitData[3] = {digit1Data, digit2Data, digit3Data};\n"),
    "scene": ("scene_art.cpp", "title, menu pictures and background panoramas", ""),
    "computer": ("computer_art.cpp", "the computer driver's card in the car menu", ""),
    "text": ("text_art.cpp", "the lettering of notes drawn at run time", font_chars_source),
}



def table_source(name, w, h, size_expr, sprite, pixels):
    """One table as C++: a comment naming it, then one line per picture row."""
    ctype = "const signed char" if sprite else "const unsigned char"
    kind = "sprite, -1 transparent" if sprite else "opaque"
    lines = [f"// {name}: {w} x {h}, {kind}",
             f"{ctype} {name}[{size_expr}] = {{"]
    for y in range(h):
        row = pixels[y * w:(y + 1) * w]
        lines.append("    " + ",".join(f"{-1 if p == TRANSPARENT else p:2d}" for p in row) + ",")
    lines.append("};")
    return "\n".join(lines) + "\n"


def load(art_dir, name, w, h, sprite):
    """Read and check one picture; returns (pixels, None) or (None, error text)."""
    path = os.path.join(art_dir, name + ".png")
    try:
        pw, ph, pixels = read_indexed(path)
    except (OSError, PngError) as e:
        return None, str(e)
    if (pw, ph) != (w, h):
        return None, f"{path}: is {pw} x {ph}, must be {w} x {h}"
    if not sprite and TRANSPARENT in pixels:
        i = pixels.index(TRANSPARENT)
        return None, (f"{path}: transparent pixel at ({i % w}, {i // w}) "
                      "in an opaque picture")
    return pixels, None


def convert_group(group, root=ROOT, out_dir=None):
    """Writes the group's file; returns True if it was written or skipped cleanly."""
    art_dir = os.path.join(root, "assets", "art")
    filename, description, extra = GROUPS[group]
    if callable(extra):
        extra = extra()
    entries = [e for e in MANIFEST if e[5] == group]
    missing = [e[0] for e in entries
               if not os.path.exists(os.path.join(art_dir, e[0] + ".png"))]
    if missing:
        print(f"{filename}: left unchanged, missing in assets/art/: "
              + ", ".join(m + ".png" for m in missing))
        return True

    parts, errors = [], []
    for name, w, h, size_expr, sprite, _ in entries:
        pixels, error = load(art_dir, name, w, h, sprite)
        if error:
            errors.append(error)
        else:
            parts.append(table_source(name, w, h, size_expr, sprite, pixels))
    if errors:
        for e in errors:
            print("error: " + e, file=sys.stderr)
        print(f"{filename}: left unchanged because of the errors above", file=sys.stderr)
        return False

    header = (f"// Generated by tools/art2c.py from assets/art/*.png:\n// {description}.\n"
              "// Do not edit: edit the PNG files and run `python3 tools/art2c.py`\n"
              "// from the repository root.\n"
              "// clang-format off\n"
              "#include \"assets.h\"\n")
    text = header + "\n" + "\n".join(parts) + ("\n" + extra if extra else "")
    out = os.path.join(out_dir or os.path.join(root, "assets"), filename)
    with open(out, "w") as f:
        f.write(text)
    print(f"{filename}: written, {len(entries)} tables")
    return True


def palette_source(colours, names):
    """The palette table as C++: one ARGB8888 entry a line, named."""
    lines = ["// Generated by tools/art2c.py from assets/art/vga16.gpl: the 16 VGA colours.",
             "// Do not edit: edit vga16.gpl and run `python3 tools/art2c.py`",
             "// from the repository root.",
             "#include \"sdltk.h\"",
             "",
             "// The 16 VGA colours as ARGB8888, by palette index.",
             "const uint32_t vga16[PALETTE_SIZE] = {"]
    for i, ((r, g, b), name) in enumerate(zip(colours, names)):
        lines.append(f"    0xFF{r:02X}{g:02X}{b:02X}, // {i} {name}")
    lines.append("};")
    return "\n".join(lines) + "\n"


def convert_palette(root=ROOT, out_dir=None):
    """Writes palette.cpp from the palette file; returns True on success."""
    path = os.path.join(root, "assets", "art", "vga16.gpl")
    try:
        entries = read_gpl(path)
    except (OSError, PaletteError) as e:
        print(f"error: {e}", file=sys.stderr)
        return False
    out = os.path.join(out_dir or os.path.join(root, "assets"), "palette.cpp")
    with open(out, "w") as f:
        f.write(palette_source([rgb for rgb, _ in entries], [n for _, n in entries]))
    print("palette.cpp: written, 16 colours")
    return True


def main():
    parser = argparse.ArgumentParser(description="Convert assets/art/ into C++ tables.")
    parser.add_argument("--out", help="write the generated files here instead of assets/")
    args = parser.parse_args()
    if args.out:
        os.makedirs(args.out, exist_ok=True)
    ok = all([convert_group(g, out_dir=args.out) for g in GROUPS]
             + [convert_palette(out_dir=args.out)])
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
