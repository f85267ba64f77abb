#!/usr/bin/env python3
"""Tidewire.exe under Wine showing every feed in one stream, judged from outside.

A loopback server holds feeds whose items carry distinct dates (relative to now).

1. All_Feeds_Together=1 with three feeds: every feed is requested; the ticker's accessible text
   shows the merged stream newest first, each headline prefixed by its feed's name and an age
   ("Gamma Wire · 2 min"), and an item present in two feeds (one link) once. An accessibility
   client hears the headline with its feed's name and its place ("Gamma newest (Gamma Wire)",
   "1 of 4").
2. Only_New_Items=1 with one feed: the first run shows its item, then the quiet line; started
   again with the feed unchanged it shows the quiet line and never the item; with one new item in
   the feed the next start shows that item.
3. Exclude_Words=sport, Highlight_Words=Tidewire: "Sport: the final" never appears over two
   passes, and while the Tidewire headline is on screen the bar holds pixels of the highlight
   colour, which it does not while another headline is (screenshots in the work folder).

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 stream_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
Python standard library only; screenshots through xwd and convert.
"""
import email.utils
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (FAILED_TEXT, Server, a11y, build_a11y_probe, check, running, screenshot,  # noqa: E402
                         setup_with_probe, ticker_texts, verdict)

DOT = " \u00b7 "
HIGHLIGHT = "#FFC83C"  # the default highlight colour, 0x3CC8FF as the settings store it
HEADLINE = re.compile(r"^(\d+)/(\d+)    (.+?)(?:" + DOT + r"(now|\d+ (?:min|h|d)))?    (.+)$")


def rss(channel, items):
    """items: (title, link, minutes before now)."""
    now = time.time()
    body = "".join("<item><title>%s</title><link>%s</link><pubDate>%s</pubDate></item>"
                   % (t, link, email.utils.formatdate(now - minutes * 60, usegmt=True)) for t, link, minutes in items)
    return ("<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>%s</title>"
            "<link>http://127.0.0.1/</link>%s</channel></rss>" % (channel, body)).encode("utf-8")


def write_config(work, urls, extra):
    lines = ["[Global]", "Url=" + urls[0], "Reload_Time=0", "Ticker_Speed=10", "First_Run=0", *extra,
             "[Default Urls]", "Disabled=" + ",".join(str(n) for n in range(14)), "[Custom Urls]", "Disabled="]
    lines += ["Url_%d=%s" % (i, url) for i, url in enumerate(urls)]
    with open(os.path.join(work, "app.config"), "w", encoding="ascii", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def headlines(probe, seconds, until):
    """The ticker's texts in the order they appeared, until `until(texts)` holds or time is up."""
    texts = []
    deadline = time.time() + seconds
    while time.time() < deadline and not until(texts):
        for t in ticker_texts(probe):
            if t and (not texts or texts[-1] != t):
                texts.append(t)
        time.sleep(0.3)
    return texts


def parsed(texts):
    return [m.groups() for m in map(HEADLINE.match, texts) if m]


def merged_stream(work, exe, probe, reader, server):
    paths = ["/alpha.xml", "/beta.xml", "/gamma.xml"]
    shared = "http://127.0.0.1/shared"
    server.routes.update({
        "/alpha.xml": rss("Alpha News", [("Alpha middle", "http://127.0.0.1/a", 20), ("Shared story", shared, 90)]),
        "/beta.xml": rss("Beta Daily", [("Shared story", shared, 90), ("Beta oldest", "http://127.0.0.1/b", 300)]),
        "/gamma.xml": rss("Gamma Wire", [("Gamma newest", "http://127.0.0.1/g", 2)]),
    })
    write_config(work, [server.url(p) for p in paths], ["All_Feeds_Together=1"])
    order = ["Gamma newest", "Alpha middle", "Shared story", "Beta oldest"]
    with running(exe, server, label="stream", keep_server=True):
        texts = headlines(probe, 90, lambda t: {(h[0], h[1]) for h in parsed(t)} >= {(str(n), "4") for n in (1, 2, 3, 4)})
        heard = a11y(reader, "read")[1]
    sources = {"Gamma newest": ["Gamma Wire"], "Alpha middle": ["Alpha News"], "Beta oldest": ["Beta Daily"],
               "Shared story": ["Alpha News", "Beta Daily"]}
    spoken = ["%s (%s) %d of 4" % (t, source, order.index(t) + 1) for t in order for source in sources[t]]
    check(len(heard) == 6 and "%s %s" % (heard[4][2], heard[4][3]) in spoken,
          "a reader hears the headline, its feed and its place in the stream: %s" % (heard[4:5] or heard))
    rows = [h for h in parsed(texts) if h[1] == "4"]
    check(bool(rows) and all(h[4] == order[int(h[0]) - 1] for h in rows) and len({h[0] for h in rows}) == 4,
          "the stream runs newest first over all feeds, the shared item once: 4 headlines (%s)" % texts)
    check({h[2] for h in parsed(texts)} == {"Alpha News", "Beta Daily", "Gamma Wire"} and all(h[3] for h in parsed(texts)),
          "every feed's headlines carry its name and an age (%s)" % sorted({(h[2], h[3]) for h in parsed(texts)}))
    check(any(h[:4] == ("1", "4", "Gamma Wire", "2 min") for h in rows), "the newest: 1/4    Gamma Wire" + DOT + "2 min")
    requested = set(server.feed_requests())
    check(requested >= set(paths), "the server saw each feed requested (%s)" % sorted(requested))
    check(FAILED_TEXT not in texts, "no failure line")


def only_new(work, exe, probe, server):
    server.routes["/new.xml"] = rss("Fresh Feed", [("Only one", "http://127.0.0.1/one", 5)])
    write_config(work, [server.url("/new.xml")], ["All_Feeds_Together=1", "Only_New_Items=1"])
    quiet = lambda t: any(x.startswith("No new headlines since ") for x in t)  # noqa: E731
    with running(exe, server, label="only new, first run", keep_server=True):
        first = headlines(probe, 60, quiet)
    check(any(x.endswith("    Only one") for x in first) and quiet(first),
          "the first run shows the item, then the quiet line once it scrolled past (%s)" % first)
    check(os.path.isfile(os.path.join(work, "seen-items.dat")), "the seen file lies beside app.config")
    with running(exe, server, label="only new, second run", keep_server=True):
        again = headlines(probe, 25, lambda t: False)
    check(quiet(again) and not any("Only one" in x for x in again),
          "started again with the feed unchanged: the quiet line, never the item (%s)" % again)
    server.routes["/new.xml"] = rss("Fresh Feed", [("Brand new", "http://127.0.0.1/two", 1),
                                                   ("Only one", "http://127.0.0.1/one", 5)])
    with running(exe, server, label="only new, third run", keep_server=True):
        third = headlines(probe, 30, lambda t: any(x.endswith("    Brand new") for x in t))
    check(any(x.startswith("1/1    Fresh Feed") and x.endswith("    Brand new") for x in third)
          and not any("Only one" in x for x in third), "a new item in the feed is shown, alone (%s)" % third)


def bar_pixels(path, colour):
    """How many pixels of the top bar's strip are exactly `colour`."""
    out = subprocess.run(["convert", path, "-crop", "1024x26+0+0", "+repage", "txt:-"], check=True,
                         capture_output=True, text=True).stdout
    return out.count(colour)


def word_rules(work, exe, probe, server):
    server.routes["/words.xml"] = rss("Word Watch", [("Sport: the final", "http://127.0.0.1/s", 1),
                                                    ("Tidewire makes waves", "http://127.0.0.1/t", 2),
                                                    ("Calm day", "http://127.0.0.1/c", 3)])
    write_config(work, [server.url("/words.xml")],
                 ["All_Feeds_Together=1", "Exclude_Words=sport", "Highlight_Words=Tidewire"])
    marked = os.path.join(work, "highlighted.png")
    plain = os.path.join(work, "plain.png")
    shots = {}
    with running(exe, server, label="word rules"):
        texts = []
        deadline = time.time() + 75
        while time.time() < deadline and len(texts) < 5:
            now = [t for t in ticker_texts(probe) if HEADLINE.match(t or "")]
            if now and (not texts or texts[-1] != now[0]):
                texts.append(now[0])
                shot = marked if now[0].endswith("Tidewire makes waves") else plain
                if shot not in shots:
                    time.sleep(1.5)  # the new line has scrolled into view
                    screenshot(shot)
                    shots[shot] = bar_pixels(shot, HIGHLIGHT)
            time.sleep(0.3)
    titles = [h[4] for h in parsed(texts)]
    check(titles.count("Tidewire makes waves") >= 2 and titles.count("Calm day") >= 2,
          "two passes over the stream were watched (%s)" % titles)
    check(not any("Sport" in t for t in texts), "the excluded item never appears (%s)" % texts)
    check(shots.get(marked, 0) > 20 and shots.get(plain, -1) == 0,
          "the highlighted headline is drawn in %s (%s pixels; %s while another shows; %s, %s)"
          % (HIGHLIGHT, shots.get(marked), shots.get(plain), marked, plain))


def main():
    ready = setup_with_probe()
    if ready is None:
        return 2
    work, exe, probe = ready
    reader = build_a11y_probe(work)
    server = Server({})
    server.start()
    try:
        merged_stream(work, exe, probe, reader, server)
        only_new(work, exe, probe, server)
        word_rules(work, exe, probe, server)
    finally:
        server.stop()
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
