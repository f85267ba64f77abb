#!/usr/bin/env python3
"""Tidewire.exe under Wine reloading one loopback feed politely, judged from outside.

app.config enables one loopback feed only, with Auto_Url_Jump=1 and Max_Showing_Items=2, so
after each pass over its two items the ticker loads the same address again. The server sends an
ETag and answers a request carrying it in If-None-Match with 304.

1. Unchanged: a reload sends the ETag back, gets 304, and the ticker goes on showing the same
   two items (its accessible text) with no failure line.
2. Changed: with a new body and tag the next reload gets 200 and the new items are shown.
3. A server that ignores validators (always 200) still gives a working ticker.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 polite_reload_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
Python standard library only.
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import FAILED_TEXT, Server, check, running, setup_with_probe, ticker_texts, verdict  # noqa: E402

PATH = "/feed.xml"


def rss(titles):
    items = "".join("<item><title>%s</title><link>http://127.0.0.1/%d</link></item>" % (t, i)
                    for i, t in enumerate(titles))
    return ("<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>Polite</title>"
            "<link>http://127.0.0.1/</link>%s</channel></rss>" % items).encode("utf-8")


def write_config(work, url):
    lines = ["[Global]", "Url=" + url, "Reload_Time=0", "Max_Showing_Items=2", "Auto_Url_Jump=1",
             "Ticker_Speed=10", "First_Run=0", "[Default Urls]", "Disabled=" + ",".join(str(n) for n in range(14)),
             "[Custom Urls]", "Disabled=", "Url_0=" + url]
    with open(os.path.join(work, "app.config"), "w", encoding="ascii", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def watch(probe, server, seen, until, seconds):
    """Collects the ticker's texts into `seen` until `until(answers)` holds; whether it did."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        seen.update(t for t in ticker_texts(probe) if t)
        with server.lock:
            answers = list(server.answers)
        if until(answers):
            return True
        time.sleep(0.3)
    return False


def items(seen):
    return sorted(t for t in seen if t[:2] in ("1/", "2/"))


def main():
    ready = setup_with_probe()
    if ready is None:
        return 2
    work, exe, probe = ready
    server = Server({PATH: rss(["Calm one", "Calm two"])})
    server.etags[PATH] = '"calm"'
    server.start()
    write_config(work, server.url(PATH))
    with running(exe, server):
        before = set()
        ok = watch(probe, server, before, lambda a: len(a) >= 1 and {"1/2    Calm one", "2/2    Calm two"} <= before, 90)
        check(ok, "the first load shows both items (%s)" % items(before))

        after = set()
        count = len(server.answers)
        ok = watch(probe, server, after, lambda a: any(s == 304 for _, _, _, s in a[count:]), 90)
        with server.lock:
            reloads = server.answers[count:]
        check(ok and reloads[0][2] == '"calm"', "the reload sent If-None-Match \"calm\" and got 304 (%s)" % reloads)
        watch(probe, server, after, lambda a: len(a) > len(reloads) + count, 60)  # one more pass after the 304
        check(items(after) == items(before) == ["1/2    Calm one", "2/2    Calm two"],
              "after the 304 the ticker shows the same items (before %s, after %s)" % (items(before), items(after)))

        with server.lock:
            server.routes[PATH] = rss(["Fresh one", "Fresh two"])
            server.etags[PATH] = '"fresh"'
            count = len(server.answers)
        fresh = set()
        ok = watch(probe, server, fresh, lambda a: "1/2    Fresh one" in fresh, 90)
        with server.lock:
            changed = [a for a in server.answers[count:] if a[3] == 200]
        check(ok and bool(changed) and changed[0][2] == '"calm"',
              "a changed feed answered 200 to the old tag replaces the items (%s, %s)" % (items(fresh), changed))

        with server.lock:
            server.honour_validators = False
            server.routes[PATH] = rss(["Plain one", "Plain two"])
            count = len(server.answers)
        plain = set()
        ok = watch(probe, server, plain, lambda a: len(a) >= count + 2 and "1/2    Plain one" in plain, 120)
        with server.lock:
            ignored = server.answers[count:]
        check(ok and all(s == 200 for _, _, _, s in ignored) and any(tag for _, _, tag, _ in ignored),
              "a server ignoring the validators keeps the ticker working (%s, %s)" % (items(plain), ignored))
        check(not any(FAILED_TEXT in s for s in (before, after, fresh, plain)), "no failure line was ever shown")
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
