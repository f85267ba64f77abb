#!/usr/bin/env python3
"""Tidewire.exe under Wine showing real feeds from a loopback server, judged from outside.

The program's state is read the way a screen reader reads it: the scrolling text's window text
is the line the ticker shows (a probe built from ticker_texts_probe.cpp lists the window texts).
The loopback server's request log gives the order of the feeds.

1. Rotation: app.config names two loopback feeds as custom links, disables every built-in link,
   and sets Auto_Url_Jump=1, Max_Showing_Items=2, the fastest speed and Reload_Time=0 (the reload
   timer never fires). The log must show feed 1, feed 2, feed 1 while the ticker runs, and the
   ticker must show "n/2    <title>" lines of the feeds, never a third item.
2. Failure: with the server stopped, the next load (the jump to the next feed) shows the failure
   line.
3. Return: with the server started again on the same port, the connection check (pointed at the
   server through TIDEWIRE_NETDETECT_URL, period shortened through TIDEWIRE_NETDETECT_INTERVAL)
   reloads the feed; with Reload_Time=0 no timer tick can have done it.
4. File: a feed file given as the first argument is shown, and the server sees no feed request.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 feed_rotation_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
Python standard library only.
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (FAILED_TEXT, WINE, Server, check, running, setup_with_probe,  # noqa: E402,F401
                         ticker_texts, verdict, wait_for)

LOADING_TEXT = "Loading RSS..."

def rss(name, titles):
    items = "".join("<item><title>%s</title><link>http://127.0.0.1/%s/%d</link>"
                    "<description>About %s</description></item>" % (t, name, i, t)
                    for i, t in enumerate(titles))
    return ("<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>%s</title>"
            "<link>http://127.0.0.1/%s</link><description>d</description>%s</channel></rss>"
            % (name, name, items)).encode("utf-8")


FEEDS = {
    "/feed1.xml": rss("Feed one", ["One alpha", "One beta", "One gamma"]),
    "/feed2.xml": rss("Feed two", ["Two alpha", "Two beta", "Two gamma"]),
}


def write_config(work, server, url, auto_jump):
    lines = [
        "[Global]",
        "Url=" + url,
        "Reload_Time=0",
        "Max_Showing_Items=2",
        "Auto_Url_Jump=%d" % auto_jump,
        "Ticker_Speed=10",
        "First_Run=0",
        "[Default Urls]",
        "Disabled=" + ",".join(str(n) for n in range(14)),
        "[Custom Urls]",
        "Disabled=",
        "Url_0=" + server.url("/feed1.xml"),
        "Url_1=" + server.url("/feed2.xml"),
    ]
    with open(os.path.join(work, "app.config"), "w", encoding="ascii", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def screenshot(path):
    raw = subprocess.run(["xwd", "-root", "-silent"], capture_output=True).stdout
    subprocess.run(["convert", "xwd:-", "-crop", "1024x25+0+0", path], input=raw)
    print("note  screenshot %s" % path, flush=True)


def is_item(text):
    return "/2    " in text and (text.startswith("1/") or text.startswith("2/"))


def has_items(texts):
    return any(is_item(t) for t in texts)


def has_failed(texts):
    return FAILED_TEXT in texts


def in_order(requests, wanted):
    """Whether `wanted` is a subsequence of `requests`."""
    it = iter(requests)
    return all(any(r == w for r in it) for w in wanted)


# ---- the scenarios ------------------------------------------------------------------------

def rotation_failure_return(exe, work, probe, server):
    write_config(work, server, server.url("/feed1.xml"), auto_jump=1)
    begun = time.time()
    with running(exe, server, keep_server=True):
        seen = set()
        texts = wait_for(probe, has_items, 60, seen)
        check(texts is not None, "the ticker shows an item of the loopback feed (%s)" % (texts,))
        print("note  first item shown %.1f s after the start" % (time.time() - begun), flush=True)
        screenshot(os.path.join(work, "items.png"))
        order = ["/feed1.xml", "/feed2.xml", "/feed1.xml"]
        deadline = time.time() + 120
        while time.time() < deadline and not in_order(server.feed_requests(), order):
            seen.update(t for t in ticker_texts(probe) if t)
            time.sleep(0.3)
        requests = server.feed_requests()
        with server.lock:
            print("note  feed requests at %s s" % ", ".join("%.1f" % (t - begun) for t, p in server.log if p in FEEDS))
        check(in_order(requests, order), "the request log shows feed 1, feed 2, feed 1 (%s)" % requests)
        shown = sorted(t for t in seen if is_item(t) or t.startswith("3/"))
        check(any(t.endswith("One alpha") for t in shown) and any(t.endswith("Two alpha") for t in shown),
              "items of both feeds were shown (%s)" % shown)
        check("1/2    One alpha" in shown and "2/2    One beta" in shown,
              "feed 1 showed as \"1/2    One alpha\", \"2/2    One beta\"")
        check(not any("gamma" in t or t.startswith("3/") for t in seen),
              "no third item was shown with Max_Showing_Items=2")

        server.stop()
        stopped = time.time()
        texts = wait_for(probe, has_failed, 90)
        check(texts is not None, "with the server stopped the next load shows \"%s\"" % FAILED_TEXT)
        print("note  failure shown %.1f s after the server stopped" % (time.time() - stopped), flush=True)
        screenshot(os.path.join(work, "failed.png"))
        time.sleep(2.5)  # several connection checks fail meanwhile
        texts = ticker_texts(probe)
        check(has_failed(texts), "the failure stays while the server is down (%s)" % texts)

        server.start()
        restarted = time.time()
        texts = wait_for(probe, has_items, 30)
        back = time.time() - restarted
        check(texts is not None, "with the server back the ticker shows items again after %.1f s (%s)" % (back, texts))
        after = server.feed_requests(restarted)
        check(bool(after), "a feed was requested after the server came back (%s)" % after)
        screenshot(os.path.join(work, "back.png"))


def file_argument(exe, work, probe, server):
    write_config(work, server, server.url("/feed1.xml"), auto_jump=0)
    path = os.path.join(work, "local.rss")
    with open(path, "wb") as f:
        f.write(rss("Local", ["Local alpha", "Local beta"]))
    windows_path = "Z:" + path.replace("/", "\\")
    begun = time.time()
    with running(exe, server, [windows_path], keep_server=True):
        texts = wait_for(probe, lambda ts: any(t.endswith("Local alpha") for t in ts), 60)
        check(texts is not None, "the file given on the command line is shown (%s)" % (texts,))
        time.sleep(3)
        requests = server.feed_requests(begun)
        check(not requests, "no feed was requested at start-up (%s)" % requests)
        screenshot(os.path.join(work, "file.png"))


def main():
    ready = setup_with_probe()
    if ready is None:
        return 2
    work, exe, probe = ready
    server = Server(FEEDS)
    server.start()
    try:
        rotation_failure_return(exe, work, probe, server)
        if server.httpd is None:
            server.start()
        file_argument(exe, work, probe, server)
    finally:
        server.stop()
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
