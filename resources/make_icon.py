#!/usr/bin/env python3
"""Draws the launcher's icon, a rocket-orange disc with a white arrow, at 16, 32
and 48 pixels in 16 colours, and writes prelaunch.ico (committed).

Sixteen colours hold the disc, the arrow and the shades between them at a
third of the bytes of a 256-colour icon; the exe carries its icon in every
copy. Pure Python, so it needs nothing installed."""
import os
import struct

ORANGE = (0xE8, 0x59, 0x0C)
WHITE = (0xFF, 0xFF, 0xFF)
SHADES = 15  # palette 1..15: orange to white; 0 is behind the mask
ARROW = [(16, 12), (38, 24), (16, 36), (22, 24)]  # on a 48-pixel grid


def inside_polygon(x, y, points):
    inside = False
    for i, (x1, y1) in enumerate(points):
        x2, y2 = points[(i + 1) % len(points)]
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside


def draw(size, samples=8):
    """Per pixel: palette index, and whether it is transparent."""
    scale = 48.0 / size
    pixels = []
    for row in range(size):
        line = []
        for column in range(size):
            disc = arrow = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (column + (sx + 0.5) / samples) * scale
                    y = (row + (sy + 0.5) / samples) * scale
                    if (x - 24) ** 2 + (y - 24) ** 2 <= 22 ** 2:
                        disc += 1
                        if inside_polygon(x, y, ARROW):
                            arrow += 1
            if disc * 2 < samples * samples:
                line.append((0, True))
            else:
                line.append((1 + round(arrow / disc * (SHADES - 1)), False))
        pixels.append(line)
    return pixels


def palette():
    colours = [(0, 0, 0)]
    for k in range(SHADES):
        t = k / (SHADES - 1)
        colours.append(tuple(round(o + (w - o) * t) for o, w in zip(ORANGE, WHITE)))
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)


def image(size):
    pixels = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    colour_rows, mask_rows = [], []
    for line in reversed(pixels):  # bottom-up
        nibbles = bytes((line[i][0] << 4) | line[i + 1][0] for i in range(0, size, 2))
        colour_rows.append(nibbles + b"\0" * (-len(nibbles) % 4))
        bits = 0
        for _, transparent in line:
            bits = (bits << 1) | int(transparent)
        mask = bits.to_bytes(size // 8, "big")
        mask_rows.append(mask + b"\0" * (-len(mask) % 4))
    return header + palette() + b"".join(colour_rows) + b"".join(mask_rows)


def main():
    sizes = (16, 32, 48)
    images = [image(size) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "prelaunch.ico"), "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
