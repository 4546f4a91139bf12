"""Tests of the art pipeline: the palette file, PNG reading and writing, the table converter."""

import io
import os
import struct
import sys
import tempfile
import unittest
import zlib
from contextlib import redirect_stderr, redirect_stdout

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import art2c  # noqa: E402
import palette  # noqa: E402
import pngio  # noqa: E402


def editor_png(path, w, h, depth, palette, alpha, rows, filters):
    """An indexed PNG as an editor might save it: own palette order, packed depth, filters."""
    raw, prev = bytearray(), None
    for row, ftype in zip(rows, filters):
        packed = bytearray((w * depth + 7) // 8)
        for x, e in enumerate(row):
            bit = x * depth
            packed[bit // 8] |= e << (8 - depth - bit % 8)
        if ftype == 1:  # Sub
            out = bytearray((packed[i] - (packed[i - 1] if i else 0)) & 255
                            for i in range(len(packed)))
        elif ftype == 2:  # Up
            out = bytearray((packed[i] - prev[i]) & 255 for i in range(len(packed)))
        else:
            out = packed
        raw += bytes([ftype]) + out
        prev = packed
    with open(path, "wb") as f:
        f.write(pngio._SIGNATURE
                + pngio._chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, depth, 3, 0, 0, 0))
                + pngio._chunk(b"PLTE", b"".join(bytes(c) for c in palette))
                + pngio._chunk(b"tRNS", bytes(alpha))
                + pngio._chunk(b"IDAT", zlib.compress(bytes(raw)))
                + pngio._chunk(b"IEND", b""))


def read(path):
    with open(path) as f:
        return f.read()


class PaletteTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.dir.name, "p.gpl")

    def tearDown(self):
        self.dir.cleanup()

    def write(self, text):
        with open(self.path, "w") as f:
            f.write(text)

    def test_reads_the_colours_in_order_past_header_fields_and_comments(self):
        lines = ["GIMP Palette", "Name: test", "Columns: 4", "#", "# a comment", ""]
        lines += [f"{i} {2 * i} {255 - i}\tcolour {i}" for i in range(16)]
        self.write("\n".join(lines) + "\n")
        entries = palette.read_gpl(self.path)
        self.assertEqual(entries[0], ((0, 0, 255), "colour 0"))
        self.assertEqual(entries[15], ((15, 30, 240), "colour 15"))

    def test_refuses_anything_but_sixteen_colours(self):
        colour = "1 2 3\tc\n"
        cases = [("not a palette", "JASC-PAL\n" + colour * 16, "not a GIMP palette"),
                 ("fifteen colours", "GIMP Palette\n" + colour * 15, "15 colours"),
                 ("seventeen colours", "GIMP Palette\n" + colour * 17, "17 colours"),
                 ("a value above 255", "GIMP Palette\n" + colour * 15 + "1 256 3\n",
                  "three values 0..255"),
                 ("words for numbers", "GIMP Palette\n" + colour * 15 + "red green blue\n",
                  "expected 'red green blue name'")]
        for label, text, message in cases:
            with self.subTest(label):
                self.write(text)
                with self.assertRaises(palette.PaletteError) as caught:
                    palette.read_gpl(self.path)
                self.assertIn(message, str(caught.exception))

    def test_game_table_is_generated_from_the_file(self):
        text = art2c.palette_source(palette.VGA, palette.NAMES)
        self.assertIn("const uint32_t vga16[PALETTE_SIZE] = {\n    0xFF000000, // 0 black\n",
                      text)
        self.assertIn("    0xFFAA5500, // 6 brown\n", text)
        self.assertEqual(text.count("0xFF"), 16)


class PngIoTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.dir.name, "p.png")

    def tearDown(self):
        self.dir.cleanup()

    def test_round_trip_keeps_every_index_including_transparent(self):
        w, h = 7, 5
        pixels = [(x * 3 + y * 5) % 17 for y in range(h) for x in range(w)]
        pngio.write_indexed(self.path, w, h, pixels)
        self.assertEqual(pngio.read_indexed(self.path), (w, h, pixels))

    def test_editor_saved_files_map_by_colour(self):
        # Palette reordered: white, a transparent entry, red, black.
        palette = [(255, 255, 255), (9, 9, 9), (0xAA, 0, 0), (0, 0, 0)]
        rows = [[0, 1, 2, 3, 0], [3, 3, 2, 1, 0], [1, 2, 3, 0, 1]]
        expect = {0: 15, 1: 16, 2: 4, 3: 0}
        for depth in (2, 4, 8):
            with self.subTest(depth=depth):
                editor_png(self.path, 5, 3, depth, palette, [255, 0], rows, [0, 1, 2])
                w, h, pixels = pngio.read_indexed(self.path)
                self.assertEqual((w, h), (5, 3))
                self.assertEqual(pixels, [expect[e] for row in rows for e in row])

    def test_foreign_colours_are_rejected_only_when_used(self):
        palette = [(0, 0, 0), (0x12, 0x34, 0x56), (0xAA, 0xAA, 0xAA)]
        editor_png(self.path, 2, 1, 8, palette, [], [[0, 2]], [0])
        self.assertEqual(pngio.read_indexed(self.path)[2], [0, 7])
        editor_png(self.path, 2, 1, 8, palette, [], [[0, 1]], [0])
        with self.assertRaisesRegex(pngio.PngError, r"\(1, 0\).*#123456"):
            pngio.read_indexed(self.path)
        # Half-transparent pixels have no meaning in the game either.
        editor_png(self.path, 1, 1, 8, palette, [128], [[0]], [0])
        with self.assertRaisesRegex(pngio.PngError, "alpha 128"):
            pngio.read_indexed(self.path)


class Art2cTest(unittest.TestCase):
    """Runs the converter on a scratch tree holding the race group's pictures."""

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        os.makedirs(os.path.join(self.root, "assets", "art"))
        self.out = os.path.join(self.root, "assets", "race_art.cpp")
        self.draw_all()

    def draw_all(self):
        for name, w, h, _, sprite, group in art2c.MANIFEST:
            if group == "race":
                self.put(name, w, h, [16 if sprite and x == 0 else (x + y) % 16
                                      for y in range(h) for x in range(w)])

    def tearDown(self):
        self.dir.cleanup()

    def put(self, name, w, h, pixels):
        pngio.write_indexed(os.path.join(self.root, "assets", "art", name + ".png"),
                            w, h, pixels)

    def convert(self):
        with redirect_stdout(io.StringIO()) as out, redirect_stderr(io.StringIO()) as err:
            ok = art2c.convert_group("race", self.root)
        return ok, out.getvalue() + err.getvalue()

    def test_tables_are_written_row_by_row(self):
        ok, _ = self.convert()
        self.assertTrue(ok)
        text = read(self.out)
        self.assertTrue(text.startswith("// Generated by tools/art2c.py"))
        self.assertIn("// arrowLeftData: 20 x 13, sprite, -1 transparent\n"
                      "const signed char arrowLeftData[ARROW_W * ARROW_H] = {\n"
                      "    -1, 1, 2, 3, 4, 5, 6, 7, 8, 9,10,11,12,13,14,15, 0, 1, 2, 3,\n"
                      "    -1, 2, 3,", text)
        self.assertIn("const unsigned char digit2Data[DIGIT_W * DIGIT_H] = {\n"
                      "     0, 1, 2, 3, 4, 5, 6, 7, 8, 9,10,11,12,\n", text)
        self.assertIn("digitData[3] = {digit1Data, digit2Data, digit3Data};", text)

    def test_bad_or_missing_pictures_leave_the_output_alone(self):
        cases = [
            ("wrong size", lambda: self.put("hudData", 99, 41, [0] * 99 * 41),
             False, "99 x 41, must be 99 x 40"),
            ("transparent in opaque", lambda: self.put("digit1Data", 13, 18, [16] * 13 * 18),
             False, "transparent pixel at (0, 0)"),
            ("missing", lambda: os.remove(os.path.join(self.root, "assets", "art",
                                                       "last_d.png")),
             True, "missing in assets/art/: last_d.png"),
        ]
        for label, damage, ok_expected, message in cases:
            with self.subTest(label):
                self.draw_all()
                with open(self.out, "w") as f:
                    f.write("old")
                damage()
                ok, output = self.convert()
                self.assertEqual(ok, ok_expected)
                self.assertIn(message, output)
                self.assertEqual(read(self.out), "old")


if __name__ == "__main__":
    unittest.main()
