"""Read and write the game's art as indexed PNG files, standard library only.

Pixels are palette indices 0..15 (the 16 VGA colours) and 16 for transparent.
Written files carry that exact palette, index 16 as magenta FF00FF with alpha 0,
so that editors ignoring alpha still show transparency loudly.  Reading accepts
any indexed PNG (bit depth 1, 2, 4 or 8, any palette order) whose colours are
all VGA colours or fully transparent, and maps them back to 0..16.
"""

import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from palette import VGA  # noqa: E402  (the 16 VGA colours as (r, g, b), by index)

TRANSPARENT = 16
TRANSPARENT_RGB = (0xFF, 0x00, 0xFF)

_SIGNATURE = b"\x89PNG\r\n\x1a\n"


class PngError(Exception):
    """A file that is not an indexed PNG in the game's palette."""


def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_indexed(path, w, h, pixels):
    """Write a w x h picture of indices 0..16 (flat, row-major) as an 8-bit indexed PNG."""
    if len(pixels) != w * h:
        raise ValueError(f"{path}: {len(pixels)} pixels given for {w} x {h}")
    bad = sorted({p for p in pixels if not 0 <= p <= TRANSPARENT})
    if bad:
        raise ValueError(f"{path}: indices out of range: {bad}")
    raw = bytearray()
    for y in range(h):
        raw.append(0)  # filter type None
        raw.extend(pixels[y * w:(y + 1) * w])
    palette = b"".join(bytes(c) for c in VGA + [TRANSPARENT_RGB])
    alpha = bytes([255] * 16 + [0])
    png = (_SIGNATURE
           + _chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 3, 0, 0, 0))
           + _chunk(b"PLTE", palette)
           + _chunk(b"tRNS", alpha)
           + _chunk(b"IDAT", zlib.compress(bytes(raw), 9))
           + _chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _unfilter(data, w, h, depth):
    """Undo the per-row filters; returns the list of raw rows (bytes)."""
    stride = (w * depth + 7) // 8
    bpp = 1  # indexed pixels are at most one byte, so filters look one byte back
    rows, prev, pos = [], bytearray(stride), 0
    for y in range(h):
        if pos + 1 + stride > len(data):
            raise PngError("image data too short")
        ftype = data[pos]
        row = bytearray(data[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            a = row[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if ftype == 0:
                break
            elif ftype == 1:
                row[i] = (row[i] + a) & 0xFF
            elif ftype == 2:
                row[i] = (row[i] + b) & 0xFF
            elif ftype == 3:
                row[i] = (row[i] + ((a + b) >> 1)) & 0xFF
            elif ftype == 4:
                row[i] = (row[i] + _paeth(a, b, c)) & 0xFF
            else:
                raise PngError(f"unknown filter type {ftype} in row {y}")
        rows.append(row)
        prev = row
    return rows


def read_indexed(path):
    """Read an indexed PNG and return (w, h, pixels) with pixels 0..15 or 16 (transparent)."""
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(_SIGNATURE):
        raise PngError(f"{path}: not a PNG file")
    pos, idat, palette, alpha, header = 8, bytearray(), None, b"", None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b"tRNS":
            alpha = body
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if header is None:
        raise PngError(f"{path}: no IHDR chunk")
    w, h, depth, ctype, _, _, interlace = header
    if ctype != 3:
        raise PngError(f"{path}: not an indexed-colour PNG (colour type {ctype}); "
                       "save it with an indexed palette")
    if depth not in (1, 2, 4, 8):
        raise PngError(f"{path}: unsupported bit depth {depth}")
    if interlace:
        raise PngError(f"{path}: interlaced PNGs are not supported; save without interlace")
    if palette is None:
        raise PngError(f"{path}: indexed PNG without a palette")

    # Map each palette entry to the game's index: fully transparent -> 16, else exact VGA.
    mapping = []
    for i, rgb in enumerate(palette):
        if i < len(alpha) and alpha[i] == 0:
            mapping.append(TRANSPARENT)
        elif i < len(alpha) and alpha[i] != 255:
            mapping.append(None)  # partly transparent: only an error if used
        elif rgb in VGA:
            mapping.append(VGA.index(rgb))
        else:
            mapping.append(None)  # not a VGA colour: only an error if used

    try:
        raw = zlib.decompress(bytes(idat))
    except zlib.error as e:
        raise PngError(f"{path}: corrupt image data ({e})")
    pixels = []
    mask = (1 << depth) - 1
    for y, row in enumerate(_unfilter(raw, w, h, depth)):
        for x in range(w):
            bit = x * depth
            entry = (row[bit // 8] >> (8 - depth - bit % 8)) & mask
            if entry >= len(mapping):
                raise PngError(f"{path}: pixel ({x}, {y}) uses palette entry {entry} "
                               f"beyond the {len(mapping)}-entry palette")
            index = mapping[entry]
            if index is None:
                r, g, b = palette[entry]
                a = alpha[entry] if entry < len(alpha) else 255
                raise PngError(f"{path}: pixel ({x}, {y}) has colour #{r:02X}{g:02X}{b:02X} "
                               f"alpha {a}, which is not one of the 16 VGA colours "
                               "or fully transparent")
            pixels.append(index)
    return w, h, pixels
