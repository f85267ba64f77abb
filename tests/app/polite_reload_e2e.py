#!/usr/bin/env python3
"""Tidewire.exe under Wine as a client feed publishers welcome, judged from outside.

1. Validators: one loopback feed with an ETag, Auto_Url_Jump=1 and Max_Showing_Items=2, so the
   ticker loads the same address after each pass. Unchanged, a reload sends the ETag back, gets
   304 and the same two items stay (the ticker's accessible text); a changed feed answered 200 to
   the old tag replaces them; a server that ignores validators still gives a working ticker.
2. The rules, over 40 s at a 2 s reload period (TIDEWIRE_RELOAD_SECONDS=2), five feeds in
   rotation: "max-age=3600" is requested once; "429 Retry-After: 3600" once; "410 Gone" once,
   and app.config then lists it disabled; a 301 to another path of the same host is asked on the
   old path once and the new path is in app.config at exit; a feed served gzip-compressed (only
   when asked) shows its items. Every request names the program and carries no cookie.
3. The kept copy: started with the server down, the ticker shows the fresh feed's kept copy
   within 5 s; when the server comes back, the first request carries its validators.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 polite_reload_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
Python standard library only.
"""
import gzip
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (FAILED_TEXT, WINE, Server, check, running, setup_with_probe, stop,  # noqa: E402
                         ticker_texts, verdict, wait_for)

PATH = "/feed.xml"
AGENT = "Tidewire/1.1 (+https://tidewire.example.org/)"
GONE_TEXT = "This feed has been removed by its publisher"
FRESH, BUSY, GONE, OLD, NEW, PACKED = "/fresh.xml", "/busy.xml", "/gone.xml", "/old.xml", "/new.xml", "/packed.xml"
RULES_FEEDS = [FRESH, BUSY, GONE, OLD, PACKED]


def rss(titles, name="Polite"):
    items = "".join("<item><title>%s</title><link>http://127.0.0.1/%d</link></item>" % (t, i)
                    for i, t in enumerate(titles))
    return ("<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>%s</title>"
            "<link>http://127.0.0.1/</link>%s</channel></rss>" % (name, items)).encode("utf-8")


def write_config(work, urls, current, jump=1, most=2, minutes=0):
    lines = ["[Global]", "Url=" + current, "Reload_Time=%d" % minutes, "Max_Showing_Items=%d" % most,
             "Auto_Url_Jump=%d" % jump, "Ticker_Speed=10", "First_Run=0",
             "[Default Urls]", "Disabled=" + ",".join(str(n) for n in range(14)), "[Custom Urls]", "Disabled="]
    lines += ["Url_%d=%s" % (i, u) for i, u in enumerate(urls)]
    with open(os.path.join(work, "app.config"), "w", encoding="ascii", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def read_config(work):
    """{section: {key: value}} of app.config, keys as written."""
    sections, current = {}, None
    with open(os.path.join(work, "app.config"), encoding="utf-8", errors="replace") as f:
        for line in f.read().splitlines():
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1], {})
            elif "=" in line and current is not None:
                key, _, value = line.partition("=")
                current[key.strip()] = value.strip()
    return sections


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


def validators(exe, work, probe):
    server = Server({PATH: rss(["Calm one", "Calm two"])})
    server.etags[PATH] = '"calm"'
    server.start()
    write_config(work, [server.url(PATH)], server.url(PATH))
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


def rules_server():
    """The five feeds of the rules story, each answering as its name says."""
    server = Server({})
    feed = lambda name: rss([name + " one"], name)  # noqa: E731

    def fresh(headers):
        if headers.get("If-None-Match") == '"f1"':
            return 304, [("ETag", '"f1"'), ("Cache-Control", "max-age=3600")], b""
        return 200, [("Content-Type", "text/xml"), ("ETag", '"f1"'), ("Cache-Control", "max-age=3600"),
                     ("Set-Cookie", "tracker=1; Path=/")], feed("Fresh")

    def packed(headers):
        body = feed("Packed")
        if "gzip" not in headers.get("Accept-Encoding", ""):
            return 200, [("Content-Type", "text/xml")], body
        return 200, [("Content-Type", "text/xml"), ("Content-Encoding", "gzip")], gzip.compress(body)

    server.scripts = {
        FRESH: fresh,
        BUSY: lambda h: (429, [("Retry-After", "3600")], b"slow down"),
        GONE: lambda h: (410, [], b"gone"),
        OLD: lambda h: (301, [("Location", NEW)], b""),
        NEW: lambda h: (200, [("Content-Type", "text/xml")], feed("Moved")),
        PACKED: packed,
    }
    return server


def rules(exe, work, probe, server):
    urls = [server.url(p) for p in RULES_FEEDS]
    write_config(work, urls, urls[0], most=1, minutes=5)
    os.environ["TIDEWIRE_RELOAD_SECONDS"] = "2"
    seen = set()
    try:
        with running(exe, server, keep_server=True, label="rules"):
            begun = time.time()
            while time.time() < begun + 40:
                seen.update(t for t in ticker_texts(probe) if t)
                time.sleep(0.3)
    finally:
        del os.environ["TIDEWIRE_RELOAD_SECONDS"]
    asked = {p: len(server.headers_of(p)) for p in RULES_FEEDS + [NEW]}
    with server.lock:
        print("note  requests: %s" % ", ".join("%.1f %s" % (t - begun, p) for t, p, _ in server.requests if p != "/check"))
    check(asked[FRESH] == 1, "the max-age=3600 feed was requested once (%d)" % asked[FRESH])
    check(asked[BUSY] == 1, "the 429 Retry-After: 3600 feed was requested once (%d)" % asked[BUSY])
    check(asked[GONE] == 1, "the 410 feed was requested once (%d)" % asked[GONE])
    check(asked[OLD] == 1 and asked[NEW] >= 1, "the 301 was asked on the old path once, then the new (%d, %d)"
          % (asked[OLD], asked[NEW]))
    check(GONE_TEXT in seen, "the failure line said the feed was removed by its publisher")
    check(any(t.endswith("Packed one") for t in seen) and "gzip" in server.headers_of(PACKED)[0].get("accept-encoding", ""),
          "the gzip-compressed feed showed its items, asked with Accept-Encoding gzip (%s)" % items(seen))
    everything = [h for p in RULES_FEEDS + [NEW] for h in server.headers_of(p)]
    check(all(h.get("user-agent") == AGENT for h in everything), "every request named %s" % AGENT)
    check(not any("cookie" in h for h in everything), "no request carried a cookie")
    custom = read_config(work).get("Custom Urls", {})
    check(custom.get("Disabled") == "2" and custom.get("Url_2") == urls[2],
          "app.config lists the 410 feed disabled (%s)" % custom)
    check(custom.get("Url_3") == server.url(NEW), "app.config holds the 301's new address (%s)" % custom.get("Url_3"))


def kept_copy(exe, work, probe, server):
    urls = [server.url(p) for p in RULES_FEEDS]
    write_config(work, urls, urls[0], jump=0, most=1)
    server.stop()
    env = dict(os.environ, TIDEWIRE_NETDETECT_URL=server.url("/check"), TIDEWIRE_NETDETECT_INTERVAL="1000")
    begun = time.time()
    process = subprocess.Popen([WINE, exe], cwd=os.path.dirname(exe), env=env)
    try:
        shown = wait_for(probe, lambda t: "1/1    Fresh one" in t, 5)
        check(shown is not None, "with the server down the kept copy's first item shows within 5 s (%.1f s)"
              % (time.time() - begun))
        back = time.time()
        server.start()
        deadline = time.time() + 20
        while time.time() < deadline and not server.headers_of(FRESH, back):
            time.sleep(0.2)
        first = server.headers_of(FRESH, back)[:1]
        check(bool(first) and first[0].get("if-none-match") == '"f1"',
              "the first request after the server came back carried the validators (%s)" % first)
        check("1/1    Fresh one" in ticker_texts(probe), "the item still shows after the 304")
    finally:
        code = stop(process)
        server.stop()
        check(code == 0, "kept copy: the program ended normally (exit code %s)" % code)


def main():
    ready = setup_with_probe()
    if ready is None:
        return 2
    work, exe, probe = ready
    validators(exe, work, probe)
    server = rules_server()
    server.start()
    try:
        rules(exe, work, probe, server)
        kept_copy(exe, work, probe, server)
    finally:
        server.stop()
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
