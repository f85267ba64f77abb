#!/usr/bin/env python3
"""Subscriptions in and out through the command line, judged from outside.

`Tidewire.exe /import subs.opml` with no ticker running: 300 outlines in three nested folders
(a Cyrillic and a Japanese title among them), 20 duplicates (host case, a trailing slash, the
built-in list, repeats in the file) and 5 addresses of other schemes end with exit code 0, the
counts on standard output and exactly the 275 new addresses appended to app.config's custom
list. `/export` then writes a document Python's XML parser reads, with the addresses of both
lists in order. Both again while a ticker runs: it does the work and saves, the second start
ends, one ticker remains. Then, with real input, the configuration dialog's "Import feeds..."
(Alt+I on the custom links page) opens the standard open dialog; the file typed there adds its
new feeds to the list shown, a message box gives the counts, and OK writes them to app.config.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 subscriptions_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
"""
import os
import subprocess
import sys
import time
import xml.etree.ElementTree as ET
from xml.sax.saxutils import quoteattr

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from config_e2e import keys, open_dialog  # noqa: E402
from e2e_support import (WINE, Server, build_bar_probe, build_probe, check, parse_args, prepare, running,  # noqa: E402
                         screenshot, ticker_texts, verdict, wait_visible, window_texts, xdotool)

EXISTING = ["https://blog.example.org/feed", "http://news.example.net/rss.xml"]
BUILT_IN = "http://feeds.bbci.co.uk/news/rss.xml"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def outline(url, title):
    return "<outline type=\"rss\" text=%s xmlUrl=%s/>" % (quoteattr(title), quoteattr(url))


def subscriptions(new, duplicates, foreign):
    """300 outlines: the new ones spread over three nested folders, then the rest."""
    third = len(new) // 3
    inner = "".join(outline(u, "Feed %d" % i) for i, u in enumerate(new[2 * third:]))
    middle = "".join(outline(u, "Фид %d" % i) for i, u in enumerate(new[third:2 * third]))
    outer = "".join(outline(u, "ニュース %d" % i) for i, u in enumerate(new[:third]))
    rest = "".join(outline(u, "x") for u in duplicates + foreign)
    body = ("<outline text=\"Новости\">%s<outline text=\"日本語のニュース\">%s<outline text=\"Deep\">%s"
            "</outline></outline></outline>%s" % (outer, middle, inner, rest))
    return ("<?xml version=\"1.0\" encoding=\"UTF-8\"?><opml version=\"2.0\"><head><title>Mine</title></head>"
            "<body>%s</body></opml>" % body).encode("utf-8")


def write_config(work, url):
    lines = ["[Global]", "Url=" + url, "Reload_Time=0", "First_Run=0", "[Custom Urls]", "Disabled="]
    lines += ["Url_%d=%s" % (i, u) for i, u in enumerate(EXISTING)]
    with open(os.path.join(work, "app.config"), "w", encoding="ascii", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def custom_list(work):
    """The addresses of app.config's custom list, in order."""
    urls, section = {}, None
    with open(os.path.join(work, "app.config"), encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line.startswith("["):
                section = line
            elif section == "[Custom Urls]" and line.startswith("Url_"):
                key, _, value = line.partition("=")
                urls[int(key[4:])] = value
    return [urls[k] for k in sorted(urls)]


def exported(path):
    """The xmlUrl of every outline of an exported file, in document order."""
    return [o.get("xmlUrl") for o in ET.parse(path).getroot().iter("outline") if o.get("xmlUrl")]


def tidewire(exe, *args):
    done = subprocess.run([WINE, exe] + list(args), cwd=os.path.dirname(exe), capture_output=True, timeout=120)
    return done.returncode, done.stdout.decode("utf-8", "replace").strip()


def bars_shown(bars):
    return len(wait_visible(bars, "TfrMain", lambda w: len(w) == 1, 5))


def custom_list_once(work, want, seconds=10):
    """app.config's custom list once it is `want` (the dialog's OK writes it as the dialog goes)."""
    deadline = time.time() + seconds
    while custom_list(work) != want and time.time() < deadline:
        time.sleep(0.3)
    return custom_list(work)


def import_in_dialog(work, bars, texts, opml, expected):
    """Alt+I on the custom links page, the file typed into the open dialog; the counts box."""
    if not check(open_dialog(bars) is not None, "the configuration dialog opens"):
        return
    keys("Down", "Down", "alt+i")  # the page tree has the focus: Custom Links, then the button
    check(len(wait_visible(bars, "#32770", lambda w: len(w) >= 2)) >= 2, "Import feeds... opens the open dialog")
    time.sleep(1)
    xdotool("type", "--delay", 30, windows_path(opml))
    keys("Return")
    shown = window_texts(texts, "Import feeds", "Imported")
    time.sleep(1)  # the box is found before Wine has drawn it
    screenshot(os.path.join(work, "dialog-import-counts.png"))
    check(expected in shown, "the message box gives the counts (%r)" % [t for t in shown if t])
    keys("Return")
    time.sleep(1.5)
    screenshot(os.path.join(work, "dialog-import-list.png"))
    keys("alt+o")
    check(wait_visible(bars, "#32770", lambda w: not w) == [], "OK closes the dialog")


def main():
    args = parse_args()
    if args is None:
        return 1
    work = os.path.abspath(args.work)
    exe = prepare(os.path.abspath(args.exe), work)
    bars, texts = build_bar_probe(work), build_probe(work)
    ticker_texts(texts)  # the first Wine start in a fresh prefix is slow: not while the ticker runs

    new = ["http://site%d.example.com/feed.xml" % i for i in range(150)]
    new += ["https://secure%d.example.org/atom/" % i for i in range(125)]
    duplicates = ["https://BLOG.example.org/feed/", "HTTP://News.Example.NET/rss.xml", BUILT_IN, BUILT_IN + "/"]
    duplicates += [new[i].replace("example.com", "EXAMPLE.com") for i in range(8)]
    duplicates += [new[150 + i].rstrip("/") for i in range(8)]
    foreign = ["ftp://files.example.com/feed.xml", "mailto:me@example.com", "javascript:alert(1)",
               "file:///C:/feeds/local.xml", "gopher://old.example.com/1"]
    assert len(new) + len(duplicates) + len(foreign) == 300
    subs = os.path.join(work, "subs.opml")
    with open(subs, "wb") as f:
        f.write(subscriptions(new, duplicates, foreign))

    server = Server({"/feed.xml": b"<rss version=\"2.0\"><channel><title>T</title></channel></rss>"})
    server.start()
    write_config(work, server.url("/feed.xml"))

    code, out = tidewire(exe, "/import", windows_path(subs))
    check(code == 0, "/import without a ticker exits 0 (%s)" % code)
    check(out == "Imported 275 feeds; skipped 20 already in the list and 5 that are not feed addresses.",
          "the counts on standard output (%r)" % out)
    customs = custom_list(work)
    check(customs == EXISTING + new, "app.config holds exactly the 275 new addresses after the old ones (%d)"
          % len(customs))
    check(tidewire(exe, "/import", windows_path(os.path.join(work, "missing.opml")))[0] == 1,
          "/import of a missing file exits 1")
    check(custom_list(work) == customs, "... and leaves the list as it was")

    out_file = os.path.join(work, "out.opml")
    code, out = tidewire(exe, "/export", windows_path(out_file))
    check(code == 0, "/export exits 0 (%s, %r)" % (code, out))
    urls = exported(out_file) if os.path.exists(out_file) else []
    check(len(urls) == 14 + len(customs) and urls[14:] == customs and BUILT_IN in urls[:14],
          "the export parses and holds the built-in then the custom addresses in order (%d)" % len(urls))

    more = ["http://later%d.example.com/rss" % i for i in range(10)]
    later = os.path.join(work, "later.opml")
    with open(later, "wb") as f:
        f.write(subscriptions(more, [new[0], EXISTING[0]], []))
    with running(exe, server, label="with a ticker running") as ticker:
        code, out = tidewire(exe, "/import", windows_path(later))
        check(code == 0 and out.startswith("Imported 10 feeds; skipped 2"),
              "/import with a ticker running: the ticker imports (%s, %r)" % (code, out))
        check(custom_list(work) == customs + more, "... and saves its settings at once")
        code, _ = tidewire(exe, "/export", windows_path(out_file))
        urls = exported(out_file)
        check(code == 0 and urls[14:] == customs + more, "/export with a ticker running lists the new feeds")
        check(ticker.poll() is None and bars_shown(bars) == 1, "the second starts ended: one ticker, one bar")

        chosen = os.path.join(work, "chosen.opml")
        picked = ["https://picked%d.example.net/feed" % i for i in range(3)]
        with open(chosen, "wb") as f:
            f.write(subscriptions(picked, [more[0]], []))
        import_in_dialog(work, bars, texts, chosen,
                         "Imported 3 feeds; skipped 1 already in the list and 0 that are not feed addresses.")
        check(custom_list_once(work, customs + more + picked) == customs + more + picked, "after OK app.config holds the feeds chosen in the dialog")
    check(custom_list(work) == customs + more + picked, "app.config keeps them after the ticker ends")
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
