#!/usr/bin/env python3
"""Tidewire.exe under Wine fed hostile feeds by a loopback server, judged from outside.

For each feed the program starts with app.config pointing at it (one custom link, the built-in
links disabled). It must stay alive and answer, show the failure line for what is not a feed and
the first item for a feed it can read, close normally on WM_CLOSE, and leave the user's custom
link in app.config. The ticker line is read the way a screen reader reads it (see
feed_rotation_e2e.py).

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 hostile_feeds_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
Python standard library only.
"""
import os
import random
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (FAILED_TEXT, Server, check, running, setup_with_probe,  # noqa: E402
                         ticker_texts, verdict, wait_for, write_single_feed_config)


def rss(title, items):
    body = "".join("<item><title>%s</title><link>http://127.0.0.1/i/%d</link>"
                   "<description>%s</description></item>" % (t, n, d) for n, (t, d) in enumerate(items))
    return ("<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>%s</title>"
            "<link>http://127.0.0.1/</link><description>d</description>%s</channel></rss>"
            % (title, body)).encode("utf-8")


def big_feed(size):
    words = "harbour tide ferry storm council market quay lighthouse weather pilot".split()
    r = random.Random(7)
    items, total, n = [], 0, 0
    while total < size:
        desc = " ".join(r.choice(words) for _ in range(60))
        items.append(("Big item %d" % n, desc))
        total += len(desc) + 80
        n += 1
    return rss("Big", items)


GARBAGE = bytes(random.Random(1).getrandbits(8) for _ in range(65536))
READABLE = rss("Readable", [("Readable first", "d")])

# name -> (body, what the ticker must show: "failed" or the first item's title)
CASES = {
    "garbage": (GARBAGE, "failed"),
    "empty": (b"", "failed"),
    "deep": (b"<?xml version=\"1.0\"?><rss><channel>" + b"<a>" * 100000, "failed"),
    # A root of no format the ticker reads (Atom needs its namespace): not a feed, the failure line.
    "foreign root": (b"<?xml version=\"1.0\"?><feed><title>A</title>"
                     b"<entry><title>Foreign entry</title></entry></feed>", "failed"),
    "truncated": (READABLE[:len(READABLE) // 2], "failed"),
    # References to characters that cannot exist make the document ill-formed: the failure line.
    "bad references": (rss("Refs", [("Refs&#0;one&#xD800;&#65535;&#x110000;&#99999999999;", "d")]), "failed"),
    "long title": (rss("Long", [("W" * 100000, "d"), ("second", "d")]), "WWWW"),
    "big": (big_feed(5 * 1000 * 1000), "Big item 0"),
}


def shows(expected):
    if expected == "failed":
        return lambda texts: FAILED_TEXT in texts
    return lambda texts: any(t.startswith("1/") and expected in t for t in texts)


def one_case(exe, work, probe, server, name, expected):
    path = "/" + name.replace(" ", "-") + ".xml"
    url = server.url(path)
    write_single_feed_config(work, url)
    begun = time.time()
    with running(exe, server, label=name, keep_server=True) as process:
        texts = wait_for(probe, shows(expected), 90)
        seconds = time.time() - begun
        check(texts is not None, "%s: the ticker shows %s after %.1f s (%s)"
              % (name, "the failure line" if expected == "failed" else "the first item", seconds,
                 [t[:60] for t in (texts or ticker_texts(probe))]))
        check(process.poll() is None, "%s: the program is still running" % name)
    with open(os.path.join(work, "app.config"), encoding="latin-1") as f:
        kept = f.read()
    check("Url_0=" + url in kept, "%s: the custom link is still in app.config" % name)


def main():
    ready = setup_with_probe()
    if ready is None:
        return 2
    work, exe, probe = ready
    server = Server({"/" + name.replace(" ", "-") + ".xml": body for name, (body, _) in CASES.items()})
    server.start()
    try:
        for name, (_, expected) in CASES.items():
            one_case(exe, work, probe, server, name, expected)
    finally:
        server.stop()
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
