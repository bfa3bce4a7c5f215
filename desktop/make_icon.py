#!/usr/bin/env python3
"""Draws Vorlino's desktop icon with the Python standard library only: vorlino.png (256 x 256
RGBA), the smaller sizes a desktop's theme asks for in icons/, and the same drawing as vector
graphics in vorlino.svg.

A landscape photograph under the program's own effect: a soft oval vignette pulling the edges
towards cream, inside a rounded card with a thin dark border. Run from anywhere:
    python3 desktop/make_icon.py
The drawing is deterministic, so re-running it reproduces the committed files.
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


# The card in 256-pixel units; smaller icons scale it, keeping a border of at least one pixel.
MARGIN, RADIUS, BORDER = 14.0, 34.0, 5.0
BORDER_COLOUR = (58, 52, 46)
CREAM = (247, 240, 224)
# The oval vignette: clear inside OVAL_CLEAR, fully cream beyond OVAL_FULL (radius 1 = 0.40).
OVAL_RADIUS, OVAL_CLEAR, OVAL_FULL = 0.40, 0.78, 1.05
# Sizes of the theme's fixed-size icon folders, besides the 256 of vorlino.png.
SIZES = (16, 22, 24, 32, 48, 64, 128)


def card(size):
    scale = size / 256.0
    return MARGIN * scale, RADIUS * scale, max(BORDER * scale, 1.0)


def pixel(px, py, size):
    """One sample at pixel coordinates: RGBA with alpha 0..1."""
    margin, radius, border = card(size)
    d = rounded_box_distance(px, py, margin, margin, size - margin, size - margin, radius)
    if d > 0:
        return (0.0, 0.0, 0.0, 0.0)
    if d > -border:
        return BORDER_COLOUR + (1.0,)
    inner = size - 2 * (margin + border)
    x = (px - margin - border) / inner
    y = (py - margin - border) / inner
    colour = photo(x, y)
    # The mask: an oval, clear inside, fading to cream outside, as the program frames a photo.
    oval = math.hypot((x - 0.5) / OVAL_RADIUS, (y - 0.5) / OVAL_RADIUS)
    pull = smoothstep(OVAL_CLEAR, OVAL_FULL, oval)
    colour = mix(colour, CREAM, pull)
    return colour + (1.0,)


def render(size):
    rows = bytearray()
    step = 1.0 / SAMPLES
    for y in range(size):
        rows.append(0)  # filter type None
        for x in range(size):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    cr, cg, cb, ca = pixel(x + (sx + 0.5) * step, y + (sy + 0.5) * step, size)
                    r, g, b, a = r + cr * ca, g + cg * ca, b + cb * ca, a + ca
            n = SAMPLES * SAMPLES
            if a > 0:
                rows.extend(int(round(v / a)) for v in (r, g, b))
            else:
                rows.extend((0, 0, 0))
            rows.append(int(round(255 * a / n)))
    return bytes(rows)


def svg():
    """The same drawing in vector form: the hills' edges sampled from the functions of photo()."""
    inner0 = MARGIN + BORDER
    inner = SIZE - 2 * inner0

    def at(v):
        return inner0 + v * inner

    def rgb(c):
        return "#%02x%02x%02x" % tuple(int(round(v)) for v in c)

    def hill(edge):
        points = " ".join("%.2f,%.2f" % (at(i / 64), at(edge(i / 64))) for i in range(65))
        return "M%.2f,%.2f L%s L%.2f,%.2f Z" % (at(0), at(1.01), points, at(1), at(1.01))

    far = lambda x: 0.60 - 0.07 * math.sin(x * 5.0 + 0.6) - 0.03 * math.sin(x * 13.0)
    near = lambda x: 0.66 - 0.06 * math.sin(x * 4.0 + 2.2)
    # Stops that follow the smoothstep of the vignette from clear to cream.
    stops = []
    for i in range(9):
        t = i / 8
        offset = (OVAL_CLEAR + (OVAL_FULL - OVAL_CLEAR) * t) / OVAL_FULL
        stops.append('<stop offset="%.4f" stop-color="%s" stop-opacity="%.4f"/>'
                     % (offset, rgb(CREAM), t * t * (3 - 2 * t)))
    sky = []
    for i in range(7):
        t = i / 6
        sky.append('<stop offset="%.4f" stop-color="%s"/>'
                   % (t, rgb(mix((62, 110, 184), (250, 200, 132), smoothstep(0.0, 1.0, t)))))
    return "\n".join([
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">',
        '<defs>',
        '<clipPath id="photo"><rect x="%g" y="%g" width="%g" height="%g" rx="%g"/></clipPath>'
        % (inner0, inner0, inner, inner, RADIUS - BORDER),
        '<linearGradient id="sky" gradientUnits="userSpaceOnUse" x1="0" y1="%.2f" x2="0" y2="%.2f">'
        % (at(0), at(0.62)),
        *sky,
        '</linearGradient>',
        '<linearGradient id="far" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" stop-color="#607894"/><stop offset="1" stop-color="#465c76"/>'
        '</linearGradient>',
        '<linearGradient id="near" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" stop-color="#46844c"/><stop offset="1" stop-color="#2c6034"/>'
        '</linearGradient>',
        '<radialGradient id="vignette" gradientUnits="userSpaceOnUse" cx="128" cy="128" r="%.2f">'
        % (OVAL_FULL * OVAL_RADIUS * inner),
        *stops,
        '</radialGradient>',
        '</defs>',
        '<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="%s"/>'
        % (MARGIN, MARGIN, SIZE - 2 * MARGIN, SIZE - 2 * MARGIN, RADIUS, rgb(BORDER_COLOUR)),
        '<g clip-path="url(#photo)">',
        '<rect x="0" y="0" width="256" height="256" fill="url(#sky)"/>',
        '<circle cx="%.2f" cy="%.2f" r="%.2f" fill="#ffeeb0"/>' % (at(0.64), at(0.46), 0.085 * inner),
        '<path d="%s" fill="url(#far)"/>' % hill(far),
        '<path d="%s" fill="url(#near)"/>' % hill(near),
        '<rect x="0" y="0" width="256" height="256" fill="url(#vignette)"/>',
        '</g>',
        '</svg>',
        '',
    ])


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
    write_png(os.path.join(HERE, "vorlino.png"), SIZE, SIZE, render(SIZE))
    os.makedirs(os.path.join(HERE, "icons"), exist_ok=True)
    for size in SIZES:
        write_png(os.path.join(HERE, "icons", "vorlino-%d.png" % size), size, size, render(size))
    with open(os.path.join(HERE, "vorlino.svg"), "w", encoding="utf-8") as f:
        f.write(svg())
