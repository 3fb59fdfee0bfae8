#!/usr/bin/env python3
"""Draws the launcher's splash picture and writes resources/splash.bmp.

450 x 300, 8 bits per pixel, a full 256-entry colour table, BI_RGB, rows
bottom-up: the layout the launcher reads (pixel rows 1064 bytes into the
resource, 1078 into the file with its 14-byte file header). Standard library
only; the font is the 5 x 7 one below. The output is committed.
"""
import os
import struct

WIDTH, HEIGHT = 450, 300
ROW = (WIDTH + 3) // 4 * 4

GRADIENT = 192  # entries 0-191: the background, dark blue at the top to teal at the bottom
WHITE, SHADOW, ORANGE, MIST, ORANGE_DARK = 192, 193, 194, 195, 196

FONT = {
    'p': ["....", "###.", "#..#", "#..#", "###.", "#...", "#..."],
    'r': ["....", "#.##", "##..", "#...", "#...", "#...", "#..."],
    'e': ["....", ".##.", "#..#", "####", "#...", "#..#", ".##."],
    'l': ["##..", ".#..", ".#..", ".#..", ".#..", ".#..", "###."],
    'a': ["....", ".##.", "...#", ".###", "#..#", "#..#", ".###"],
    'u': ["....", "#..#", "#..#", "#..#", "#..#", "#..#", ".###"],
    'n': ["....", "###.", "#..#", "#..#", "#..#", "#..#", "#..#"],
    'c': ["....", ".##.", "#..#", "#...", "#...", "#..#", ".##."],
    'h': ["#...", "#...", "###.", "#..#", "#..#", "#..#", "#..#"],
    's': ["....", ".###", "#...", ".##.", "...#", "...#", "###."],
    't': [".#..", ".#..", "###.", ".#..", ".#..", ".#..", "..##"],
    'i': [".#..", "....", "##..", ".#..", ".#..", ".#..", "###."],
    'g': ["....", ".###", "#..#", "#..#", ".###", "...#", ".##."],
    'o': ["....", ".##.", "#..#", "#..#", "#..#", "#..#", ".##."],
    'd': ["...#", "...#", ".###", "#..#", "#..#", "#..#", ".###"],
    'y': ["....", "#..#", "#..#", "#..#", ".###", "...#", ".##."],
    '.': ["....", "....", "....", "....", "....", "....", ".#.."],
    ' ': ["....", "....", "....", "....", "....", "....", "...."],
}


def palette():
    colours = []
    for i in range(GRADIENT):
        t = i / (GRADIENT - 1)
        colours.append((int(18 + 10 * t), int(28 + 110 * t), int(70 + 70 * t)))  # r, g, b
    colours += [(255, 255, 255), (8, 14, 32), (232, 89, 12), (190, 214, 230), (150, 52, 6)]
    colours += [(0, 0, 0)] * (256 - len(colours))
    return colours


def background(pixels):
    for y in range(HEIGHT):
        for x in range(WIDTH):
            # Diagonal gradient with a soft light from the upper left.
            t = (y / HEIGHT) * 0.75 + (x / WIDTH) * 0.25
            pixels[y][x] = min(GRADIENT - 1, int(t * GRADIENT))


def disc_with_arrow(pixels, cx, cy, r):
    for y in range(cy - r - 1, cy + r + 2):
        for x in range(cx - r - 1, cx + r + 2):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if d2 <= r * r:
                pixels[y][x] = ORANGE_DARK if d2 > (r - 3) ** 2 else ORANGE
    # A play arrow pointing right: the launch.
    left, right, half = cx - r // 3, cx + r // 2, r // 2
    for y in range(cy - half, cy + half + 1):
        reach = left + (right - left) * (half - abs(y - cy)) // half
        for x in range(left, reach + 1):
            pixels[y][x] = WHITE


def text(pixels, words, top, scale, colour, shadow=None):
    width = (len(words) * 5 - 1) * scale
    left = (WIDTH - width) // 2
    for layer, offset in ((shadow, max(1, scale // 2)), (colour, 0)):
        if layer is None:
            continue
        for n, ch in enumerate(words):
            glyph = FONT[ch]
            for gy, line in enumerate(glyph):
                for gx, cell in enumerate(line):
                    if cell != '#':
                        continue
                    for dy in range(scale):
                        for dx in range(scale):
                            x = left + (n * 5 + gx) * scale + dx + offset
                            y = top + gy * scale + dy + offset
                            pixels[y][x] = layer


def write_bmp(path, pixels, colours):
    image_size = ROW * HEIGHT
    offset = 14 + 40 + 256 * 4
    out = bytearray()
    out += struct.pack('<2sIHHI', b'BM', offset + image_size, 0, 0, offset)
    out += struct.pack('<IiiHHIIiiII', 40, WIDTH, HEIGHT, 1, 8, 0, image_size, 0, 0, 256, 0)
    for r, g, b in colours:
        out += bytes((b, g, r, 0))
    for y in range(HEIGHT - 1, -1, -1):  # bottom row first
        out += bytes(pixels[y]) + bytes(ROW - WIDTH)
    with open(path, 'wb') as f:
        f.write(out)


def main():
    pixels = [[0] * WIDTH for _ in range(HEIGHT)]
    background(pixels)
    disc_with_arrow(pixels, WIDTH // 2, 78, 40)
    text(pixels, "prelaunch", 140, 8, WHITE, SHADOW)
    text(pixels, "getting things ready...", 232, 3, MIST)
    write_bmp(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'splash.bmp'), pixels, palette())


if __name__ == '__main__':
    main()
