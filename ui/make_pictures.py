#!/usr/bin/env python3
"""Draws the logon dialog's picture (LogonPicture.bmp) and the application icon (kestel.ico).

Run by hand from this folder; the outputs are committed beside it:
    python3 make_pictures.py

LogonPicture.bmp: 69 x 105 pixels, 8 bits per pixel with a 256-colour palette, uncompressed, bottom-up,
8,638 bytes. A padlock and a key on a purple field against white; the window paints it transparent
with the colour of its bottom-left pixel, so that pixel and the whole surround are pure white and
nothing inside the field is.
"""

import math
import struct
from pathlib import Path

HERE = Path(__file__).resolve().parent

WHITE = (255, 255, 255)
SILVER = (200, 200, 214)
SILVER_DARK = (120, 120, 140)
GOLD = (232, 185, 35)
GOLD_DARK = (168, 124, 14)
KEYHOLE = (58, 26, 85)
PURPLE_TOP = (128, 66, 172)
PURPLE_BOTTOM = (70, 30, 108)


def in_round_rect(x, y, left, top, right, bottom, radius):
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def in_ring(x, y, cx, cy, outer, inner):
    d = math.hypot(x - cx, y - cy)
    return inner <= d <= outer


def field_colour(y, top, bottom):
    t = (y - top) / max(bottom - top, 1)
    return tuple(round(a + (b - a) * t) for a, b in zip(PURPLE_TOP, PURPLE_BOTTOM))


def padlock_and_key(x, y, s):
    """The drawing, in a design space where the picture is 69 units wide; s scales it."""
    u, v = x / s, y / s
    # Key, below the padlock: a ring, a shaft and two teeth.
    if in_ring(u, v, 18, 86, 7.5, 3.2) or (25 <= u <= 55 and 84 <= v <= 88) or \
            (44 <= u <= 47 and 88 <= v <= 93) or (50 <= u <= 54 and 88 <= v <= 95):
        edge = in_ring(u, v, 18, 86, 7.5, 6.5) or v >= 87.6 or u >= 54.6
        return GOLD_DARK if edge else GOLD
    # Padlock body with its keyhole.
    if in_round_rect(u, v, 15, 42, 53, 71, 4):
        if math.hypot(u - 34, v - 53) <= 4.2 or (32.5 <= u <= 35.5 and 53 <= v <= 63):
            return KEYHOLE
        edge = not in_round_rect(u, v, 16.2, 43.2, 51.8, 69.8, 3)
        return GOLD_DARK if edge else GOLD
    # Shackle: the upper half of a ring, with its legs down into the body.
    if (v <= 34 and in_ring(u, v, 34, 34, 15, 9.5)) or \
            (34 <= v <= 42 and (19 <= u <= 24.5 or 43.5 <= u <= 49)):
        edge = (v <= 34 and in_ring(u, v, 34, 34, 15, 13.8)) or u <= 20 or u >= 48
        return SILVER_DARK if edge else SILVER
    return None


def logon_picture_pixels(width, height):
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            if not in_round_rect(x, y, 3, 3, width - 4, height - 4, 8):
                row.append(WHITE)
                continue
            row.append(padlock_and_key(x, y, 1.0) or field_colour(y, 3, height - 4))
        rows.append(row)
    return rows


def write_bmp8(path, rows):
    height, width = len(rows), len(rows[0])
    palette = []
    for row in rows:
        for colour in row:
            if colour not in palette:
                palette.append(colour)
    assert len(palette) <= 256, len(palette)
    palette.sort(key=lambda c: c != WHITE)  # white first, for whoever looks at the file
    index = {c: i for i, c in enumerate(palette)}
    stride = (width + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up: the first row stored is the bottom one
        line = bytes(index[c] for c in row)
        pixels += line + bytes(stride - width)
    colour_table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    colour_table += bytes(4 * (256 - len(palette)))
    offset = 14 + 40 + len(colour_table)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels), 3780, 3780, 256, 0)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    path.write_bytes(header + info + colour_table + bytes(pixels))


def icon_pixels(size):
    s = size / 32
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            u, v = (x + 0.5) / s, (y + 0.5) / s
            if not in_round_rect(u, v, 0.5, 0.5, 31.5, 31.5, 5):
                row.append(None)
            elif in_round_rect(u, v, 8, 14, 24, 27, 2):
                row.append(KEYHOLE if math.hypot(u - 16, v - 19.5) <= 2 or (15 <= u <= 17 and 19.5 <= v <= 24)
                           else GOLD)
            elif (v <= 14 and in_ring(u, v, 16, 11, 7, 4)) or (11 <= v <= 14 and (9 <= u <= 12 or 20 <= u <= 23)):
                row.append(SILVER)
            else:
                row.append(field_colour(v, 0.5, 31.5))
        rows.append(row)
    return rows


def ico_entry(rows):
    size = len(rows)
    xor = bytearray()
    mask = bytearray()
    mask_stride = (size + 31) // 32 * 4
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, colour in enumerate(row):
            if colour is None:
                xor += bytes(4)
                line[x // 8] |= 0x80 >> (x % 8)
            else:
                r, g, b = colour
                xor += bytes((b, g, r, 255))
        mask += line
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def write_ico(path, sizes):
    images = [(size, ico_entry(icon_pixels(size))) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    path.write_bytes(out)


if __name__ == "__main__":
    picture = HERE / "LogonPicture.bmp"
    write_bmp8(picture, logon_picture_pixels(69, 105))
    # A frame for each size the shell asks for from 100 % to 200 % display scale (small and large icons).
    write_ico(HERE / "kestel.ico", [16, 20, 24, 32, 40, 48, 64])
    print("wrote", picture, picture.stat().st_size, "bytes, and", HERE / "kestel.ico")
