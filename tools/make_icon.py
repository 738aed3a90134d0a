#!/usr/bin/env python3
"""Draws the application icon of Setup.exe and writes it as app/res/Setup.ico.

The picture is a hard disk drive with a green "undo" arrow that bends over
it and points back down into it, in two images, 32x32 and 16x16, each of
16 colours (4 bits per pixel, the standard 16-colour palette) with an AND
mask for the transparent background, so that every Windows from 95 on
shows it unchanged.

The shapes are described once in a 32x32 design space and sampled at the
pixel centres of each image size; an outline, where a shape has one, is one
pixel wide at either size, which keeps the small image readable.

Usage: python3 tools/make_icon.py [output.ico]
"""

import math
import os
import struct
import sys

# The standard 16-colour palette (as in 4-bit DIBs), index -> (R, G, B).
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 black
    (0x80, 0x00, 0x00),  # 1 maroon
    (0x00, 0x80, 0x00),  # 2 green
    (0x80, 0x80, 0x00),  # 3 olive
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0x00, 0x80, 0x80),  # 6 teal
    (0x80, 0x80, 0x80),  # 7 grey
    (0xC0, 0xC0, 0xC0),  # 8 silver
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 lime
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 fuchsia
    (0x00, 0xFF, 0xFF),  # 14 aqua
    (0xFF, 0xFF, 0xFF),  # 15 white
]
BLACK, GREEN, GREY, SILVER, LIME, WHITE = 0, 2, 7, 8, 10, 15

DESIGN = 32.0  # side of the design space


# --- Shapes: each is a test "is the design point (x, y) inside?" -----------

def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for k in range(n):
            x1, y1 = points[k]
            x2, y2 = points[(k + 1) % n]
            if (y1 > y) != (y2 > y):
                if x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                    hit = not hit
        return hit
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def ring_arc(cx, cy, r_in, r_out, start_deg, end_deg):
    """Ring between two radii over the angles start..end (degrees, counted
    counter-clockwise from the positive x axis as on paper, y pointing up)."""
    def inside(x, y):
        dx, dy = x - cx, cy - y
        r = math.hypot(dx, dy)
        if not r_in <= r <= r_out:
            return False
        a = math.degrees(math.atan2(dy, dx)) % 360.0
        return (a - start_deg) % 360.0 <= (end_deg - start_deg) % 360.0
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def restore_arrow(cx, cy, r_in, r_out, start_deg, end_deg, head):
    """A round arrow running counter-clockwise from start to end, with its
    head at the end pointing on along the circle."""
    a = math.radians(end_deg)
    radial = (math.cos(a), -math.sin(a))      # outwards, screen coordinates
    ahead = (-math.sin(a), -math.cos(a))      # counter-clockwise on screen
    rm = (r_in + r_out) / 2.0
    spread = (r_out - r_in) / 2.0 + head * 0.55

    def at(r, forward=0.0):
        return (cx + radial[0] * r + ahead[0] * forward,
                cy + radial[1] * r + ahead[1] * forward)

    tip = polygon([at(rm - spread, -0.5), at(rm + spread, -0.5), at(rm, head)])
    return union(ring_arc(cx, cy, r_in, r_out, start_deg, end_deg), tip)


# --- The picture -----------------------------------------------------------

def layers(size):
    """Shapes from back to front: (shape, fill colour, outline colour). The
    small image draws the arrow solid, without an outline of its own."""
    front = rect(1, 20, 22, 29)
    top = polygon([(1, 20), (7, 15), (30, 15), (22, 20)])
    side = polygon([(22, 20), (30, 15), (30, 24), (22, 29)])
    slot = rect(4, 24, 14, 26)
    led = rect(16, 24, 20, 26)
    # An "undo" arrow: up from the right, over the top, and down into the drive.
    arrow = restore_arrow(19.0, 10.0, 3.5, 8.0, 340.0, 180.0, 7.0)
    return [
        (top, WHITE, BLACK),
        (side, GREY, BLACK),
        (front, SILVER, BLACK),
        (slot, GREY, None),
        (led, LIME, None),
        (arrow, LIME, GREEN) if size >= 32 else (arrow, GREEN, None),
    ]


def render(size):
    """Returns the image as rows (top first) of palette indexes, None for the
    transparent background."""
    scale = DESIGN / size
    image = [[None] * size for _ in range(size)]
    for shape, fill, outline in layers(size):
        mask = [[shape((i + 0.5) * scale, (j + 0.5) * scale)
                 for i in range(size)] for j in range(size)]
        for j in range(size):
            for i in range(size):
                if not mask[j][i]:
                    continue
                edge = any(not (0 <= j + dj < size and 0 <= i + di < size
                                and mask[j + dj][i + di])
                           for dj, di in ((-1, 0), (1, 0), (0, -1), (0, 1)))
                image[j][i] = outline if edge and outline is not None else fill
    return image


# --- The .ico file ---------------------------------------------------------

def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def icon_image(image):
    """One icon image: BITMAPINFOHEADER, palette, XOR bitmap, AND mask."""
    size = len(image)
    xor_stride, and_stride = row_bytes(size * 4), row_bytes(size)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(image):          # DIBs store the bottom row first
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for i, px in enumerate(row):
            index = 0 if px is None else px
            line[i // 2] |= index << (4 if i % 2 == 0 else 0)
            if px is None:
                bits[i // 8] |= 0x80 >> (i % 8)
        xor += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def icon_file(images):
    data = [icon_image(img) for img in images]
    out = bytearray(struct.pack('<HHH', 0, 1, len(data)))
    offset = 6 + 16 * len(data)
    for img, blob in zip(images, data):
        size = len(img)
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    for blob in data:
        out += blob
    return bytes(out)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    target = argv[1] if len(argv) > 1 else os.path.join(here, '..', 'app', 'res', 'Setup.ico')
    with open(target, 'wb') as f:
        f.write(icon_file([render(32), render(16)]))
    print('wrote', os.path.normpath(target))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
