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


# ---- the gallery's masks --------------------------------------------------------------------------
# Shapes are drawn from signed distances (negative inside the photo's window) with a transition of a
# pixel or two for "hard" edges, so that no edge shows stair steps once the mask is stretched.

W, H = 480, 360  # the 4:3 size of the frames; stretched to any photo by "Ajuster le masque"


def clamp01(t):
    return max(0.0, min(1.0, t))


def hard(d, aa=1.0):
    """White inside (d < 0), black outside, an anti-aliased edge aa pixels wide."""
    return 255 * clamp01(0.5 - d / (2 * aa))


def soft(d, width):
    """White inside, fading to black over `width` pixels centred on the edge."""
    return 255 * (1 - smoothstep(-width / 2, width / 2, d))


def rounded_rect_distance(x, y, left, top, right, bottom, radius):
    """Signed distance to a rectangle with rounded corners (negative inside)."""
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius
    qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(qx, 0), max(qy, 0))
    return outside + min(max(qx, qy), 0) - radius


def ellipse_distance(x, y, cx, cy, rx, ry):
    """An approximate signed distance to an ellipse, exact on the axes."""
    d = math.hypot((x - cx) / rx, (y - cy) / ry)
    return (d - 1) * min(rx, ry) if d > 0 else -min(rx, ry)


def ragged_line(rng, length, amplitude, roughness=0.62):
    """Midpoint displacement: coarse bumps with finer tears on top."""
    size = 1
    while size < length:
        size *= 2
    line = [0.0] * (size + 1)
    step, scale = size, amplitude
    while step > 1:
        half = step // 2
        for i in range(half, size, step):
            line[i] = (line[i - half] + line[i + half]) / 2 + rng.uniform(-scale, scale)
        step, scale = half, scale * roughness
    return line[:length]


def round_vignette_soft():
    cx, cy, r = (W - 1) / 2, (H - 1) / 2, H * 0.46
    write_png("vignette_ronde_douce.png", W, H,
              lambda x, y: soft(math.hypot(x - cx, y - cy) - r, 120))


def oval_vignette_hard():
    cx, cy = (W - 1) / 2, (H - 1) / 2
    write_png("vignette_ovale_nette.png", W, H,
              lambda x, y: hard(ellipse_distance(x, y, cx, cy, W * 0.42, H * 0.42)))


def round_vignette_hard():
    cx, cy, r = (W - 1) / 2, (H - 1) / 2, H * 0.44
    write_png("vignette_ronde_nette.png", W, H, lambda x, y: hard(math.hypot(x - cx, y - cy) - r))


def rectangle_vignette_soft():
    """Darkened edges, the photo's middle untouched: the classic lens fall-off."""
    def pixel(x, y):
        d = rounded_rect_distance(x, y, 70, 60, W - 71, H - 61, 60)
        return soft(d, 110)
    write_png("vignette_rectangle_douce.png", W, H, pixel)


def rectangle_vignette_hard():
    write_png("vignette_rectangle_nette.png", W, H,
              lambda x, y: hard(rounded_rect_distance(x, y, 28, 28, W - 29, H - 29, 0.5)))


def light_vignette():
    """A gentle fall-off that never reaches the full colour: at most 45 % at the corners."""
    cx, cy = (W - 1) / 2, (H - 1) / 2
    def pixel(x, y):
        d = math.hypot((x - cx) / (W / 2), (y - cy) / (H / 2)) / math.sqrt(2)
        return 255 - 115 * smoothstep(0.45, 1.0, d)
    write_png("vignette_legere.png", W, H, pixel)


def thin_rounded_frame():
    """A narrow border with generously rounded corners and a crisp edge."""
    write_png("cadre_arrondi_fin.png", W, H,
              lambda x, y: hard(rounded_rect_distance(x, y, 16, 16, W - 17, H - 17, 46)))


def bevelled_frame():
    """A wide frame whose inner edge is a bevel: lit from the top left, shaded at the bottom right."""
    outer, bevel = 26, 12
    def pixel(x, y):
        d = rounded_rect_distance(x, y, outer + bevel, outer + bevel,
                                  W - 1 - outer - bevel, H - 1 - outer - bevel, 0.5)
        if d < 0:
            return hard(d)
        if d > bevel:
            return 0
        # Which side of the bevel: compare distances to the four inner edges.
        left, top = x - outer, y - outer
        right, bottom = W - 1 - outer - x, H - 1 - outer - y
        lit = min(left, top) <= min(right, bottom)
        return 150 if lit else 70
    write_png("cadre_biseaute.png", W, H, pixel)


def deckled_paper(seed=11):
    """Hand-made paper: a fine, feathered irregular edge on all four sides."""
    rng = random.Random(seed)
    margin = 22
    edges = [ragged_line(rng, n, 5, 0.8) for n in (W, W, H, H)]
    def pixel(x, y):
        inside = min(y - (margin + edges[0][x]), (H - 1 - margin + edges[1][x]) - y,
                     x - (margin + edges[2][y]), (W - 1 - margin + edges[3][y]) - x)
        return 255 * smoothstep(-1.5, 2.5, inside)
    write_png("bord_frange.png", W, H, pixel)


def wide_torn_paper(seed=23):
    """A sheet torn off roughly: deep tears, a white fibre rim grading into the frame."""
    rng = random.Random(seed)
    margin = 40
    edges = [ragged_line(rng, n, 40, 0.58) for n in (W, W, H, H)]
    fibre = [[rng.random() for _ in range(W)] for _ in range(H)]
    def pixel(x, y):
        inside = min(y - (margin + edges[0][x]), (H - 1 - margin + edges[1][x]) - y,
                     x - (margin + edges[2][y]), (W - 1 - margin + edges[3][y]) - x)
        if inside >= 6:
            return 255
        if inside < -3:
            return 0
        # The torn rim: fibres catch the light unevenly.
        return 120 + 135 * clamp01((inside + 3) / 9) * (0.7 + 0.3 * fibre[y][x])
    write_png("papier_dechire_large.png", W, H, pixel)


def brush_strokes(seed=5):
    """Dry-brush strokes across the photo's edges: a bristly, streaked border."""
    rng = random.Random(seed)
    reach = [40 + rng.uniform(-6, 6) for _ in range(H)]  # stroke length varies row to row
    bristles = [rng.uniform(0.55, 1.0) for _ in range(H)]
    vertical = [34 + rng.uniform(-5, 5) for _ in range(W)]
    vbristles = [rng.uniform(0.55, 1.0) for _ in range(W)]
    wave_top = ragged_line(rng, W, 10, 0.7)
    wave_side = ragged_line(rng, H, 12, 0.7)
    def pixel(x, y):
        dx = min(x, W - 1 - x) - (reach[y] + wave_side[y])
        dy = min(y, H - 1 - y) - (vertical[x] + wave_top[x])
        t = clamp01(0.5 + min(dx * bristles[y], dy * vbristles[x]) / 14)
        return 255 * t
    write_png("coups_de_pinceau.png", W, H, pixel)


def brush_oval(seed=9):
    """An oval painted with a broad brush: streaks follow the curve, the edge frays."""
    rng = random.Random(seed)
    cx, cy = (W - 1) / 2, (H - 1) / 2
    rim = ragged_line(rng, 720, 0.06, 0.75)
    streak = [rng.uniform(0.6, 1.0) for _ in range(64)]
    def pixel(x, y):
        a = math.atan2((y - cy) / H, (x - cx) / W)
        i = int((a + math.pi) / (2 * math.pi) * 719)
        d = math.hypot((x - cx) / (W * 0.44), (y - cy) / (H * 0.44)) - 1 - rim[i]
        s = streak[int(clamp01(min(1.0, abs(d) * 4)) * 63)]
        return 255 * clamp01(0.5 - d * 18 * s)
    write_png("pinceau_ovale.png", W, H, pixel)


def film_strip():
    """A strip of film: dark bands top and bottom with their sprocket holes, thin frame lines."""
    band, hole_w, hole_h, pitch = 44, 16, 20, 32
    def pixel(x, y):
        inside = min(y - band, H - 1 - band - y)
        if inside >= 0:
            # The frame of the picture itself, a little in from the bands.
            return hard(-min(inside - 4, min(x, W - 1 - x) - 10) if inside < 4 or
                        min(x, W - 1 - x) < 10 else -5)
        row_mid = band / 2 if y < H / 2 else H - 1 - band / 2
        px = (x + pitch / 2) % pitch - pitch / 2
        d = rounded_rect_distance(px, y - row_mid, -hole_w / 2, -hole_h / 2, hole_w / 2,
                                  hole_h / 2, 3)
        return hard(d)
    write_png("pellicule.png", W, H, pixel)


def postage_stamp(size=420):
    """A stamp: a perforated edge of half-round bites, a paper margin and a fine line."""
    margin, bite, pitch = 22, 7.5, 21
    inner = margin + 18
    def pixel(x, y):
        edge = rounded_rect_distance(x, y, margin, margin, size - 1 - margin, size - 1 - margin, 0.5)
        # Holes centred on the edge line, one every `pitch` pixels along each side.
        ex = min(max(x, margin), size - 1 - margin)
        ey = min(max(y, margin), size - 1 - margin)
        along = ex if abs(y - margin) < abs(y - (size - 1 - margin)) or True else ey
        on_horizontal = min(abs(y - margin), abs(y - (size - 1 - margin))) < \
            min(abs(x - margin), abs(x - (size - 1 - margin)))
        along = x - margin if on_horizontal else y - margin
        k = round(along / pitch) * pitch + margin
        hx, hy = (k, margin if y < size / 2 else size - 1 - margin) if on_horizontal else \
            (margin if x < size / 2 else size - 1 - margin, k)
        hole = math.hypot(x - hx, y - hy) - bite
        paper = max(edge, -hole)
        value = hard(paper)
        line = abs(rounded_rect_distance(x, y, inner, inner, size - 1 - inner, size - 1 - inner,
                                         0.5))
        if edge < 0:
            value = min(value, 255 - 150 * clamp01(1.2 - line))
        if edge < 0 and rounded_rect_distance(x, y, margin + 6, margin + 6, size - 7 - margin,
                                              size - 7 - margin, 0.5) > 0:
            value = min(value, 200)
        return value
    write_png("timbre_poste.png", size, size, pixel)


def instant_photo():
    """An instant-photo border: even on three sides, a wide strip at the bottom to write on."""
    write_png("photo_instantanee.png", W, H,
              lambda x, y: hard(rounded_rect_distance(x, y, 24, 24, W - 25, H - 81, 1.5)))


def double_line():
    """Two fine dark lines near the edge; the photo shows everywhere else."""
    def pixel(x, y):
        d = rounded_rect_distance(x, y, 0, 0, W - 1, H - 1, 0.5)
        v = 255
        for at, width in ((-14, 3.0), (-24, 1.5)):
            v = min(v, 255 * clamp01((abs(d - at) - width / 2) + 0.5))
        return v
    write_png("double_filet.png", W, H, pixel)


def ornamental_corners():
    """Scrolls in each corner: a quarter circle, a spiral curling in, a leaf, and a thin border."""
    def corner_ink(u, v):
        # u, v: distances from the corner, in pixels.
        ink = 1e9
        # A quarter ring hugging the corner.
        ink = min(ink, abs(math.hypot(u - 14, v - 14) - 46) - 2.2)
        # A spiral: r = a + b * theta, drawn as the distance to the nearest turn.
        sx, sy = u - 58, v - 58
        r, t = math.hypot(sx, sy), math.atan2(sy, sx)
        b = 5.5
        turns = (r - 3 - b * (t % (2 * math.pi))) / (2 * math.pi * b)
        if r < 30:
            ink = min(ink, abs(turns - round(turns)) * 2 * math.pi * b - 1.6)
        # A leaf along the diagonal.
        lx, ly = (u + v) / math.sqrt(2) - 100, (u - v) / math.sqrt(2)
        if abs(lx) < 22:
            ink = min(ink, abs(ly) - 7 * math.cos(lx / 22 * math.pi / 2))
        # Tendrils running along the two edges.
        for a, c in ((u, v), (v, u)):
            if 50 < a < 150:
                ink = min(ink, abs(c - 10 - 4 * math.sin((a - 50) / 100 * math.pi)) - 1.4)
        return ink
    def pixel(x, y):
        u, v = min(x, W - 1 - x), min(y, H - 1 - y)
        border = abs(min(u, v) - 6) - 1.0
        return hard(-min(corner_ink(u, v), border), 0.9) if False else \
            255 - hard(min(corner_ink(u, v), border), 0.9)
    write_png("coins_ornementaux.png", W, H, pixel)


def photo_corners():
    """The paper corners that hold a print in an album, and a soft shadow of the album page."""
    def pixel(x, y):
        u, v = min(x, W - 1 - x), min(y, H - 1 - y)
        page = 255 * smoothstep(0, 14, min(u, v) - 6)
        corner = u + v - 88  # the triangle cut by the corner's diagonal
        return min(page, hard(-corner) if corner > 0 else 60)
    write_png("coins_photo.png", W, H, pixel)


def heart_tile(size=64):
    """A dark heart in a white tile, for "Répéter le masque": two round lobes over a point."""
    c = (size - 1) / 2
    r = size * 0.19

    def inside(px, py):
        u, v = px - c, py - c
        if math.hypot(u + r * 0.95, v + r * 0.55) < r or math.hypot(u - r * 0.95, v + r * 0.55) < r:
            return True
        # The point: below the lobes' centres, between two lines meeting at the bottom.
        tip = r * 2.35
        return -r * 0.55 <= v <= tip and abs(u) <= (tip - v) * (r * 1.9) / (tip + r * 0.55)

    def pixel(x, y):
        hits = sum(inside(x + dx, y + dy) for dx in (-0.25, 0.25) for dy in (-0.25, 0.25))
        return 255 - 255 * hits / 4

    write_png("motif_coeurs.png", size, size, pixel)


def star_tile(size=64):
    """A five-pointed dark star in a white tile."""
    c = (size - 1) / 2
    outer, inner = size * 0.38, size * 0.16
    points = []
    for k in range(10):
        a = -math.pi / 2 + k * math.pi / 5
        r = outer if k % 2 == 0 else inner
        points.append((c + r * math.cos(a), c + r * math.sin(a)))
    def inside(px, py):
        crossings = False
        for i in range(10):
            (x1, y1), (x2, y2) = points[i], points[(i + 1) % 10]
            if (y1 > py) != (y2 > py) and px < x1 + (py - y1) * (x2 - x1) / (y2 - y1):
                crossings = not crossings
        return crossings
    def pixel(x, y):
        # Four samples per pixel smooth the star's edges.
        hits = sum(inside(x + dx, y + dy) for dx in (-0.25, 0.25) for dy in (-0.25, 0.25))
        return 255 - 255 * hits / 4
    write_png("motif_etoiles.png", size, size, pixel)


def dots_tile(size=40):
    """Soft round dots, a polka pattern for "Répéter le masque"."""
    c = (size - 1) / 2
    write_png("motif_pois.png", size, size,
              lambda x, y: 255 - soft(math.hypot(x - c, y - c) - size * 0.22, 3))


GALLERY = [
    round_vignette_soft, oval_vignette_hard, round_vignette_hard, rectangle_vignette_soft,
    rectangle_vignette_hard, light_vignette, thin_rounded_frame, bevelled_frame, deckled_paper,
    wide_torn_paper, brush_strokes, brush_oval, film_strip, postage_stamp, instant_photo,
    double_line, ornamental_corners, photo_corners, heart_tile, star_tile, dots_tile,
]


if __name__ == "__main__":
    import sys
    oval_vignette()
    rounded_frame()
    torn_paper()
    diamond_motif()
    wanted = set(sys.argv[1:])
    for draw in GALLERY:
        if not wanted or draw.__name__ in wanted:
            draw()
