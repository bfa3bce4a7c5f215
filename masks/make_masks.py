#!/usr/bin/env python3
"""Draws the masks shipped with Vorlino as 8-bit grey PNG files (Python standard library only).

White keeps the photo, black takes the chosen colour, greys blend in proportion. Run from anywhere:
    python3 masks/make_masks.py
The output is deterministic (fixed random seed), so re-running it reproduces the committed files.
"""
import math
import os
import random
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write_png(name, width, height, pixel):
    """Writes a grey PNG; pixel(x, y) gives 0..255."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)  # filter type None
        raw.extend(max(0, min(255, int(round(pixel(x, y))))) for x in range(width))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(png)


def smoothstep(edge0, edge1, x):
    t = max(0.0, min(1.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


def oval_vignette(width=480, height=360):
    """An oval window fading softly into a dark surround."""
    cx, cy = (width - 1) / 2, (height - 1) / 2
    rx, ry = width * 0.42, height * 0.40

    def pixel(x, y):
        d = math.hypot((x - cx) / rx, (y - cy) / ry)  # 1 on the oval's edge
        return 255 * (1 - smoothstep(0.78, 1.12, d))

    write_png("vignette_ovale.png", width, height, pixel)


def rounded_frame(width=480, height=360):
    """A dark frame with rounded inner corners and a soft inner edge."""
    border, radius, softness = 34, 40, 14
    left, top = border + radius, border + radius
    right, bottom = width - 1 - border - radius, height - 1 - border - radius

    def pixel(x, y):
        dx = max(left - x, 0, x - right)
        dy = max(top - y, 0, y - bottom)
        outside = math.hypot(dx, dy) - radius  # signed distance to the rounded rectangle
        return 255 * (1 - smoothstep(-softness, 0.0, outside))

    write_png("cadre_arrondi.png", width, height, pixel)


def torn_paper(width=480, height=360, seed=7):
    """A white sheet whose edges are torn: a ragged line around, a thin grey fibre rim."""
    rng = random.Random(seed)

    def ragged(length, amplitude):
        # Midpoint displacement: coarse bumps with finer tears on top.
        size = 1
        while size < length:
            size *= 2
        line = [0.0] * (size + 1)
        step, scale = size, amplitude
        while step > 1:
            half = step // 2
            for i in range(half, size, step):
                line[i] = (line[i - half] + line[i + half]) / 2 + rng.uniform(-scale, scale)
            step, scale = half, scale * 0.62
        return line[:length]

    margin = 30
    top_edge = ragged(width, 26)
    bottom_edge = ragged(width, 26)
    left_edge = ragged(height, 26)
    right_edge = ragged(height, 26)

    def pixel(x, y):
        inside = min(
            y - (margin + top_edge[x]),
            (height - 1 - margin + bottom_edge[x]) - y,
            x - (margin + left_edge[y]),
            (width - 1 - margin + right_edge[y]) - x,
        )
        if inside < 0:
            return 0
        if inside < 3:  # the torn fibres: a light grey rim
            return 200
        return 255

    write_png("papier_dechire.png", width, height, pixel)


def diamond_motif(size=48):
    """A small tile: a soft dark diamond in a corner-free white field, for "Répéter le masque"."""
    c = (size - 1) / 2

    def pixel(x, y):
        d = (abs(x - c) + abs(y - c)) / (size * 0.24)  # 1 on the diamond's edge
        return 255 * smoothstep(0.75, 1.05, d)

    write_png("motif_losanges.png", size, size, pixel)


if __name__ == "__main__":
    oval_vignette()
    rounded_frame()
    torn_paper()
    diamond_motif()
