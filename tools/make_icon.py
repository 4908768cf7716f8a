#!/usr/bin/env python3
"""Draws the uninstaller's icon, two beamed eighth notes over a piano keyboard, as a 16-colour .ico.

The resource script embeds the file as the icon group "AAA": one 32x32 and one 16x16 image,
4 bits per pixel in the standard 16-colour palette, each with its AND mask. Standard library only;
the output is the same byte for byte on every run.

Usage: python3 tools/make_icon.py [output]   (default: src/dialogs/pxunins.ico)
"""

import math
import os
import struct
import sys

# The standard 16-colour palette in its usual order, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, BLUE, WHITE = 0, 4, 12, 15


class Canvas:
    """A square of palette indices; None is a transparent pixel. Row 0 is the top row."""

    def __init__(self, size):
        self.size = size
        self.pixels = [[None] * size for _ in range(size)]

    def put(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = colour

    def fill_rect(self, left, top, right, bottom, colour):
        """Fills the pixels from (left, top) to (right, bottom), both corners included."""
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                self.put(x, y, colour)

    def fill_where(self, inside, colour):
        """Fills every pixel whose centre satisfies inside(x, y)."""
        for y in range(self.size):
            for x in range(self.size):
                if inside(x + 0.5, y + 0.5):
                    self.put(x, y, colour)


def note_head(cx, cy, rx, ry):
    """A note head: an ellipse tilted up to the right, the way engravers draw it."""
    angle = math.radians(-22)
    cos_a, sin_a = math.cos(angle), math.sin(angle)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u = dx * cos_a + dy * sin_a
        v = -dx * sin_a + dy * cos_a
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0

    return inside


def beam(x0, y0, x1, y1, thickness):
    """The beam joining two stems: a band from (x0, y0) to (x1, y1), thickness pixels high."""

    def inside(x, y):
        if x < x0 or x > x1:
            return False
        top = y0 + (y1 - y0) * (x - x0) / (x1 - x0)
        return top <= y <= top + thickness

    return inside


def draw_large():
    canvas = Canvas(32)
    # Five white keys, C to G, outlined in black, then the three black keys C#, D# and F#.
    canvas.fill_rect(1, 20, 30, 31, BLACK)
    for key in range(5):
        left = 2 + key * 6
        canvas.fill_rect(left, 21, left + 4, 30, WHITE)
    for boundary in (7, 13, 25):
        canvas.fill_rect(boundary - 2, 21, boundary + 1, 26, BLACK)
    # Two eighth notes joined by a beam, standing on the keyboard.
    canvas.fill_where(note_head(8.0, 16.0, 3.6, 2.5), NAVY)
    canvas.fill_where(note_head(22.0, 13.0, 3.6, 2.5), NAVY)
    canvas.fill_rect(11, 3, 11, 15, NAVY)
    canvas.fill_rect(25, 1, 25, 12, NAVY)
    canvas.fill_where(beam(10.0, 3.0, 26.0, 0.5, 3.2), NAVY)
    # A glint on each head so that the notes do not read as flat blots.
    canvas.put(6, 15, BLUE)
    canvas.put(20, 12, BLUE)
    return canvas


def draw_small():
    canvas = Canvas(16)
    canvas.fill_where(note_head(4.0, 12.5, 2.8, 2.1), NAVY)
    canvas.fill_where(note_head(11.0, 10.5, 2.8, 2.1), NAVY)
    canvas.fill_rect(6, 2, 6, 12, NAVY)
    canvas.fill_rect(13, 1, 13, 10, NAVY)
    canvas.fill_where(beam(6.0, 2.0, 14.0, 0.6, 2.0), NAVY)
    canvas.put(3, 12, BLUE)
    return canvas


def row_bytes(bits_per_row):
    """Bytes in one bitmap row: rows are padded to a whole number of 32-bit words."""
    return (bits_per_row + 31) // 32 * 4


def encode_image(canvas):
    """One icon image: BITMAPINFOHEADER, palette, XOR bitmap, AND mask; rows bottom-up."""
    size = canvas.size
    xor_row, and_row = row_bytes(size * 4), row_bytes(size)
    xor_bits, and_bits = bytearray(), bytearray()
    for y in reversed(range(size)):
        row = canvas.pixels[y]
        xor = bytearray(xor_row)
        mask = bytearray(and_row)
        for x, colour in enumerate(row):
            # A transparent pixel is colour 0 under a set mask bit: the screen shows through.
            index = 0 if colour is None else colour
            xor[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is None:
                mask[x // 8] |= 0x80 >> (x % 8)
        xor_bits += xor
        and_bits += mask
    header = struct.pack(
        "<IiiHHIIiiII",
        40,                              # biSize
        size,                            # biWidth
        size * 2,                        # biHeight: the XOR bitmap and the AND mask together
        1,                               # biPlanes
        4,                               # biBitCount
        0,                               # biCompression: BI_RGB
        len(xor_bits) + len(and_bits),   # biSizeImage
        0, 0,                            # biXPelsPerMeter, biYPelsPerMeter
        0, 0)                            # biClrUsed, biClrImportant: all 16 colours
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    return header + palette + bytes(xor_bits) + bytes(and_bits)


def encode_icon(canvases):
    images = [encode_image(canvas) for canvas in canvases]
    directory = struct.pack("<HHH", 0, 1, len(images))  # reserved, type 1 (icon), image count
    offset = len(directory) + 16 * len(images)
    entries = b""
    for canvas, image in zip(canvases, images):
        entries += struct.pack(
            "<BBBBHHII",
            canvas.size, canvas.size,  # width, height
            16, 0,                     # colour count, reserved
            1, 4,                      # planes, bits per pixel
            len(image), offset)        # bytes in the image, its offset in the file
        offset += len(image)
    return directory + entries + b"".join(images)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    default = os.path.join(root, "src", "dialogs", "pxunins.ico")
    output = sys.argv[1] if len(sys.argv) > 1 else default
    data = encode_icon([draw_large(), draw_small()])
    with open(output, "wb") as stream:
        stream.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
