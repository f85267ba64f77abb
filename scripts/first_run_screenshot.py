#!/usr/bin/env python3
"""first_run_screenshot.py PNG PROBE_SOURCE WORK
The screenshot scripts/run takes on a virtual display, once the bar is worth looking at: Wine's
stand-alone tray window (which opens over the bar's left end) moved into the screen's bottom-right
corner, the first run's welcome balloon read and clicked away (under Wine the part of its window
its region leaves out is drawn black, over the bar's bottom rows), and a headline scrolled whole
into the ticker. Runs inside scripts/with-wine.sh while Tidewire.exe starts; prints what the
screenshot shows.
"""
import collections
import os
import subprocess
import sys
import time

WINE = "/usr/lib/wine/wine64"
TRAY_TITLE = "Wine System Tray"
FADE = 16         # the ticker's edge fade, and a pixel more
RIGHT_GAP = 40    # blank columns at the right end: more than any gap inside a line
GLYPH_DIFF = 150  # a glyph pixel differs this much (sum of channels) from the ground


def probe(exe, *args):
    try:
        run = subprocess.run([WINE, exe] + list(args), capture_output=True, text=True, timeout=30)
    except subprocess.TimeoutExpired:
        return None
    return run.stdout.split() if run.returncode == 0 else None


def build_probe(source, work):
    exe = os.path.join(work, "bar_probe.exe")
    if not os.path.exists(exe) or os.path.getmtime(exe) < os.path.getmtime(source):
        subprocess.run(["x86_64-w64-mingw32-g++-posix", "-std=c++20", "-O1", "-static", "-municode", "-o", exe,
                        source], check=True)
    return exe


def grab():
    return subprocess.run(["xwd", "-root", "-silent"], check=True, capture_output=True).stdout


def glyph_columns(shot, rect):
    """The columns of the ticker's rectangle that hold glyph pixels, relative to its left."""
    left, top, right, bottom = rect
    w, h = right - left, bottom - top
    raw = subprocess.run(["convert", "xwd:-", "-crop", "%dx%d+%d+%d" % (w, h, left, top), "-depth", "8", "rgb:-"],
                         input=shot, check=True, capture_output=True).stdout
    if len(raw) < w * h * 3:
        return set()
    pixels = [raw[i:i + 3] for i in range(0, w * h * 3, 3)]
    ground = collections.Counter(pixels).most_common(1)[0][0]
    return {i % w for i, p in enumerate(pixels) if sum(abs(a - b) for a, b in zip(p, ground)) > GLYPH_DIFF}


def headline_in_view(columns, width):
    return bool(columns) and min(columns) >= FADE and max(columns) < width - RIGHT_GAP


def close_welcome_balloon(exe):
    """Clicks the welcome balloon away once it shows (a first run only); whether it did."""
    deadline = time.time() + 8
    while time.time() < deadline:
        shown = [line for line in probe(exe, "windows", "TidewireHintBalloon") or [] if line]
        if len(shown) >= 5 and shown[0] == "1":
            left, top, right, bottom = (int(v) for v in shown[1:5])
            time.sleep(2)  # long enough to be read
            subprocess.run(["xdotool", "mousemove", str((left + right) // 2), str(bottom - 10), "click", "1"], check=True)
            time.sleep(1)
            return True
        time.sleep(0.5)
    return False


def main():
    png, source, work = sys.argv[1:4]
    exe = build_probe(source, work)
    deadline = time.time() + 20
    moved = False
    while not moved and time.time() < deadline:
        moved = probe(exe, "corner", TRAY_TITLE) is not None
        if not moved:
            time.sleep(0.5)
    balloon = close_welcome_balloon(exe)
    rect = None
    while rect is None and time.time() < deadline + 10:
        found = probe(exe, "ticker")
        rect = tuple(int(v) for v in found) if found and len(found) == 4 else None
        if rect is None:
            time.sleep(0.5)
    shot = grab()
    whole = False
    if rect:
        # The text enters from the right; once its tail is in, blank columns follow it there.
        deadline = time.time() + 90
        while time.time() < deadline:
            shot = grab()
            if headline_in_view(glyph_columns(shot, rect), rect[2] - rect[0]):
                whole = True
                break
            time.sleep(0.25)
    subprocess.run(["convert", "xwd:-", png], input=shot, check=True)
    tray = "moved to the bottom-right corner" if moved else "not found, so not moved"
    print("screenshot: the bar docked at the top, a headline %s; Wine's tray window %s%s"
          % ("whole in the ticker" if whole else "not yet whole in the ticker (none came in time)", tray,
             "; the welcome balloon clicked away" if balloon else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
