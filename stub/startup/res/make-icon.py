#!/usr/bin/env python3
"""Writes stub.ico: the program icon (a box with an arrow into it) in 16 and
32 pixels, 32-bit colour. Run again after changing the drawing."""
import struct
import sys


def pixel(x, y, n):
    s = n / 32.0
    fx, fy = x / s, y / s
    # Arrow: shaft and head pointing down into the box.
    if 14 <= fx < 18 and 2 <= fy < 14:
        return (255, 255, 255, 255)
    if 8 <= fy < 18 and abs(fx - 16) <= (18 - fy) * 0.8 and fy >= 10:
        return (255, 255, 255, 255)
    # Box with a darker rim.
    if 3 <= fx < 29 and 12 <= fy < 30:
        rim = fx < 5 or fx >= 27 or fy >= 28 or fy < 14
        return (20, 60, 140, 255) if rim else (40, 110, 210, 255)
    return (0, 0, 0, 0)


def image(n):
    rows = []
    for y in range(n - 1, -1, -1):  # bottom-up
        row = b""
        for x in range(n):
            r, g, b, a = pixel(x, y, n)
            row += bytes((b, g, r, a))
        rows.append(row)
    mask_row = b"\0" * (((n + 31) // 32) * 4)
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + mask_row * n


def main(path):
    sizes = (16, 32)
    images = [image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "stub.ico")
