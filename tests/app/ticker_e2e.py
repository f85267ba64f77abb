#!/usr/bin/env python3
"""Starts Tidewire.exe under Wine with no settings file and judges it from outside.

From two screenshots some hundreds of milliseconds apart: the bar lies across the top of the
screen, 25 pixels high, in the tile's colours; the start image, the arrows and the scrolling text
stand where the layout puts them; the text has moved between the frames. After the program has
been closed: app.config holds the feed state ("Url" = the second built-in address, "Reload_Time"
= 5) and none of the keys that only the configuration dialog's OK writes.

Run by ctest in the Windows build, inside scripts/with-wine.sh (DISPLAY and WINEPREFIX set):
    python3 ticker_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
Python standard library only; screenshots through xwd and convert.
"""
import os
import re
import struct
import subprocess
import sys
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (check, parse_args, prepare, running, setup_bar_probe, verdict,  # noqa: E402,F401
                         wait_visible, xdotool)

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BAR_HEIGHT = 25
# Rows of the 3 x 25 tile that have exact colours: the top, the darkest, the three bottom rows.
TILE_ROWS = {0: (0x90, 0xA1, 0xAC), 21: (0x22, 0x2F, 0x37), 22: (0x37, 0x42, 0x49),
             23: (0x36, 0x4D, 0x67), 24: (0x47, 0x60, 0x82)}
TICKER_BACKGROUND = (0x2B, 0x34, 0x40)  # colour value 0x40342B is 0x00BBGGRR
TITLE_COLOR = (0xF2, 0xEC, 0xBF)        # 0xBFECF2
TICKER_TOP, TICKER_HEIGHT = 12, 11
SAVE_SETTINGS_ONLY = {
    "global": {"last_config_page", "max_showing_items", "auto_url_jump", "ticker_font_name",
               "ticker_font_size", "ticker_font_color", "ticker_font_style", "ticker_speed"},
    "default urls": {"disabled"},
    "custom urls": {"disabled"},
}

# ---- pictures -----------------------------------------------------------------------------

class Image:
    def __init__(self, width, height, pixels):
        self.width, self.height, self.pixels = width, height, pixels  # rows of (r, g, b[, a])

    def at(self, x, y):
        return self.pixels[y][x]


def grab():
    """The screen as xwd writes it; quick, so that two grabs can be close together."""
    return subprocess.run(["xwd", "-root", "-silent"], check=True, capture_output=True).stdout


def decode(xwd, path):
    subprocess.run(["convert", "xwd:-", path], input=xwd, check=True)
    return read_ppm(path)


def screenshot(path):
    return decode(grab(), path)


def read_ppm(path, max_rows=40):
    """The top rows of a binary PPM (the bar is all that is judged)."""
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maximum; comments start with '#'
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise ValueError("not an 8-bit binary PPM: %r" % fields)
    width, height = int(fields[1]), int(fields[2])
    rows = []
    for y in range(min(height, max_rows)):
        row = data[pos + y * width * 3: pos + (y + 1) * width * 3]
        rows.append([tuple(row[x * 3: x * 3 + 3]) for x in range(width)])
    return Image(width, len(rows), rows)


def read_png(path):
    """8-bit, non-interlaced PNG of colour type 2 (RGB) or 6 (RGBA) into RGBA rows."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(path + ": not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError(path + ": unsupported PNG layout")
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        previous = line
        px = [tuple(line[x * channels:(x + 1) * channels]) for x in range(width)]
        rows.append([p if channels == 4 else p + (255,) for p in px])
    return Image(width, height, rows)


def close(a, b, tolerance=3):
    return all(abs(p - q) <= tolerance for p, q in zip(a[:3], b[:3]))


def picture_match(shot, picture, left, top, background_column):
    """Share of the picture's pixels that the screen shows at (left, top), each blended over the
    bar's own background of its row (taken from a column where nothing else is drawn)."""
    good = 0
    for y in range(picture.height):
        ground = shot.at(background_column, top + y)
        for x in range(picture.width):
            r, g, b, a = picture.at(x, y)
            expected = tuple((c * a + d * (255 - a) + 127) // 255 for c, d in zip((r, g, b), ground))
            if close(shot.at(left + x, top + y), expected, 4):
                good += 1
    return good / float(picture.width * picture.height)


# ---- the program --------------------------------------------------------------------------

def builtin_default_url(index):
    source = open(os.path.join(ROOT, "src", "config", "AppSettings.cpp"), encoding="utf-8").read()
    block = source[source.index("DefaultFeedUrls{"):]
    block = block[:block.index("};")]
    return re.findall(r'"(http://[^"]*)"', block)[index]


def bar_is_up(shot):
    return all(close(shot.at(x, 0), TILE_ROWS[0]) for x in range(0, shot.width, 7))


def read_config(path):
    raw = open(path, "rb").read()
    if raw.startswith(b"\xff\xfe"):
        text = raw[2:].decode("utf-16-le")
    elif raw.startswith(b"\xef\xbb\xbf"):
        text = raw[3:].decode("utf-8")
    else:
        text = raw.decode("latin-1")
    sections, current = {}, None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and "]" in line:
            current = sections.setdefault(line[1:line.index("]")].strip().lower(), {})
        elif current is not None and "=" in line:
            key, value = line.split("=", 1)
            current[key.strip().lower()] = value.strip()
    return sections


# ---- the checks ---------------------------------------------------------------------------

def check_bar(shot):
    width = shot.width
    for y, colour in TILE_ROWS.items():
        if y in (0, 23, 24):  # rows nothing else covers: the tile across the whole width
            wrong = [x for x in range(width) if not close(shot.at(x, y), colour)]
            check(not wrong, "row %d is the tile's colour #%02X%02X%02X across the width (%d off)"
                  % ((y,) + colour + (len(wrong),)))
        else:
            check(close(shot.at(width - 2, y), colour), "row %d at the right end has the tile's colour" % y)
    column = [shot.at(width - 2, y) for y in range(22)]
    check(all(column[y + 1][c] <= column[y][c] for y in range(21) for c in range(3)),
          "the tile darkens from the top row to row 21")
    below = [x for x in range(width) if close(shot.at(x, BAR_HEIGHT), TILE_ROWS[24])]
    check(len(below) < width // 2, "the bar ends after %d rows (row %d is not the tile)" % (BAR_HEIGHT, BAR_HEIGHT))


def find_prev_arrow(shot, prev):
    best = (0.0, None)
    for left in range(40, 400):
        score = picture_match(shot, prev, left, 4, shot.width - 2)
        if score > best[0]:
            best = (score, left)
    return best


def check_layout(shot):
    width = shot.width
    ground = width - 2
    start = read_png(os.path.join(ROOT, "resources", "start.png"))
    prev = read_png(os.path.join(ROOT, "resources", "prev.png"))
    nxt = read_png(os.path.join(ROOT, "resources", "next.png"))
    score = picture_match(shot, start, 5, 1, ground)
    check(score > 0.95, "the start image stands at (5, 1) (%.0f%% of its pixels)" % (score * 100))
    next_left = width - 16 - 5
    score = picture_match(shot, nxt, next_left, 4, ground)
    check(score > 0.95, "the next arrow stands at (%d, 4), 5 pixels from the right (%.0f%%)" % (next_left, score * 100))
    score, prev_left = find_prev_arrow(shot, prev)
    if not check(score > 0.95, "the previous arrow is found at top 4 (best %.0f%% at x=%s)" % (score * 100, prev_left)):
        return None
    title_ink = [x for x in range(32, prev_left) for y in range(5, 19) if close(shot.at(x, y), TITLE_COLOR, 24)]
    check(bool(title_ink) and min(title_ink) >= 32, "the title is drawn from x=32 in its colour")
    if title_ink:
        gap = prev_left - max(title_ink)
        # The label is as wide as the caption's text extent, which runs a few pixels past the
        # last inked column; the arrow's picture may start with transparent columns.
        check(5 < gap <= 14, "the previous arrow is 5 pixels after the title (ink ends %d before it)" % gap)
    ticker_left, ticker_right = prev_left + 16, next_left  # [left, right)
    for y in range(TICKER_TOP + TICKER_HEIGHT - 3, TICKER_TOP + TICKER_HEIGHT):  # rows under the arrows
        check(close(shot.at(ticker_left, y), TICKER_BACKGROUND) and not close(shot.at(ticker_left - 1, y), TICKER_BACKGROUND),
              "row %d: the scrolling text starts at x=%d, right after the previous arrow" % (y, ticker_left))
        check(close(shot.at(ticker_right - 1, y), TICKER_BACKGROUND) and not close(shot.at(ticker_right, y), TICKER_BACKGROUND),
              "row %d: the scrolling text ends at x=%d, where the next arrow starts" % (y, ticker_right - 1))
    mid = (ticker_left + ticker_right) // 2
    check(not close(shot.at(mid, TICKER_TOP - 1), TICKER_BACKGROUND) and close(shot.at(mid, TICKER_TOP), TICKER_BACKGROUND)
          and close(shot.at(mid, TICKER_TOP + TICKER_HEIGHT - 1), TICKER_BACKGROUND)
          and not close(shot.at(mid, TICKER_TOP + TICKER_HEIGHT), TICKER_BACKGROUND),
          "the scrolling text covers rows %d to %d" % (TICKER_TOP, TICKER_TOP + TICKER_HEIGHT - 1))
    return ticker_left, ticker_right


def ink_columns(shot, left, right):
    return [x for x in range(left, right)
            if any(not close(shot.at(x, y), TICKER_BACKGROUND, 8) for y in range(TICKER_TOP, TICKER_TOP + TICKER_HEIGHT))]


def check_motion(first, second, ticker):
    left, right = ticker[0] + 16, ticker[1] - 16  # away from the faded edges
    ink1, ink2 = ink_columns(first, left, right), ink_columns(second, left, right)
    check(bool(ink1) and bool(ink2), "text is visible in both frames (%d and %d ink columns)" % (len(ink1), len(ink2)))
    if not ink1 or not ink2:
        return
    rows = range(TICKER_TOP, TICKER_TOP + TICKER_HEIGHT)
    best = (0.0, 0)
    for shift in range(1, 200):  # right to left: the second frame is the first moved left
        columns = [x for x in ink1 if left <= x - shift < right]
        if not columns:
            continue
        same = sum(1 for x in columns for y in rows if close(first.at(x, y), second.at(x - shift, y), 8))
        score = same / float(len(columns) * len(rows))
        if score > best[0]:
            best = (score, shift)
    check(best[0] > 0.9, "the text moved %d pixels to the left between the frames (%.0f%% of it matches)"
          % (best[1], best[0] * 100))
    check(ink1 != ink2, "the two frames differ in the ticker")


def check_config(work):
    path = os.path.join(work, "app.config")
    if not check(os.path.exists(path), "app.config was written beside the program"):
        return
    config = read_config(path)
    glob = config.get("global", {})
    expected_url = builtin_default_url(1)
    check(glob.get("url") == expected_url, "Url = the second built-in address (%r)" % glob.get("url"))
    check(glob.get("reload_time") == "5", "Reload_Time = 5 (%r)" % glob.get("reload_time"))
    for section, keys in SAVE_SETTINGS_ONLY.items():
        present = keys & set(config.get(section, {}))
        check(not present, "[%s] holds none of the dialog's keys %s" % (section, sorted(present) or ""))


def close_welcome_balloon(probe):
    """The first run's balloon covers a corner of the bar: a click closes it, as a user would."""
    balloons = wait_visible(probe, "TidewireHintBalloon", lambda w: len(w) > 0, 20)
    if not check(len(balloons) == 1, "the first run shows the welcome balloon"):
        return False
    left, top, right, bottom = balloons[0]
    xdotool("mousemove", (left + right) // 2, (top + bottom) // 2, "click", 1)
    return check(wait_visible(probe, "TidewireHintBalloon", lambda w: not w) == [],
                 "the first run's welcome balloon closes on a click")


def main():
    setup = setup_bar_probe()
    if setup is None:
        return 2
    work, exe, probe = setup
    started = time.time()
    with running(exe) as process:
        deadline = started + 60
        shot = None
        while time.time() < deadline:
            shot = screenshot(os.path.join(work, "wait.ppm"))
            if bar_is_up(shot):
                break
            if process.poll() is not None:
                break
            time.sleep(0.3)
        if not check(shot is not None and bar_is_up(shot), "the bar appeared at the top of the screen"):
            return 1
        print("note  the bar was up %.1f s after the start" % (time.time() - started), flush=True)
        close_welcome_balloon(probe)
        xdotool("mousemove", 600, 500)  # off the bar: the text scrolls on
        time.sleep(2.0)  # let the text come in from the right, past the faded edge
        t1, raw1 = time.time(), grab()
        time.sleep(0.3)
        t2, raw2 = time.time(), grab()
        print("note  frames taken %d ms apart" % round((t2 - t1) * 1000), flush=True)
        first = decode(raw1, os.path.join(work, "first.ppm"))
        second = decode(raw2, os.path.join(work, "second.ppm"))
        check_bar(first)
        ticker = check_layout(first)
        if ticker:
            check_motion(first, second, ticker)
    check_config(work)
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
