#!/usr/bin/env python3
"""Draws the program icon (a closed box with a strap and a quill) and writes quillbox.ico.

Run it again after changing the drawing; the .ico beside it is its output."""
import struct
import sys
from pathlib import Path

BOX = (0xC8, 0x8A, 0x3C)      # cardboard
LID = (0xE0, 0xA8, 0x58)
EDGE = (0x6B, 0x43, 0x14)
STRAP = (0x2E, 0x5E, 0xA8)
QUILL = (0xF4, 0xF4, 0xF0)
SHAFT = (0x30, 0x30, 0x30)


def draw(size):
    """Returns rows of (r, g, b, a) from the top, drawn on a 32-unit grid scaled to size."""
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    k = size / 32.0

    def fill(x0, y0, x1, y1, colour):
        for y in range(int(y0 * k), max(int(y0 * k) + 1, int(y1 * k))):
            for x in range(int(x0 * k), max(int(x0 * k) + 1, int(x1 * k))):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour + (255,)

    fill(3, 12, 29, 30, EDGE)          # box body with its outline
    fill(4, 13, 28, 29, BOX)
    fill(2, 8, 30, 13, EDGE)           # lid
    fill(3, 9, 29, 12, LID)
    fill(14, 8, 18, 30, STRAP)         # strap across lid and body
    for i in range(14):                # quill, leaning right over the lid
        x, y = 17 + i * 0.9, 14 - i
        fill(x, y, x + 2.2, y + 1.4, QUILL)
        fill(x - 0.2, y + 1.2, x + 1.2, y + 1.8, SHAFT)
    return px


def bitmap(size):
    """One icon image: BITMAPINFOHEADER, 32-bit bottom-up pixels, 1-bit AND mask."""
    rows = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)  # alpha decides; the mask stays clear
    return header + pixels + mask


def icon(sizes):
    images = [bitmap(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


if __name__ == '__main__':
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name('quillbox.ico')
    target.write_bytes(icon([16, 24, 32, 48]))
