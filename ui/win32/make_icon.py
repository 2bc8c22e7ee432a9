#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes zmr470-update.ico (icon 128 of the Windows tool) from the shared icon's PNGs, in the
sizes a per-monitor DPI aware program asks for: 16, 20, 24, 32, 40, 48 and 64 px as 32-bit images
with an alpha channel and an AND mask, as every Windows version reads them, and 256 px as the PNG
itself (Windows reads a PNG-compressed image in that size only, and a bitmap would be 256 kB).
Run it after ui/icons/ changes: python3 ui/win32/make_icon.py"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ICONS = os.path.join(HERE, "..", "icons")


def read_png_rgba(path):
    """The pixels of an 8-bit RGBA, non-interlaced PNG as rows of bytes (top row first)."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour == 6 and interlace == 0, path
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride, bpp = width * 4, 4
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - bpp] if x >= bpp else 0
            b = prev[x]
            c = prev[x - bpp] if x >= bpp else 0
            if kind == 1:
                line[x] = (line[x] + a) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + b) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[x] = (line[x] + pred) & 0xFF
        rows.append(bytes(line))
        prev = line
    return width, height, rows


def dib_image(width, height, rows):
    """BITMAPINFOHEADER (height doubled for the mask), BGRA pixels bottom-up, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b""
    mask_stride = ((width + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x in range(width):
            r, g, b, a = row[4 * x:4 * x + 4]
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + pixels + mask


BITMAP_SIZES = (16, 20, 24, 32, 40, 48, 64)
PNG_SIZE = 256


def main():
    entries = []  # (size, image bytes)
    for size in BITMAP_SIZES:
        width, height, rows = read_png_rgba(os.path.join(ICONS, f"icon-{size}.png"))
        assert width == height == size
        entries.append((size, dib_image(width, height, rows)))
    png = os.path.join(ICONS, f"icon-{PNG_SIZE}.png")
    assert read_png_rgba(png)[0] == PNG_SIZE
    with open(png, "rb") as f:
        entries.append((PNG_SIZE, f.read()))
    blobs = [blob for _, blob in entries]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for size, blob in entries:
        # A width or height of 256 is written as 0.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    out += b"".join(blobs)
    with open(os.path.join(HERE, "zmr470-update.ico"), "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
