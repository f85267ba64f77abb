#!/usr/bin/env python3
"""A site's address where a feed's belongs, judged from outside.

The ticker pointed at a loopback page whose head links one feed (relatively) ends up loading that
feed and showing its items, and app.config holds the feed's address at exit, as the current
address and in place of the page in the custom list. A page that links only a feed which is a
page again fails as it is, and the ticker does not go round in circles. In the configuration
dialog, with real input, adding the address of a page with two alternate links (one relative)
and a link that is no feed offers the two feeds; OK on the choice adds the first in its place.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 discovery_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from config_e2e import keys, open_dialog  # noqa: E402
from e2e_support import (FAILED_TEXT, Server, build_bar_probe, check, running, screenshot,  # noqa: E402
                         setup_with_probe, verdict, wait_for, wait_visible, window_texts,
                         write_single_feed_config, xdotool)

FEED = (b"<rss version=\"2.0\"><channel><title>Found</title><item><title>Discovered item</title>"
        b"<link>http://127.0.0.1/1</link></item></channel></rss>")


def page(*links, extra=""):
    head = extra + "".join("<link rel=\"alternate\" type=\"application/rss+xml\" title=\"t\" href=\"%s\">" % h for h in links)
    return ("<!DOCTYPE html><html><head><title>Site</title>%s</head><body>Hello</body></html>" % head).encode()


def config_value(work, key):
    with open(os.path.join(work, "app.config"), encoding="utf-8") as f:
        return [line.strip().partition("=")[2] for line in f if line.strip().startswith(key + "=")]


def add_in_dialog(work, server, probe, bars):
    """Adds the two-feed page's address on the custom links page and answers the choice."""
    if not check(open_dialog(bars) is not None, "the configuration dialog opens"):
        return
    keys("Down", "Down", "Tab", "Tab", "space")  # Custom Links, the list, "Add RSS link"
    xdotool("type", "--delay", 30, server.url("/two/"))
    keys("Return")
    shown = window_texts(probe, "Choose a feed", "/two/feed-a.xml")
    time.sleep(1)  # the box is found before Wine has drawn it
    screenshot(os.path.join(work, "dialog-choose-feed.png"))
    offered = [t for t in shown if "127.0.0.1" in t]
    check(len(offered) == 2 and server.url("/two/feed-a.xml") in offered[0] and "/elsewhere/b.xml" in offered[1],
          "the dialog offers both feeds of the page (%s)" % offered)
    keys("Return")   # OK: the first
    time.sleep(1)
    keys("alt+o")
    check(wait_visible(bars, "#32770", lambda w: not w) == [], "OK closes the dialog")


def main():
    setup = setup_with_probe()
    if setup is None:
        return 2
    work, exe, probe = setup
    server = Server({"/site/": page("feed.xml"), "/site/feed.xml": FEED,
                     "/loop/": page("/loop/again/"), "/loop/again/": page("/loop/"),
                     "/two/": page("feed-a.xml", "http://127.0.0.1:%PORT%/elsewhere/b.xml",
                                   extra="<link rel=\"stylesheet\" type=\"text/css\" href=\"s.css\">")})
    server.start()
    two = server.routes["/two/"].replace(b"%PORT%", str(server.port).encode())
    server.routes["/two/"] = two

    write_single_feed_config(work, server.url("/site/"))
    with running(exe, server, label="a page with one feed", keep_server=True):
        check(wait_for(probe, lambda t: any("Discovered item" in x for x in t), 30) is not None,
              "the ticker shows the feed the page links")
    feed = server.url("/site/feed.xml")
    check(config_value(work, "Url") == [feed], "app.config's current address is the feed (%s)" % config_value(work, "Url"))
    check(config_value(work, "Url_0") == [feed], "... and it took the page's place in the custom list")

    write_single_feed_config(work, server.url("/loop/"))
    with running(exe, server, label="pages that link pages", keep_server=True):
        check(wait_for(probe, lambda t: any(FAILED_TEXT in x for x in t), 30) is not None,
              "a feed that is a page again fails as any page does")
        time.sleep(3)
        asked = server.feed_requests()
        check(asked.count("/loop/") == 1 and asked.count("/loop/again/") == 1,
              "each page was asked for once (%s)" % asked)

    write_single_feed_config(work, feed)
    with running(exe, server, label="the dialog"):
        add_in_dialog(work, server, probe, build_bar_probe(work))
        time.sleep(1)
        check(config_value(work, "Url_1") == [server.url("/two/feed-a.xml")],
              "app.config holds the chosen feed in place of the page (%s)" % config_value(work, "Url_1"))
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
