#!/usr/bin/env python3
"""Draws the pictures of the example skin (tools/skins/example/): the
footer mark (logo.gif, with a transparent index), the footer band
(band.bmp) and the released and pressed push buttons (button_up.bmp,
button_down.bmp, whose corners are magenta for skin.ini's transparent
colour). Only the standard library: the pictures are computed
pixel by pixel. Sizes are for dialogs of 6 x 13 pixels per 4 x 8 dialog
units; skin.ini asks for SCALE where they should follow the dialog.

With --splash it instead draws a splash picture in the skin's colours
(a 24-bit bitmap, for a medium's setup.bmp), which the demo's dressed
medium carries beside the skin.

Usage: tools/skins/draw_example_skin.py [output folder]
       (default: tools/skins/example/)
       tools/skins/draw_example_skin.py --splash <file.bmp>
"""
import math
import os
import struct
import sys

NAVY = (20, 40, 90)
SKY = (235, 242, 250)
BLUE = (40, 96, 176)
DEEP = (24, 62, 128)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def bmp(width, height, pixel):
    """A bottom-up 24-bit bitmap file; pixel(x, y) gives (r, g, b), y = 0 at the top."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - width * 3)
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data


def gif(width, height, palette, indices, transparent):
    """A GIF89a file with one image; codes stay 9 bits wide because a clear
    code comes before the table would grow."""
    table = b"".join(bytes(c) for c in palette) + b"\0" * (3 * (256 - len(palette)))
    out = bytearray(b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF7, 0, 0) + table)
    out += bytes((0x21, 0xF9, 4, 1, 0, 0, transparent, 0))
    out += b"," + struct.pack("<HHHHB", 0, 0, width, height, 0) + bytes((8,))
    codes = []
    for start in range(0, len(indices), 200):
        codes.append(256)
        codes.extend(indices[start:start + 200])
    codes.append(257)
    bits, nbits, data = 0, 0, bytearray()
    for code in codes:
        bits |= code << nbits
        nbits += 9
        while nbits >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        data.append(bits & 0xFF)
    for start in range(0, len(data), 255):
        chunk = data[start:start + 255]
        out += bytes((len(chunk),)) + chunk
    out += b"\0;"
    return bytes(out)


def rounded(x, y, w, h, r):
    """Signed distance to a w x h box with corners of radius r (negative inside)."""
    cx = min(max(x, r), w - r)
    cy = min(max(y, r), h - r)
    return math.hypot(x - cx, y - cy) - r


def button(w, h, top, bottom, edge):
    def pixel(x, y):
        d = rounded(x + 0.5, y + 0.5, w, h, 5)
        face = mix(top, bottom, y / (h - 1))
        if d > 0:
            return (255, 0, 255)  # outside the rounded corners: left out when drawn
        return mix(face, edge, max(0.0, 1.0 + d))  # a one-pixel darker rim
    return bmp(w, h, pixel)


def band(w, h):
    def pixel(x, y):
        t = y / (h - 1)
        wave = 0.5 + 0.5 * math.sin(x / 37.0 + y / 11.0)
        return mix(mix(SKY, (196, 214, 240), t), (180, 200, 232), wave * 0.3 * t)
    return bmp(w, h, pixel)


def logo(w, h):
    palette = [(255, 0, 255), NAVY, BLUE, (120, 170, 230)]
    indices = []
    for y in range(h):
        for x in range(w):
            d = math.hypot(x + 0.5 - h / 2, y + 0.5 - h / 2)
            if d < h / 2 - 1:
                indices.append(2 if d > h / 4 else 3)
            elif h + 2 <= x < w - 2 and h / 3 <= y < 2 * h / 3 and (x // 4) % 2 == 0:
                indices.append(1)
            else:
                indices.append(0)
    return gif(w, h, palette, indices, 0)


def splash(w, h):
    def pixel(x, y):
        # A sky gradient, a rounded card and the logo's ring in the middle.
        sky = mix(SKY, (170, 196, 234), y / (h - 1))
        card = 1.0 - max(0.0, min(1.0, rounded(x - 24, y - 24, w - 48, h - 48, 18) + 0.5))
        colour = mix(sky, (250, 252, 255), card)
        d = math.hypot(x + 0.5 - w / 2, y + 0.5 - h / 2)
        ring = max(0.0, 1.0 - abs(d - h / 5) / 6.0)
        return mix(mix(colour, BLUE, ring), NAVY, max(0.0, 1.0 - d / (h / 12)))
    return bmp(w, h, pixel)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--splash":
        with open(sys.argv[2], "wb") as f:
            f.write(splash(360, 200))
        return
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "example")
    os.makedirs(out, exist_ok=True)
    pictures = {
        "band.bmp": band(690, 49),
        "button_up.bmp": button(75, 23, (92, 146, 216), BLUE, DEEP),
        "button_down.bmp": button(75, 23, DEEP, BLUE, NAVY),
        "logo.gif": logo(96, 24),
    }
    for name, data in pictures.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
