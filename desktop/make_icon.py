#!/usr/bin/env python3
"""Draws Vorlino's desktop icon, vorlino.png (256 x 256 RGBA), with the Python standard library only.

A landscape photograph under the program's own effect: a soft oval vignette pulling the edges
towards cream, inside a rounded card with a thin dark border. Run from anywhere:
    python3 desktop/make_icon.py
The drawing is deterministic, so re-running it reproduces the committed file.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIZE = 256
SAMPLES = 4  # per axis: edges are smoothed by 4 x 4 supersampling


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def smoothstep(edge0, edge1, x):
    t = max(0.0, min(1.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


def rounded_box_distance(x, y, left, top, right, bottom, radius):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius
    qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def photo(x, y):
    """The landscape, in card coordinates 0..1."""
    sky = mix((62, 110, 184), (250, 200, 132), smoothstep(0.0, 0.62, y))
    colour = sky
    if math.hypot(x - 0.64, y - 0.46) < 0.085:
        colour = (255, 238, 176)
    far = 0.60 - 0.07 * math.sin(x * 5.0 + 0.6) - 0.03 * math.sin(x * 13.0)
    if y > far:
        colour = mix((96, 120, 148), (70, 92, 118), smoothstep(far, 1.0, y))
    near = 0.66 - 0.06 * math.sin(x * 4.0 + 2.2)
    if y > near:
        colour = mix((70, 132, 76), (44, 96, 52), smoothstep(near, 1.0, y))
    return colour


def pixel(px, py):
    """One sample at pixel coordinates: RGBA with alpha 0..1."""
    margin, radius = 14.0, 34.0
    d = rounded_box_distance(px, py, margin, margin, SIZE - margin, SIZE - margin, radius)
    if d > 0:
        return (0.0, 0.0, 0.0, 0.0)
    border = 5.0
    if d > -border:
        return (58.0, 52.0, 46.0, 1.0)
    inner = SIZE - 2 * (margin + border)
    x = (px - margin - border) / inner
    y = (py - margin - border) / inner
    colour = photo(x, y)
    # The mask: an oval, clear inside, fading to cream outside, as the program frames a photo.
    oval = math.hypot((x - 0.5) / 0.40, (y - 0.5) / 0.40)
    pull = smoothstep(0.78, 1.05, oval)
    colour = mix(colour, (247, 240, 224), pull)
    return colour + (1.0,)


def render():
    rows = bytearray()
    step = 1.0 / SAMPLES
    for y in range(SIZE):
        rows.append(0)  # filter type None
        for x in range(SIZE):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    cr, cg, cb, ca = pixel(x + (sx + 0.5) * step, y + (sy + 0.5) * step)
                    r, g, b, a = r + cr * ca, g + cg * ca, b + cb * ca, a + ca
            n = SAMPLES * SAMPLES
            if a > 0:
                rows.extend(int(round(v / a)) for v in (r, g, b))
            else:
                rows.extend((0, 0, 0))
            rows.append(int(round(255 * a / n)))
    return bytes(rows)


def write_png(path, width, height, rgba_rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(rgba_rows, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    write_png(os.path.join(HERE, "vorlino.png"), SIZE, SIZE, render())
