#!/usr/bin/env python3
"""Memory of the running ticker under Wine after 10 and after 500 reloads of a 1 MB feed.

A loopback server serves one feed of about 1 MB (a few thousand items) under two addresses; the
settings name both as custom links and set Auto_Url_Jump=1, Max_Showing_Items=1 and the fastest
speed, so every pass of the first item jumps to the other address and loads the whole feed
again. The channel title is wider than the screen, which leaves the scrolling text no width: a
pass then takes only as long as the short item line, and a reload follows every few hundred
milliseconds. The server's request log counts the reloads; after the 10th and the 500th (and a
few points between) the script reads the program's process from /proc: VmRSS (the working set)
and RssAnon (private memory that is resident), plus VmData (private address space).

    scripts/with-wine.sh build/<dir> python3 bench/app/ticker_memory.py --exe build/<dir>/bin/Tidewire.exe \\
        --work build/<dir>/bench-memory [--reloads 500]
"""
import argparse
import http.server
import os
import shutil
import subprocess
import sys
import threading
import time

from wine_processes import WINE, close_program, find_program



def big_feed(size=1000000):
    head = ("<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>%s</title>"
            "<link>http://127.0.0.1/</link><description>big</description>" % ("W" * 300))
    items, n = [], 0
    total = len(head)
    while total < size - 100:
        item = ("<item><title>x</title><link>http://127.0.0.1/item/%d</link><description>Item %d with "
                "some words of description that make the feed large enough</description>"
                "<guid>id-%d</guid></item>" % (n, n, n))
        items.append(item)
        total += len(item)
        n += 1
    return (head + "".join(items) + "</channel></rss>").encode("utf-8"), n


def memory(pid):
    fields = {}
    try:
        for line in open("/proc/%d/status" % pid):
            key, _, value = line.partition(":")
            if key in ("VmRSS", "RssAnon", "VmData"):
                fields[key] = int(value.split()[0])  # kB
    except OSError:
        return None
    return fields


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--reloads", type=int, default=500)
    args = parser.parse_args()
    prefix = os.environ.get("WINEPREFIX")
    if not prefix or not os.environ.get("DISPLAY"):
        print("run inside scripts/with-wine.sh")
        return 2
    body, count = big_feed()
    print("feed: %d bytes, %d items" % (len(body), count), flush=True)
    log, lock = [], threading.Lock()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            if not self.path.startswith("/big.xml"):
                self.send_error(404)
                return
            with lock:
                log.append(time.time())
            self.send_response(200)
            self.send_header("Content-Type", "text/xml")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *a):
            pass

    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    port = httpd.server_address[1]
    threading.Thread(target=httpd.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True).start()

    work = os.path.abspath(args.work)
    if os.path.isdir(work):
        shutil.rmtree(work)
    os.makedirs(work)
    exe = os.path.join(work, "Tidewire.exe")
    shutil.copy2(args.exe, exe)
    a, b = "http://127.0.0.1:%d/big.xml?a" % port, "http://127.0.0.1:%d/big.xml?b" % port
    config = ["[Global]", "Url=" + a, "Reload_Time=0", "Max_Showing_Items=1", "Auto_Url_Jump=1",
              "Ticker_Speed=10", "First_Run=0", "[Default Urls]",
              "Disabled=" + ",".join(str(n) for n in range(14)), "[Custom Urls]", "Disabled=",
              "Url_0=" + a, "Url_1=" + b]
    with open(os.path.join(work, "app.config"), "w", newline="\r\n") as f:
        f.write("\n".join(config) + "\n")
    env = dict(os.environ, TIDEWIRE_NETDETECT_URL="http://127.0.0.1:%d/check" % port)
    process = subprocess.Popen([WINE, exe], cwd=work, env=env)
    marks = sorted({10, 50, 100, 200, 300, 400, args.reloads})
    results = []
    started = time.time()
    try:
        pid = None
        deadline = started + 60
        while pid is None and time.time() < deadline:
            pid = find_program(prefix)
            time.sleep(0.2)
        if pid is None:
            print("the program's process was not found")
            return 1
        limit = started + 60 + args.reloads * 3
        for mark in marks:
            while time.time() < limit:
                with lock:
                    n = len(log)
                if n >= mark:
                    break
                if process.poll() is not None:
                    print("the program ended early")
                    return 1
                time.sleep(0.05)
            else:
                print("stopped waiting at %d reloads" % len(log))
                break
            time.sleep(1.0)  # the mark-th load is parsed and shown
            m = memory(pid)
            with lock:
                n = len(log)
            results.append((mark, n, m))
            print("after %4d reloads (%4d requests, %6.1f s): VmRSS %7d kB  RssAnon %7d kB  VmData %7d kB"
                  % (mark, n, time.time() - started, m["VmRSS"], m["RssAnon"], m["VmData"]), flush=True)
    finally:
        close_program(process)
        httpd.shutdown()
        httpd.server_close()
    if len(results) >= 2:
        first, last = results[0][2], results[-1][2]
        print("growth from %d to %d reloads: VmRSS %+d kB, RssAnon %+d kB, VmData %+d kB"
              % (results[0][0], results[-1][0], last["VmRSS"] - first["VmRSS"],
                 last["RssAnon"] - first["RssAnon"], last["VmData"] - first["VmData"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
