#!/usr/bin/env python3
"""Draws the launcher's pictures: the program icon (resources/setup.ico,
16, 32 and 48 pixels, 32-bit DIB entries that every supported Windows reads)
and the wizard's header and side pictures (resources/header.png,
resources/side.png, drawn for 200 %). Only the standard library: the images
are computed pixel by pixel and written with zlib.

Usage: tools/draw_pictures.py [output folder]   (default: resources/)
"""
import math
import os
import struct
import sys
import zlib


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def coverage(d, soft=0.75):
    """Anti-aliased inside test from a signed distance (negative inside)."""
    return max(0.0, min(1.0, 0.5 - d / soft))


def rounded_box(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return math.hypot(x - cx, y - cy) - r


def icon_pixel(x, y, n):
    """RGBA of the icon at pixel centre (x, y) of an n x n image: a blue
    tile carrying a white box with a downward arrow (something to install)."""
    s = n / 48.0
    px, py = (x + 0.5) / s, (y + 0.5) / s
    tile = coverage(rounded_box(px, py, 2, 2, 46, 46, 9) * s)
    if tile == 0:
        return (0, 0, 0, 0)
    color = mix((40, 110, 210), (15, 60, 140), py / 48.0)
    box = coverage(rounded_box(px, py, 12, 22, 36, 40, 2.5) * s)
    color = mix(color, (250, 250, 252), box)
    lid = coverage(abs(py - 27) * s - 0.9 * s) * box
    color = mix(color, (170, 195, 235), lid)
    # The arrow: a shaft and a head above the box, pointing into it.
    shaft = coverage(max(abs(px - 24) - 3.2, max(6 - py, py - 17)) * s)
    head = coverage(max(py - 24, (abs(px - 24) - (24 - py) * 0.9)) * s) if py > 14 else 0.0
    arrow = max(shaft, head)
    color = mix(color, (255, 200, 40), arrow)
    return color + (int(round(255 * tile)),)


def header_pixel(x, y, w, h):
    """The header band's picture: the window colour fading into soft blue
    circles towards the right edge."""
    t = x / (w - 1)
    color = (255, 255, 255)
    for cx, cy, r, c in ((0.86, 0.30, 0.55, (205, 225, 250)), (0.96, 0.95, 0.45, (170, 205, 245)),
                         (0.70, 1.10, 0.35, (225, 237, 252))):
        d = math.hypot(t * w / h - cx * w / h, y / h - cy) - r
        color = mix(color, c, coverage(d * h, 1.5) * min(1.0, t * 1.6))
    return color


def side_pixel(x, y, w, h):
    """The large layout's side picture: deep blue to teal with light
    diagonal bands."""
    color = mix((20, 50, 120), (20, 140, 150), y / (h - 1))
    band = math.sin((x + y * 0.6) / w * math.pi * 3.0)
    if band > 0.85:
        color = mix(color, (255, 255, 255), (band - 0.85) / 0.15 * 0.18)
    glow = math.hypot(x - w * 0.5, y - h * 0.28) / (w * 0.7)
    return mix((90, 170, 230), color, glow)


def png(width, height, pixel):
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y, width, height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(rows), 9))
            + chunk(b"IEND", b""))


def dib_entry(n):
    """One icon image: BITMAPINFOHEADER (double height), bottom-up BGRA,
    then the AND mask (1 bit per pixel, rows padded to 32 bits)."""
    pixels = [[icon_pixel(x, y, n) for x in range(n)] for y in range(n)]
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for y in reversed(range(n)):
        for r, g, b, a in pixels[y]:
            xor.extend((b, g, r, a))
    stride = ((n + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(n)):
        row = bytearray(stride)
        for x in range(n):
            if pixels[y][x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask.extend(row)
    return header + bytes(xor) + bytes(mask)


def ico(sizes):
    entries = [dib_entry(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, entries):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(entries)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..",
                                                                  "resources")
    outputs = {
        "setup.ico": ico([16, 32, 48]),
        # 102 x 36 and 120 x 240 dialog units at 200 %.
        "header.png": png(356, 126, header_pixel),
        "side.png": png(420, 784, side_pixel),
    }
    for name, data in outputs.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        print(os.path.join(folder, name), len(data), "bytes")


if __name__ == "__main__":
    main()
