#!/usr/bin/env python3
"""The ticker for readers who use no mouse, want no motion or hear it through a screen reader.

An accessibility client (a11y_probe.exe: AccessibleObjectFromWindow, get_accName/get_accValue,
accDoDefaultAction) reads the headline and "N of 3", the arrows' names, and its default action
opens the item (the prefix's browser fetches it from the loopback server). With the bar focused
by its hot key (Ctrl+Alt+T), Space pauses (two grabs of the text's strip 500 ms apart are the same)
and resumes; the bar's menu entry "Pause ticker" does the same; Shift+F10 and a right click on the
scrolling text each open the menu. Closed paused, app.config holds Paused=1, and with the system's
client-area animation switched off by the probe the next start is paused and, once resumed, shows
each headline still (identical grabs) and moves on within its period.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 accessibility_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (Server, a11y, build_a11y_probe, build_probe, check, config_text, requested, running,  # noqa: E402
                         screenshot, setup_bar_probe, verdict, wait_for, wait_visible, write_browser,
                         write_single_feed_config, xdotool)

ITEMS = ["Alpha reads aloud", "Beta stands still", "Gamma waits"]
FEED = ("<rss><channel><title>Reader</title><link>http://127.0.0.1/</link>%s</channel></rss>" % "".join(
    "<item><title>%s</title><link>{base}/item/%d</link></item>" % (t, i) for i, t in enumerate(ITEMS)))
TEXT_POINT = (500, 17)     # on the scrolling text
STRIP = "800x11+120+12"    # the scrolling text's rows, between the arrows
# Without a window manager the X server sends keys to the window under the pointer: keys are typed
# with the pointer on the bar's background (where it holds nothing still).
ON_BAR = (520, 3)
ON_TRAY = (100, 36)        # Wine's stand-alone tray window, another program's, below the bar
STILL_PERIOD = 3.0         # seconds: the shortest still period, which these headlines get
ROLE_TOOLBAR, ROLE_PUSHBUTTON, ROLE_LINK = 22, 43, 30


def grab_strip():
    xwd = subprocess.run(["xwd", "-root", "-silent"], check=True, capture_output=True).stdout
    return subprocess.run(["convert", "xwd:-", "-crop", STRIP, "+repage", "rgb:-"], input=xwd, check=True,
                          capture_output=True).stdout


def stands_still():
    time.sleep(0.3)
    first = grab_strip()
    time.sleep(0.5)
    return grab_strip() == first


def menu_opens(bar_probe, how):
    """Whether a popup menu window shows after `how()`; closes it again."""
    how()
    menus = wait_visible(bar_probe, "#32768", lambda w: len(w) >= 1, 5)
    xdotool("key", "Escape")
    wait_visible(bar_probe, "#32768", lambda w: not w, 5)
    return bool(menus)


def click_first_menu_entry(bar_probe):
    """Opens the bar's menu with a right click on its background and clicks its first entry."""
    xdotool("mousemove", 520, 3, "click", 3)
    menus = wait_visible(bar_probe, "#32768", lambda w: len(w) >= 1, 5)
    if not menus:
        return False
    left, top = menus[0][0], menus[0][1]
    xdotool("mousemove", left + 60, top + 10, "click", 1)
    xdotool("mousemove", *ON_BAR)
    return True


def focus_bar():
    """The hot key, typed over the bar: it gives the bar the focus."""
    xdotool("mousemove", *ON_BAR)
    xdotool("key", "ctrl+alt+t")
    time.sleep(0.5)


def check_reader(probe, server):
    code, rows = a11y(probe, "read")
    check(code == 0 and len(rows) == 6, "the client reads the bar and its five elements: %s" % rows)
    if len(rows) != 6:
        return
    check(rows[0][1:3] == [str(ROLE_TOOLBAR), "Tidewire"], "the bar is the toolbar \"Tidewire\": %s" % rows[0])
    ticker = rows[4]
    position = [i + 1 for i, t in enumerate(ITEMS) if t == ticker[2]]
    check(ticker[1] == str(ROLE_LINK) and position and ticker[3] == "%d of 3" % position[0],
          "the ticker's name is the headline and its value \"N of 3\": %s" % ticker)
    check(rows[3][1:3] == [str(ROLE_PUSHBUTTON), "Previous headline"]
          and rows[5][1:3] == [str(ROLE_PUSHBUTTON), "Next headline"], "the arrows' names: %s %s" % (rows[3], rows[5]))
    check(rows[1][2] == "Feeds" and rows[2][2] == "Reader", "the start button and the title: %s %s" % (rows[1], rows[2]))
    code, _ = a11y(probe, "default", 4)
    check(code == 0 and any(requested(server, "/item/%d" % i, 10 if i == 0 else 1) for i in range(3)),
          "the ticker's default action opened an item")


def main():
    setup = setup_bar_probe()
    if setup is None:
        return 2
    work, exe, bar_probe = setup
    texts_probe = build_probe(work)
    probe = build_a11y_probe(work)
    write_browser(work)
    server = Server({})
    server.start()
    server.routes["/feed.xml"] = FEED.replace("{base}", server.url("")).encode()
    for i in range(3):
        server.routes["/item/%d" % i] = b"<html>item</html>"
    write_single_feed_config(work, server.url("/feed.xml"))
    a11y(probe, "animations", 1)

    with running(exe, server, keep_server=True, label="first run"):
        shown = wait_for(texts_probe, lambda t: any(ITEMS[0] in x for x in t), 20)
        check(shown is not None, "the first headline is shown: %s" % shown)
        check_reader(probe, server)

        focus_bar()
        xdotool("key", "space")
        check(stands_still(), "Space on the bar the hot key focused pauses the text")
        check(a11y(probe, "read")[1][4][3].endswith("paused"), "the ticker's value says it is paused")
        screenshot(os.path.join(work, "paused.png"))  # the paused mark and the focus mark, for a look
        xdotool("key", "space")
        check(not stands_still(), "Space again resumes it")
        check(menu_opens(bar_probe, lambda: xdotool("key", "shift+F10")), "Shift+F10 opens the menu at the bar")
        check(menu_opens(bar_probe, lambda: xdotool("mousemove", *TEXT_POINT, "click", 3)),
              "a right click on the scrolling text opens the menu")

        xdotool("key", "Escape")
        check(wait_visible(bar_probe, "TfrMain", lambda w: not w, 5) == [], "Esc hides the bar")
        xdotool("mousemove", *ON_TRAY)
        xdotool("key", "ctrl+alt+t")
        check(wait_visible(bar_probe, "TfrMain", lambda w: bool(w), 5),
              "the hot key typed into another program's window shows the hidden bar")

        check(click_first_menu_entry(bar_probe) and stands_still(), "the menu's \"Pause ticker\" pauses the text")
        check(click_first_menu_entry(bar_probe) and not stands_still(), "its \"Resume ticker\" resumes it")
        click_first_menu_entry(bar_probe)
    check("Paused=1" in config_text(work), "closed paused, app.config holds Paused=1")

    a11y(probe, "animations", 0)
    with running(exe, server, label="second run"):
        wait_for(texts_probe, lambda t: any(ITEMS[0] in x for x in t), 20)
        time.sleep(0.5)
        check(a11y(probe, "read")[1][4][3] == "1 of 3, paused", "the restart starts paused")
        check(wait_for(texts_probe, lambda t: not any(ITEMS[0] in x for x in t), STILL_PERIOD + 1) is None,
              "paused, the still headline stays beyond its period")
        focus_bar()
        xdotool("key", "space")
        begun = time.time()
        check(stands_still(), "with animations off the headline is shown still")
        moved = wait_for(texts_probe, lambda t: any(ITEMS[1] in x for x in t), STILL_PERIOD + 2)
        check(moved is not None and time.time() - begun <= STILL_PERIOD + 1.5,
              "the next headline comes within its period (%.1f s)" % (time.time() - begun))
    a11y(probe, "animations", 1)
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
