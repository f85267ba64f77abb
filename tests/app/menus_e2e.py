#!/usr/bin/env python3
"""The mouse story of the bar's menus, judged from outside with real input.

First run (no app.config): once the first load has finished, the welcome balloon points at the
start image, exactly once, and a click closes it. A right click on the tray icon and one on the
bar's background each open the tray menu (drawn with its side bar), below the bar. From the
keyboard, Down, Down and Enter run "Hide ticker"; a double-click on the tray icon shows the bar again;
Up and Enter run "Close", which ends the program and writes app.config.

Second run (app.config with two custom feeds on a local server): no balloon; a click on the start
image opens the Quick Start Menu below the bar, and Down, Down, Enter (skipping the separator that
heads the custom feeds) choose the second custom feed, which the server is then asked for.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 menus_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (Server, check, screenshot, setup_bar_probe, start, stop, verdict,  # noqa: E402
                         visible, wait_visible, xdotool)

TRAY_ICON = (12, 31)      # the first icon of the plain tray window Wine shows without a desktop
BACKGROUND = (520, 3)     # above the scrolling text
START_IMAGE = (16, 12)
BAR_H = 25
FEED = (b"<rss><channel><title>Menus</title><item><title>One</title><link>http://example.com/1</link>"
        b"</item></channel></rss>")


def open_menu(probe, how):
    how()
    return wait_visible(probe, "#32768", lambda w: len(w) >= 1)


def right_click(xy):
    return lambda: xdotool("mousemove", *xy, "click", 3)


def pixel(path, x, y):
    """(r, g, b) of one pixel of a screenshot."""
    out = subprocess.run(["convert", path, "-format", "%%[hex:u.p{%d,%d}]" % (x, y), "info:"],
                         check=True, capture_output=True, text=True).stdout.strip()
    return tuple(int(out[i:i + 2], 16) for i in (0, 2, 4))


def write_config(work, server):
    lines = ["[Global]", "Url=" + server.url("/a.xml"), "Reload_Time=0", "First_Run=0",
             "[Default Urls]", "Disabled=" + ",".join(str(n) for n in range(1, 14)),
             "[Custom Urls]", "Disabled=", "Url_0=" + server.url("/a.xml"), "Url_1=" + server.url("/b.xml")]
    with open(os.path.join(work, "app.config"), "w", encoding="ascii", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def first_run(work, exe, probe, server):
    process = start(exe, server)
    try:
        balloons = wait_visible(probe, "TidewireHintBalloon", lambda w: len(w) >= 1, 40)
        check(len(balloons) == 1 and balloons[0][0] < 60 and balloons[0][1] < 200,
              "the welcome balloon points at the start image: %s" % balloons)
        screenshot(os.path.join(work, "balloon.png"))
        if balloons:
            left, top, right, bottom = balloons[0]
            xdotool("mousemove", (left + right) // 2, (top + bottom) // 2, "click", 1)
        check(wait_visible(probe, "TidewireHintBalloon", lambda w: not w) == [], "a click closes the balloon")

        menus = open_menu(probe, right_click(TRAY_ICON))
        check(len(menus) == 1, "a right click on the tray icon opens the tray menu: %s" % menus)
        screenshot(os.path.join(work, "tray-menu.png"))
        xdotool("key", "Escape")
        wait_visible(probe, "#32768", lambda w: not w)

        menus = open_menu(probe, right_click(BACKGROUND))
        check(len(menus) == 1 and menus[0][1] >= BAR_H,
              "a right click on the bar opens the tray menu below the bar: %s" % menus)
        xdotool("key", "Down", "Down", "Return")
        hidden = wait_visible(probe, "TfrMain", lambda w: not w)
        check(hidden == [], "Down, Down and Enter run \"Hide ticker\" (after \"Pause ticker\"): the bar is hidden")

        xdotool("mousemove", *TRAY_ICON, "click", "--repeat", 2, "--delay", 120, 1)
        shown = wait_visible(probe, "TfrMain", lambda w: len(w) == 1)
        check(len(shown) == 1, "a double-click on the tray icon shows the bar again")

        open_menu(probe, right_click(BACKGROUND))
        xdotool("key", "Up", "Return")
        deadline = time.time() + 20
        while process.poll() is None and time.time() < deadline:
            time.sleep(0.3)
        check(process.poll() == 0, "Up and Enter run \"Close\": the program ends (%s)" % process.poll())
    finally:
        if process.poll() is None:
            stop(process)
    check(os.path.exists(os.path.join(work, "app.config")), "closing wrote app.config")


def second_run(work, exe, probe, server):
    write_config(work, server)
    process = start(exe, server)
    try:
        deadline = time.time() + 20
        while not server.feed_requests() and time.time() < deadline:
            time.sleep(0.3)
        time.sleep(1)
        check(visible(probe, "TidewireHintBalloon") == [], "no balloon once app.config exists")
        menus = open_menu(probe, lambda: xdotool("mousemove", *START_IMAGE, "click", 1))
        check(len(menus) == 1 and menus[0][1] >= BAR_H,
              "the start image opens the Quick Start Menu below the bar: %s" % menus)
        time.sleep(1.5)  # longer than the start image's hint delay: no hint may come up over the menu
        shot = os.path.join(work, "quick-start-menu.png")
        screenshot(shot)
        if menus:
            left, top, bottom = menus[0][0], menus[0][1], menus[0][3]
            bar, caption = pixel(shot, left + 5, top + 10), pixel(shot, left + 40, top + 6)
            check(bar[2] > bar[0] > 0x50 and len(set(caption)) == 1 and 0x80 <= caption[0] <= 0xC0,
                  "the first row shows the side bar and the \"Custom RSS Links\" caption's gray: %s %s"
                  % (bar, caption))
            # Wine leaves blank rows inside the menu's frame line above and below the entries.
            ends = [pixel(shot, left + 5, y) for y in (top + 1, bottom - 2)]
            check(ends == [bar, bar], "the side bar runs from the frame's top to its bottom: %s" % ends)
        since = time.time()
        xdotool("key", "Down", "Down", "Return")
        deadline = time.time() + 15
        while "/b.xml" not in server.feed_requests(since) and time.time() < deadline:
            time.sleep(0.3)
        check("/b.xml" in server.feed_requests(since), "choosing the second custom feed loads it: %s"
              % server.feed_requests(since))
    finally:
        stop(process)


def main():
    setup = setup_bar_probe()
    if setup is None:
        return 2
    work, exe, probe = setup
    server = Server({"/a.xml": FEED, "/b.xml": FEED})
    server.start()
    try:
        first_run(work, exe, probe, server)
        second_run(work, exe, probe, server)
    finally:
        server.stop()
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
