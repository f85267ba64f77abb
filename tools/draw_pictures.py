#!/usr/bin/env python3
"""Draws Tidewire's pictures anew into resources/: the start image, the two arrows, the six
tray-menu icons, the background tile and the application icon. The bar's pictures (start image,
arrows, tile) are drawn a second time at twice the size (name@2x.png) for high-DPI displays.

Standard library only. Shapes are described in unit coordinates (0..1 across the picture) and
rasterised with 8 x 8 supersampling, so one drawing serves every size of the icon.

    python3 tools/draw_pictures.py [OUTPUT_DIR]      (default: resources/ beside tools/)
"""
import math
import os
import struct
import sys
import zlib

SUPER = 8


# ---------------------------------------------------------------- shapes (inside tests)

def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_in, r_out, a0=None, a1=None):
    """Annulus, optionally limited to angles a0..a1 (degrees, 0 = +x, counter-clockwise, y up)."""
    def inside(x, y):
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if not (r_in * r_in <= d2 <= r_out * r_out):
            return False
        if a0 is None:
            return True
        a = math.degrees(math.atan2(cy - y, x - cx)) % 360
        return (a0 <= a <= a1) if a0 <= a1 else (a >= a0 or a <= a1)
    return inside


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            xa, ya = points[i]
            xb, yb = points[(i + 1) % n]
            if (ya > y) != (yb > y) and x < xa + (y - ya) * (xb - xa) / (yb - ya):
                hit = not hit
        return hit
    return inside


def segment(xa, ya, xb, yb, width):
    def inside(x, y):
        dx, dy = xb - xa, yb - ya
        t = max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / (dx * dx + dy * dy)))
        px, py = xa + t * dx, ya + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, cut):
    return lambda x, y: shape(x, y) and not cut(x, y)


def vertical_gradient(top, bottom, y0=0.0, y1=1.0):
    def colour(x, y):
        t = min(1.0, max(0.0, (y - y0) / (y1 - y0)))
        return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
    return colour


# ---------------------------------------------------------------- canvas

class Canvas:
    def __init__(self, size):
        self.w = self.h = size
        self.px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def fill(self, shape, colour, opacity=1.0):
        """Paints `shape` in `colour` (an RGB tuple or a function of (x, y)) over what is there."""
        n = SUPER
        for j in range(self.h):
            for i in range(self.w):
                hits = 0
                for sj in range(n):
                    for si in range(n):
                        if shape((i + (si + 0.5) / n) / self.w, (j + (sj + 0.5) / n) / self.h):
                            hits += 1
                if not hits:
                    continue
                a = opacity * hits / (n * n)
                c = colour((i + 0.5) / self.w, (j + 0.5) / self.h) if callable(colour) else colour
                self.px[j][i] = over(self.px[j][i], c, a)

    def rows(self):
        return self.px


def over(dst, rgb, a):
    dr, dg, db, da = dst
    da /= 255.0
    out_a = a + da * (1 - a)
    if out_a <= 0:
        return (0, 0, 0, 0)
    mix = lambda s, d: round((s * a + d * da * (1 - a)) / out_a)
    return (mix(rgb[0], dr), mix(rgb[1], dg), mix(rgb[2], db), round(out_a * 255))


# ---------------------------------------------------------------- encoders

def png_bytes(rows):
    h = len(rows)
    w = len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def ico_bytes(images):
    """An icon file of 32-bit DIB entries (colour with alpha, plus an all-clear AND mask)."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for rows in images:
        size = len(rows)
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        pixels = bytearray()
        for row in reversed(rows):
            for r, g, b, a in row:
                pixels += bytes((b, g, r, a))
        mask_stride = ((size + 31) // 32) * 4
        blob = header + bytes(pixels) + bytes(mask_stride * size)
        entries.append(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


# ---------------------------------------------------------------- the pictures

ORANGE_TOP, ORANGE_BOTTOM = (0xFB, 0xA5, 0x3C), (0xE0, 0x6A, 0x10)
WHITE = (0xFF, 0xFF, 0xFF)
ARROW_TOP, ARROW_BOTTOM = (0xE6, 0xF5, 0xFF), (0x9C, 0xC4, 0xE4)
DARK = (0x22, 0x2F, 0x37)


def feed_symbol(c, x0, y0, s, colour):
    """The feed sign: a dot in the lower-left corner and two quarter rings around it."""
    cx, cy = x0 + 0.16 * s, y0 + 0.84 * s
    c.fill(circle(cx, cy, 0.12 * s), colour)
    c.fill(ring(cx, cy, 0.36 * s, 0.52 * s, 0, 90), colour)
    c.fill(ring(cx, cy, 0.68 * s, 0.84 * s, 0, 90), colour)


def draw_start(size=22):
    c = Canvas(size)
    c.fill(rounded_rect(0.03, 0.03, 0.97, 0.97, 0.2), (0x8A, 0x3C, 0x00))
    c.fill(rounded_rect(0.07, 0.07, 0.93, 0.93, 0.17), vertical_gradient(ORANGE_TOP, ORANGE_BOTTOM))
    feed_symbol(c, 0.22, 0.2, 0.58, WHITE)
    return c.rows()


def draw_arrow(pointing_left, size=16):
    c = Canvas(size)
    if pointing_left:
        tip = [(0.12, 0.5), (0.78, 0.1), (0.78, 0.9)]
    else:
        tip = [(0.88, 0.5), (0.22, 0.1), (0.22, 0.9)]
    shadow = [(x + 0.05, y + 0.06) for x, y in tip]
    c.fill(polygon(shadow), (0, 0, 0), 0.45)
    c.fill(polygon(tip), vertical_gradient(ARROW_TOP, ARROW_BOTTOM, 0.1, 0.9))
    return c.rows()


def draw_tray_feeds(size=16):       # 0: "RSS Feeds"
    c = Canvas(size)
    c.fill(rounded_rect(0.02, 0.02, 0.98, 0.98, 0.18), vertical_gradient(ORANGE_TOP, ORANGE_BOTTOM))
    feed_symbol(c, 0.16, 0.14, 0.7, WHITE)
    return c.rows()


def draw_tray_configuration(size=16):   # 1: "Configuration..."
    c = Canvas(size)
    teeth = []
    for k in range(8):
        a = math.radians(k * 45)
        teeth.append(segment(0.5 + 0.28 * math.cos(a), 0.5 + 0.28 * math.sin(a),
                             0.5 + 0.44 * math.cos(a), 0.5 + 0.44 * math.sin(a), 0.17))
    gear = minus(union(circle(0.5, 0.5, 0.32), *teeth), circle(0.5, 0.5, 0.12))
    c.fill(gear, vertical_gradient((0xB8, 0xC4, 0xCE), (0x5A, 0x68, 0x74)))
    return c.rows()


def draw_tray_about(size=16):       # 2: "About..."
    c = Canvas(size)
    c.fill(circle(0.5, 0.5, 0.47), vertical_gradient((0x5A, 0x9C, 0xE6), (0x1E, 0x50, 0xA0)))
    c.fill(circle(0.5, 0.27, 0.08), WHITE)
    c.fill(rounded_rect(0.42, 0.41, 0.58, 0.8, 0.04), WHITE)
    return c.rows()


def draw_tray_help(size=16):        # 3: "Help"
    c = Canvas(size)
    c.fill(circle(0.5, 0.5, 0.47), vertical_gradient((0x6C, 0xC0, 0x6C), (0x22, 0x78, 0x30)))
    c.fill(ring(0.5, 0.38, 0.1, 0.22, 300, 180), WHITE)
    c.fill(segment(0.6, 0.5, 0.5, 0.58, 0.12), WHITE)
    c.fill(segment(0.5, 0.56, 0.5, 0.64, 0.12), WHITE)
    c.fill(circle(0.5, 0.79, 0.075), WHITE)
    return c.rows()


def draw_tray_close(size=16):       # 4: "Close"
    c = Canvas(size)
    c.fill(circle(0.5, 0.5, 0.47), vertical_gradient((0xF0, 0x60, 0x50), (0xA8, 0x18, 0x10)))
    c.fill(segment(0.31, 0.31, 0.69, 0.69, 0.15), WHITE)
    c.fill(segment(0.69, 0.31, 0.31, 0.69, 0.15), WHITE)
    return c.rows()


def draw_tray_hide_show(size=16):   # 5: "Hide ticker" / "Show ticker": a bar across a screen
    c = Canvas(size)
    c.fill(rounded_rect(0.04, 0.12, 0.96, 0.84, 0.08), (0x4A, 0x58, 0x62))
    c.fill(rounded_rect(0.1, 0.18, 0.9, 0.78, 0.03), vertical_gradient((0xDC, 0xEC, 0xF8), (0xA8, 0xC8, 0xE4)))
    c.fill(rounded_rect(0.1, 0.18, 0.9, 0.36, 0.03), vertical_gradient((0x90, 0xA1, 0xAC), DARK, 0.18, 0.36))
    c.fill(rounded_rect(0.36, 0.84, 0.64, 0.94, 0.02), (0x4A, 0x58, 0x62))
    return c.rows()


def tile_rows(scale=1):
    """3 x 25 at scale 1: a gradient from RGB 0x90A1AC (row 0) to 0x222F37 (row 21), then three
    rows. At scale 2 (6 x 50) the gradient runs over 44 rows and each bottom row is 2 rows high."""
    top, bottom = (0x90, 0xA1, 0xAC), (0x22, 0x2F, 0x37)
    width, steps = 3 * scale, 22 * scale
    rows = []
    for y in range(steps):
        rgb = tuple(round(a + (b - a) * y / (steps - 1)) for a, b in zip(top, bottom))
        rows.append([rgb + (255,)] * width)
    for rgb in ((0x37, 0x42, 0x49), (0x36, 0x4D, 0x67), (0x47, 0x60, 0x82)):
        rows.extend([[rgb + (255,)] * width for _ in range(scale)])
    return rows


def draw_app_icon(size):
    c = Canvas(size)
    c.fill(rounded_rect(0.03, 0.03, 0.97, 0.97, 0.18), vertical_gradient((0x90, 0xA1, 0xAC), DARK))
    # a band of the bar with its scrolling line, and the feed sign above it
    c.fill(rounded_rect(0.1, 0.62, 0.9, 0.84, 0.04), (0x2B, 0x34, 0x40))
    for k in range(3):
        c.fill(rounded_rect(0.16 + k * 0.24, 0.7, 0.32 + k * 0.24, 0.76, 0.02), (0xFF, 0xF5, 0xE6))
    feed_symbol(c, 0.2, 0.1, 0.48, ORANGE_TOP)
    return c.rows()


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources")
    os.makedirs(out, exist_ok=True)
    pictures = {
        "start.png": draw_start(),
        "prev.png": draw_arrow(True),
        "next.png": draw_arrow(False),
        "tray0.png": draw_tray_feeds(),
        "tray1.png": draw_tray_configuration(),
        "tray2.png": draw_tray_about(),
        "tray3.png": draw_tray_help(),
        "tray4.png": draw_tray_close(),
        "tray5.png": draw_tray_hide_show(),
        "tile.png": tile_rows(),
        "start@2x.png": draw_start(44),
        "prev@2x.png": draw_arrow(True, 32),
        "next@2x.png": draw_arrow(False, 32),
        "tile@2x.png": tile_rows(2),
    }
    for name, rows in pictures.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(png_bytes(rows))
    with open(os.path.join(out, "Tidewire.ico"), "wb") as f:
        f.write(ico_bytes([draw_app_icon(s) for s in (16, 32, 48)]))
    print("drew", len(pictures), "pictures and Tidewire.ico into", os.path.normpath(out))


if __name__ == "__main__":
    main()
