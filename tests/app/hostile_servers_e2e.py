#!/usr/bin/env python3
"""Tidewire.exe under Wine pointed at servers that never finish a feed, judged from outside.

Four loopback servers: one that accepts and never answers, one that trickles its body a byte a
second, one that redirects to itself, and one whose body never ends. For each the program starts
with app.config pointing at it and TIDEWIRE_FEED_DEADLINE_MS shortening the feed deadline. The
ticker must show the failure line within the deadline plus 5 s of the first request, the
redirect loop must cost at most 11 requests, and the endless body must leave the program's peak
resident memory under 100 MB. The ticker line is read the way a screen reader reads it.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 hostile_servers_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
Python standard library only.
"""
import http.server
import os
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (FAILED_TEXT, check, running, setup_with_probe,  # noqa: E402
                         ticker_texts, verdict, wait_for, write_single_feed_config)

DEADLINE_MS = 6000
PATHS = ("/stall", "/trickle", "/loop", "/endless")


class HostileServer:
    """Serves the four hostile paths and "/check"; logs (time, path) like e2e_support.Server."""

    def __init__(self):
        self.log = []
        self.lock = threading.Lock()
        self.done = threading.Event()
        self.httpd = None

    def start(self):
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                with owner.lock:
                    owner.log.append((time.time(), self.path))
                try:
                    getattr(self, "serve_" + self.path.strip("/"), self.serve_check)()
                except OSError:
                    pass  # the program hung up

            def serve_check(self):
                self.answer(200, b"ok")

            def serve_stall(self):
                owner.done.wait()

            def serve_trickle(self):
                self.head(200, [("Content-Length", "100000")])
                while not owner.done.wait(1.0):
                    self.wfile.write(b"<")
                    self.wfile.flush()

            def serve_loop(self):
                self.answer(302, b"again", [("Location", "/loop")])

            def serve_endless(self):
                self.head(200, [("Connection", "close")])
                block = b"<item>" * 10000
                while not owner.done.is_set():
                    self.wfile.write(block)

            def head(self, status, headers):
                self.send_response(status)
                self.send_header("Content-Type", "text/xml")
                for name, value in headers:
                    self.send_header(name, value)
                self.end_headers()
                self.wfile.flush()

            def answer(self, status, body, headers=()):
                self.head(status, [("Content-Length", str(len(body)))] + list(headers))
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        http.server.ThreadingHTTPServer.daemon_threads = True
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=self.httpd.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True).start()

    def stop(self):
        self.done.set()
        self.httpd.shutdown()
        self.httpd.server_close()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.httpd.server_address[1], path)

    def requests(self, path, since):
        with self.lock:
            return [t for t, p in self.log if p == path and t >= since]


def peak_resident_mb(pid):
    """The process's peak resident set (VmHWM) in MB; Wine runs the program in this process."""
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            if b"Tidewire.exe" not in f.read():
                return None
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024.0
    except OSError:
        pass
    return None


def one_case(exe, work, probe, server, path):
    write_single_feed_config(work, server.url(path))
    begun = time.time()
    with running(exe, server, label=path, keep_server=True) as process:
        texts = wait_for(probe, lambda t: FAILED_TEXT in t, DEADLINE_MS / 1000.0 + 30)
        shown = time.time()
        first = server.requests(path, begun)
        took = shown - first[0] if first else None
        check(texts is not None and took is not None and took <= DEADLINE_MS / 1000.0 + 5,
              "%s: the failure line shows %s s after the first request (%s)"
              % (path, "%.1f" % took if took is not None else "-", [t[:60] for t in texts or ticker_texts(probe)]))
        if path == "/loop":
            count = len(server.requests(path, begun))
            check(1 <= count <= 11, "%s: the redirect loop cost %d request(s)" % (path, count))
        if path == "/endless":
            peak = peak_resident_mb(process.pid)
            check(peak is not None and peak < 100, "%s: peak resident memory %s MB" % (path, peak and "%.0f" % peak))
        check(process.poll() is None, "%s: the program is still running" % path)


def main():
    ready = setup_with_probe()
    if ready is None:
        return 2
    work, exe, probe = ready
    os.environ["TIDEWIRE_FEED_DEADLINE_MS"] = str(DEADLINE_MS)
    server = HostileServer()
    server.start()
    try:
        for path in PATHS:
            one_case(exe, work, probe, server, path)
    finally:
        server.stop()
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
