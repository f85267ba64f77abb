#!/usr/bin/env python3
"""The docking story, judged from outside: Tidewire.exe docks as an application desktop bar.

The bar registers with the shell and docks at the top, 25 pixels high, reserving its strip (a
second program asking the shell for the top edge is placed below it). A real mouse drag from an
empty spot of the bar takes it to the bottom and then into the middle of the screen, where it
floats; a double-click there docks it again at its last edge and the next one floats it. A second
bar docked by another program stacks below the ticker, which stays in place. A change of the
display's colour depth leaves the bar docked and drawn. Once the program has closed, the top
strip is free again (no registration is left behind).

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 docking_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (WINE, Server, check, probe_lines, running, screenshot, setup_bar_probe,  # noqa: E402
                         verdict, write_single_feed_config, xdotool)

SCREEN_W, SCREEN_H = 1024, 768
BAR_H = 25
EMPTY_X, EMPTY_Y = 520, 3  # above the scrolling text: the bar's background


def bar_rect(probe):
    lines = probe_lines(probe, "rect")
    return lines[0] if lines else None


def wait_rect(probe, predicate, seconds=10):
    deadline = time.time() + seconds
    rect = None
    while time.time() < deadline:
        rect = bar_rect(probe)
        if rect and predicate(rect):
            return rect
        time.sleep(0.3)
    return rect


def drag(from_xy, to_xy):
    """Presses on the bar, moves the mouse in steps (so the move loop sees it travel) and lets go."""
    xdotool("mousemove", *from_xy)
    time.sleep(0.2)
    xdotool("mousedown", 1)
    time.sleep(0.3)
    steps = 8
    for i in range(1, steps + 1):
        x = from_xy[0] + (to_xy[0] - from_xy[0]) * i // steps
        y = from_xy[1] + (to_xy[1] - from_xy[1]) * i // steps
        xdotool("mousemove", x, y)
        time.sleep(0.1)
    time.sleep(0.3)
    xdotool("mouseup", 1)


def double_click(xy):
    xdotool("mousemove", *xy)
    time.sleep(0.2)
    xdotool("click", "--repeat", 2, "--delay", 80, 1)


def main():
    setup = setup_bar_probe()
    if setup is None:
        return 2
    work, exe, probe = setup
    check(probe_lines(probe, "query", 1)[:1] == [(0, 0, SCREEN_W, 30)], "before the ticker, the top strip is free")

    server = Server({"/feed.xml": b"<rss><channel><title>Dock</title><item><title>Docked item</title>"
                                  b"<link>http://example.com/</link></item></channel></rss>"})
    server.start()
    write_single_feed_config(work, server.url("/feed.xml"))
    with running(exe, server) as process:
        top = wait_rect(probe, lambda r: r == (0, 0, SCREEN_W, BAR_H))
        check(top == (0, 0, SCREEN_W, BAR_H), "docked at the top, full width, 25 high: %s" % (top,))
        screenshot(os.path.join(work, "docked-top.png"))
        below = probe_lines(probe, "query", 1)
        check(below[:1] and below[0][1] == BAR_H, "another bar asking for the top is placed below: %s" % below)

        drag((EMPTY_X, EMPTY_Y), (EMPTY_X, SCREEN_H - 5))
        bottom = wait_rect(probe, lambda r: r[1] == SCREEN_H - BAR_H)
        check(bottom == (0, SCREEN_H - BAR_H, SCREEN_W, SCREEN_H), "dragged to the bottom: %s" % (bottom,))
        screenshot(os.path.join(work, "docked-bottom.png"))

        drag((EMPTY_X, SCREEN_H - BAR_H + EMPTY_Y), (EMPTY_X, SCREEN_H // 2))
        floating = wait_rect(probe, lambda r: 0 < r[1] < SCREEN_H - BAR_H)
        check(floating is not None and 0 < floating[1] < SCREEN_H - BAR_H, "dragged to the middle, it floats: %s"
              % (floating,))
        screenshot(os.path.join(work, "floating.png"))

        if floating:
            double_click((floating[0] + EMPTY_X, floating[1] + EMPTY_Y))
            docked = wait_rect(probe, lambda r: r[1] in (0, SCREEN_H - BAR_H))
            check(docked == bottom, "a double-click docks it at its last edge: %s" % (docked,))
            double_click((EMPTY_X, SCREEN_H - BAR_H + EMPTY_Y))
            again = wait_rect(probe, lambda r: r == floating)
            check(again == floating, "the next double-click floats it where it was: %s" % (again,))

        drag((again[0] + EMPTY_X, again[1] + EMPTY_Y) if again else (EMPTY_X, SCREEN_H // 2),
             (EMPTY_X, 5))
        wait_rect(probe, lambda r: r == (0, 0, SCREEN_W, BAR_H))
        stacked = probe_lines(probe, "stack", 2)
        check(len(stacked) == 2 and stacked[0][1] == BAR_H and stacked[1] == (0, 0, SCREEN_W, BAR_H),
              "a second docked bar stacks below the ticker, which stays: %s" % stacked)

        check(subprocess.run([WINE, probe, "depth", "16"], capture_output=True, timeout=60).returncode == 0,
              "the colour depth switches to 16 bits")
        time.sleep(1)
        subprocess.run([WINE, probe, "depth", "24"], capture_output=True, timeout=60)
        after = wait_rect(probe, lambda r: r == (0, 0, SCREEN_W, BAR_H))
        check(after == (0, 0, SCREEN_W, BAR_H) and process.poll() is None,
              "after two display changes the bar still runs, docked at the top: %s" % (after,))
    free = probe_lines(probe, "query", 1)
    check(free[:1] == [(0, 0, SCREEN_W, 30)], "after closing, the top strip is free again: %s" % free)
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
