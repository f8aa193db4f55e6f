#!/usr/bin/env python3
"""Draws the program icon (a closed box with a strap and a quill) into quillbox.ico and the
icon of .qbx files (a page with a folded corner and the strapped box on it) into
qbx_document.ico.

Run it again after changing a drawing; the .ico files beside it are its output."""
import struct
import sys
from pathlib import Path

BOX = (0xC8, 0x8A, 0x3C)      # cardboard
LID = (0xE0, 0xA8, 0x58)
EDGE = (0x6B, 0x43, 0x14)
STRAP = (0x2E, 0x5E, 0xA8)
QUILL = (0xF4, 0xF4, 0xF0)
SHAFT = (0x30, 0x30, 0x30)
PAGE = (0xFC, 0xFC, 0xF8)
FOLD = (0xD8, 0xD8, 0xD0)
INK = (0x70, 0x70, 0x70)


def canvas(size):
    """Empty rows of (r, g, b, a) and a fill on a 32-unit grid scaled to size."""
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    k = size / 32.0

    def fill(x0, y0, x1, y1, colour):
        for y in range(int(y0 * k), max(int(y0 * k) + 1, int(y1 * k))):
            for x in range(int(x0 * k), max(int(x0 * k) + 1, int(x1 * k))):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour + (255,)
    return px, fill


def draw_document(size):
    """A page with its corner folded, two lines of text and the strapped box below them."""
    px, fill = canvas(size)
    fill(5, 1, 27, 31, INK)            # outline
    fill(6, 2, 26, 30, PAGE)
    fill(20, 1, 27, 8, (0, 0, 0))      # the folded corner, cut out and drawn in
    for y in range(1, 8):
        for x in range(20, 27):
            if x - 20 < y:
                fill(x, y, x + 1, y + 1, FOLD if x - 20 < y - 1 else INK)
            else:
                px[int(y * size / 32)][int(x * size / 32)] = (0, 0, 0, 0)
    fill(9, 6, 18, 7, INK)
    fill(9, 10, 22, 11, INK)
    fill(9, 16, 23, 28, EDGE)          # the box
    fill(10, 17, 22, 27, BOX)
    fill(15, 16, 17, 28, STRAP)
    return px


def draw(size):
    """Returns rows of (r, g, b, a) from the top, drawn on a 32-unit grid scaled to size."""
    px, fill = canvas(size)
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


def bitmap(size, drawing):
    """One icon image: BITMAPINFOHEADER, 32-bit bottom-up pixels, 1-bit AND mask."""
    rows = drawing(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)  # alpha decides; the mask stays clear
    return header + pixels + mask


def icon(sizes, drawing):
    images = [bitmap(s, drawing) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


if __name__ == '__main__':
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent
    (folder / 'quillbox.ico').write_bytes(icon([16, 24, 32, 48], draw))
    (folder / 'qbx_document.ico').write_bytes(icon([16, 24, 32, 48], draw_document))
