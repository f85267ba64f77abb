#!/usr/bin/env python3
"""A site's address where a feed's belongs, judged from outside.

The ticker pointed at a loopback page whose head links one feed (relatively) ends up loading that
feed and showing its items, and app.config holds the feed's address at exit, as the current
address and in place of the page in the custom list. A page that links only a feed which is a
page again fails as it is, and the ticker does not go round in circles.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 discovery_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (FAILED_TEXT, Server, check, running, setup_with_probe, verdict, wait_for,  # noqa: E402
                         write_single_feed_config)

FEED = (b"<rss version=\"2.0\"><channel><title>Found</title><item><title>Discovered item</title>"
        b"<link>http://127.0.0.1/1</link></item></channel></rss>")


def page(*links):
    head = "".join("<link rel=\"alternate\" type=\"application/rss+xml\" title=\"t\" href=\"%s\">" % h for h in links)
    return ("<!DOCTYPE html><html><head><title>Site</title>%s</head><body>Hello</body></html>" % head).encode()


def config_value(work, key):
    with open(os.path.join(work, "app.config"), encoding="utf-8") as f:
        return [line.strip().partition("=")[2] for line in f if line.strip().startswith(key + "=")]


def main():
    setup = setup_with_probe()
    if setup is None:
        return 2
    work, exe, probe = setup
    server = Server({"/site/": page("feed.xml"), "/site/feed.xml": FEED,
                     "/loop/": page("/loop/again/"), "/loop/again/": page("/loop/")})
    server.start()

    write_single_feed_config(work, server.url("/site/"))
    with running(exe, server, label="a page with one feed", keep_server=True):
        check(wait_for(probe, lambda t: any("Discovered item" in x for x in t), 30) is not None,
              "the ticker shows the feed the page links")
    feed = server.url("/site/feed.xml")
    check(config_value(work, "Url") == [feed], "app.config's current address is the feed (%s)" % config_value(work, "Url"))
    check(config_value(work, "Url_0") == [feed], "... and it took the page's place in the custom list")

    write_single_feed_config(work, server.url("/loop/"))
    with running(exe, server, label="pages that link pages"):
        check(wait_for(probe, lambda t: any(FAILED_TEXT in x for x in t), 30) is not None,
              "a feed that is a page again fails as any page does")
        time.sleep(3)
        asked = server.feed_requests()
        check(asked.count("/loop/") == 1 and asked.count("/loop/again/") == 1,
              "each page was asked for once (%s)" % asked)
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
