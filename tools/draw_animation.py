#!/usr/bin/env python3
"""Draws the loading animation shown over the start image while a feed loads.

Writes resources/ani_icon.avi: 22 x 22 pixels, 122 frames (the window plays frames 0 to 121),
25 frames a second, 8-bit palettised and uncompressed, which is what the common Animate control
plays (on Windows and under Wine). Eight dots on a ring; a bright head runs round it with a
fading tail, four turns over the 122 frames so the loop closes without a jump. The background is
the control's colour (RGB 3A 46 58), the dots the ticker's text colour (RGB FF F5 E6), so the
picture matches whether or not the control paints its own background.

Standard library only. Usage: tools/draw_animation.py [output.avi]
"""
import math
import os
import struct
import sys

SIZE = 22
FRAMES = 122
FPS = 25
TURNS = 4
DOTS = 8
RING_RADIUS = 7.0
DOT_RADIUS = 2.1
SUPERSAMPLE = 4
BACKGROUND = (0x3A, 0x46, 0x58)
FOREGROUND = (0xFF, 0xF5, 0xE6)


def palette():
    """256 colours from the background (0) to the foreground (255)."""
    out = []
    for i in range(256):
        t = i / 255.0
        out.append(tuple(round(b + (f - b) * t) for b, f in zip(BACKGROUND, FOREGROUND)))
    return out


def dot_brightness(dot, head):
    """1.0 for the head, fading along the tail behind it, a dim floor for the rest."""
    behind = (head - dot) % DOTS
    return max(0.18, 1.0 - behind * 0.22)


def draw_frame(index):
    """One frame as rows of palette indexes, top row first."""
    angle = 2 * math.pi * TURNS * index / FRAMES
    head = (angle / (2 * math.pi) * DOTS) % DOTS
    centre = (SIZE - 1) / 2.0
    dots = []
    for d in range(DOTS):
        a = 2 * math.pi * d / DOTS - math.pi / 2
        # Brightness follows the continuous head position, so motion is smooth between dots.
        frac = head - math.floor(head)
        b = dot_brightness(d, math.floor(head)) * (1 - frac) + dot_brightness(d, math.floor(head) + 1) * frac
        dots.append((centre + RING_RADIUS * math.cos(a), centre + RING_RADIUS * math.sin(a), b))
    rows = []
    step = 1.0 / SUPERSAMPLE
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            level = 0.0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    px = x + (sx + 0.5) * step - 0.5
                    py = y + (sy + 0.5) * step - 0.5
                    best = 0.0
                    for (dx, dy, b) in dots:
                        if (px - dx) ** 2 + (py - dy) ** 2 <= DOT_RADIUS ** 2:
                            best = max(best, b)
                    level += best
            row.append(round(255 * level / SUPERSAMPLE ** 2))
        rows.append(row)
    return rows


def dib_bits(rows):
    """Bottom-up rows, each padded to a multiple of four bytes."""
    stride = (SIZE + 3) & ~3
    out = bytearray()
    for row in reversed(rows):
        out += bytes(row) + b"\0" * (stride - SIZE)
    return bytes(out)


def chunk(fourcc, data):
    pad = b"\0" if len(data) % 2 else b""
    return fourcc + struct.pack("<I", len(data)) + data + pad


def riff_list(kind, fourcc, body):
    return kind + struct.pack("<I", len(body) + 4) + fourcc + body


def build_avi():
    frames = [dib_bits(draw_frame(i)) for i in range(FRAMES)]
    frame_size = len(frames[0])
    pal = palette()

    avih = struct.pack(
        "<IIIIIIIIII4I",
        1000000 // FPS,          # microseconds per frame
        frame_size * FPS,        # max bytes per second
        0,                       # padding granularity
        0x10,                    # AVIF_HASINDEX
        FRAMES,                  # total frames
        0,                       # initial frames
        1,                       # streams
        frame_size,              # suggested buffer size
        SIZE, SIZE,
        0, 0, 0, 0)
    strh = struct.pack(
        "<4s4sIHHIIIIIIIIhhhh",
        b"vids", b"DIB ",
        0,                       # flags
        0, 0,                    # priority, language
        0,                       # initial frames
        1, FPS,                  # scale, rate: FPS frames a second
        0, FRAMES,               # start, length
        frame_size,              # suggested buffer size
        0xFFFFFFFF,              # quality: default
        0,                       # sample size: varies (video)
        0, 0, SIZE, SIZE)        # frame rectangle
    bih = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 8, 0, frame_size, 0, 0, 256, 0)
    strf = bih + b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in pal)

    strl = riff_list(b"LIST", b"strl", chunk(b"strh", strh) + chunk(b"strf", strf))
    hdrl = riff_list(b"LIST", b"hdrl", chunk(b"avih", avih) + strl)

    movi_body = b""
    index = b""
    for bits in frames:
        # Index offsets count from the "movi" type code and point at the chunk header.
        offset = 4 + len(movi_body)
        index += struct.pack("<4sIII", b"00db", 0x10, offset, len(bits))  # AVIIF_KEYFRAME
        movi_body += chunk(b"00db", bits)
    movi = riff_list(b"LIST", b"movi", movi_body)
    idx1 = chunk(b"idx1", index)
    return riff_list(b"RIFF", b"AVI ", hdrl + movi + idx1)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    target = argv[1] if len(argv) > 1 else os.path.join(here, "..", "resources", "ani_icon.avi")
    data = build_avi()
    with open(target, "wb") as f:
        f.write(data)
    print(f"wrote {os.path.normpath(target)}: {len(data)} bytes, {FRAMES} frames of {SIZE}x{SIZE}")


if __name__ == "__main__":
    main(sys.argv)
