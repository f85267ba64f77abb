#!/usr/bin/env python3
"""The ticker waits for its reader, judged from outside with real input.

While the pointer rests on the scrolling text, two grabs of the text's strip 500 ms apart are the
same; once it leaves, the text moves again. With the bar active (a click on its background), Right
steps to the next item, Left back, and Esc hides the bar.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 ticker_hover_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (Server, build_probe, check, setup_bar_probe, start, stop, verdict,  # noqa: E402
                         wait_for, wait_visible, write_single_feed_config, xdotool)

ITEMS = ["Alpha waits for you", "Beta waits too", "Gamma closes"]
FEED = ("<rss><channel><title>Hover</title><link>http://127.0.0.1/</link>%s</channel></rss>" % "".join(
    "<item><title>%s</title><link>http://127.0.0.1/%d</link></item>" % (t, i) for i, t in enumerate(ITEMS))
    ).encode()
TEXT_POINT = (500, 17)       # on the scrolling text
STRIP = "800x11+120+12"      # the scrolling text's rows, between the arrows
BACKGROUND = (520, 3)


def grab_strip():
    xwd = subprocess.run(["xwd", "-root", "-silent"], check=True, capture_output=True).stdout
    return subprocess.run(["convert", "xwd:-", "-crop", STRIP, "+repage", "rgb:-"], input=xwd, check=True,
                          capture_output=True).stdout


def main():
    setup = setup_bar_probe()
    if setup is None:
        return 2
    work, exe, probe = setup
    texts_probe = build_probe(work)
    server = Server({"/feed.xml": FEED})
    server.start()
    write_single_feed_config(work, server.url("/feed.xml"))
    process = start(exe, server)
    try:
        shown = wait_for(texts_probe, lambda t: any(ITEMS[0] in x for x in t), 20)
        check(shown is not None, "the first item scrolls: %s" % shown)

        xdotool("mousemove", *TEXT_POINT)
        time.sleep(0.5)
        first = grab_strip()
        time.sleep(0.5)
        check(grab_strip() == first, "with the pointer on the text, two grabs 500 ms apart are the same")
        xdotool("mousemove", 600, 500)
        time.sleep(0.5)
        first = grab_strip()
        time.sleep(0.5)
        check(grab_strip() != first, "once the pointer has left, the text moves again")

        xdotool("mousemove", *BACKGROUND, "click", 1)
        time.sleep(0.5)
        xdotool("key", "Right")
        check(wait_for(texts_probe, lambda t: any("2/3" in x and ITEMS[1] in x for x in t), 10) is not None,
              "Right steps to the next item")
        xdotool("key", "Left")
        check(wait_for(texts_probe, lambda t: any("1/3" in x and ITEMS[0] in x for x in t), 10) is not None,
              "Left steps back")
        xdotool("key", "Escape")
        check(wait_visible(probe, "TfrMain", lambda w: not w) == [], "Esc hides the bar")
    finally:
        stop(process)
        server.stop()
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
