#!/usr/bin/env python3
"""Draws the program's icon (a record dot over a waveform on a slate tile) into an .ico
file with 16x16, 32x32 and 48x48 images. Usage: make-icon.py OUT.ico"""
import math
import struct
import sys


def pixel(size, x, y):
    """RGBA of one pixel, drawn at 4x4 subsamples for smooth edges."""
    acc = [0.0, 0.0, 0.0, 0.0]
    for sy in range(4):
        for sx in range(4):
            u = (x + (sx + 0.5) / 4) / size
            v = (y + (sy + 0.5) / 4) / size
            c = sample(u, v)
            a = c[3] / 255.0
            for i in range(3):
                acc[i] += c[i] * a
            acc[3] += a
    if acc[3] == 0:
        return (0, 0, 0, 0)
    return tuple(int(acc[i] / acc[3]) for i in range(3)) + (int(acc[3] / 16 * 255),)


def sample(u, v):
    # Rounded tile.
    r = 0.18
    dx = max(abs(u - 0.5) - (0.5 - r), 0)
    dy = max(abs(v - 0.5) - (0.5 - r), 0)
    if dx * dx + dy * dy > r * r:
        return (0, 0, 0, 0)
    colour = (int(38 + 30 * (1 - v)), int(52 + 34 * (1 - v)), int(70 + 40 * (1 - v)), 255)
    # Waveform: a decaying sine across the lower part.
    wave_y = 0.64 + 0.16 * math.sin(u * 2 * math.pi * 2.5) * (0.35 + 0.65 * math.sin(u * math.pi))
    if 0.1 < u < 0.9 and abs(v - wave_y) < 0.045:
        colour = (90, 230, 140, 255)
    # Record dot.
    if (u - 0.5) ** 2 + (v - 0.33) ** 2 < 0.155 ** 2:
        colour = (232, 64, 58, 255)
        if (u - 0.46) ** 2 + (v - 0.29) ** 2 < 0.05 ** 2:
            colour = (250, 150, 140, 255)
    return colour


def image(size):
    rows = []
    for y in reversed(range(size)):  # DIBs are stored bottom-up
        row = b""
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            row += bytes((b, g, r, a))
        rows.append(row)
    mask_row = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"\0" * (mask_row * size)


def main(out):
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, "wb") as f:
        f.write(data + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])
