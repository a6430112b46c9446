#!/usr/bin/env python3
"""Converts the 24-bit bottom-up BMP screenshots of the window probe
(tests/e2e/window_probe.cpp) into PNG files, with the standard library only.

Usage: tools/bmp_to_png.py <in.bmp> <out.png>
"""
import struct
import sys
import zlib


def convert(source, target):
    with open(source, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError(f"{source}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits = struct.unpack_from("<H", data, 28)[0]
    if bits != 24 or width <= 0 or height <= 0:
        raise ValueError(f"{source}: only 24-bit bottom-up BMP files are read")
    stride = (width * 3 + 3) // 4 * 4
    if offset + stride * height > len(data):
        raise ValueError(f"{source}: cut short")
    rows = bytearray()
    for y in range(height):
        start = offset + (height - 1 - y) * stride
        row = data[start:start + width * 3]
        rows.append(0)
        for x in range(0, width * 3, 3):
            rows.extend((row[x + 2], row[x + 1], row[x]))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(target, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n"
                + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    convert(sys.argv[1], sys.argv[2])
