#!/usr/bin/env python3
"""Tidewire.exe under Wine reading what users subscribe to, judged from outside.

One loopback address, reloaded after every pass (Auto_Url_Jump=1, one enabled feed), answers in
turn with:
1. an Atom feed whose entries link relatively: both titles reach the ticker's accessible text,
   and a click on the first opens its link made absolute against the feed's address;
2. an RSS feed declared EUC-KR: its Korean title arrives letter for letter;
3. an RSS item with only a permanent-link guid: a click opens the guid's address.
What a click opens is seen at the loopback server: the prefix's browser is a small script that
fetches the address it is given.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 feed_formats_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
Python standard library only.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (FAILED_TEXT, Server, check, requested, running, setup_with_probe,  # noqa: E402
                         verdict, wait_for, write_browser, write_single_feed_config, xdotool)

PATH = "/feed.xml"
TEXT_POINT = (500, 17)  # on the scrolling text
AWAY = (600, 500)       # off the bar: the text scrolls on

ATOM = ("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
        "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title type=\"html\">Atom &amp;amp; Tide</title>"
        "<link href=\"/\"/><id>tag:e2e,2026:feed</id><updated>2026-12-09T08:00:00Z</updated>"
        "<entry><title type=\"html\">Harbour &lt;b&gt;opens&lt;/b&gt; at dawn&amp;#146;s light</title>"
        "<link href=\"posts/first\"/><id>tag:e2e,2026:1</id><updated>2026-12-09T08:00:00Z</updated></entry>"
        "<entry><title>Second entry &#8211; Atom</title><link href=\"posts/second\"/>"
        "<id>tag:e2e,2026:2</id><updated>2026-12-09T07:00:00Z</updated></entry></feed>").encode("utf-8")
ATOM_TITLES = ["1/2    Harbour opens at dawn\u2019s light", "2/2    Second entry \u2013 Atom"]

KOREAN_TITLE = "1/1    항구 소식: 등대가 다시 켜졌다"
EUC_KR = ("<?xml version=\"1.0\" encoding=\"EUC-KR\"?><rss version=\"2.0\"><channel><title>부두</title>"
          "<link>http://127.0.0.1/</link><item><title>항구 소식: 등대가 다시 켜졌다</title>"
          "<link>http://127.0.0.1/k</link></item></channel></rss>").encode("euc-kr")

GUID_ONLY = ("<rss version=\"2.0\"><channel><title>Guid</title><link>http://127.0.0.1/</link>"
             "<item><title>Only a permanent guid</title><guid>%s</guid></item></channel></rss>")


def click_when_shown(probe, text, seconds=40):
    """Clicks the scrolling text while `text` is the current item; whether it was seen."""
    shown = wait_for(probe, lambda t: text in t, seconds)
    if shown is not None:
        xdotool("mousemove", *TEXT_POINT, "click", 1)
        xdotool("mousemove", *AWAY)
    return shown is not None


def main():
    ready = setup_with_probe()
    if ready is None:
        return 2
    work, exe, probe = ready
    write_browser(work)
    server = Server({PATH: ATOM})
    server.start()
    # Loaded again after each pass over its items, so a changed answer shows.
    write_single_feed_config(work, server.url(PATH), ["Auto_Url_Jump=1"])
    seen = set()
    with running(exe, server):
        check(click_when_shown(probe, ATOM_TITLES[0]), "the Atom feed's first title is shown: %r" % ATOM_TITLES[0])
        check(requested(server, "/posts/first", 20), "the click opened the entry's relative link, made absolute")
        check(wait_for(probe, lambda t: ATOM_TITLES[1] in t, 40, seen) is not None,
              "the Atom feed's second title is shown: %r" % ATOM_TITLES[1])

        with server.lock:
            server.routes[PATH] = EUC_KR
        check(wait_for(probe, lambda t: KOREAN_TITLE in t, 60, seen) is not None,
              "the EUC-KR title is shown: %r" % KOREAN_TITLE)

        guid = server.url("/story/guid-only")
        with server.lock:
            server.routes[PATH] = (GUID_ONLY % guid).encode()
        check(click_when_shown(probe, "1/1    Only a permanent guid", 60), "the guid-only item is shown")
        check(requested(server, "/story/guid-only", 20), "the click opened the guid's address %s" % guid)
        check(FAILED_TEXT not in seen, "no failure line was shown")
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
