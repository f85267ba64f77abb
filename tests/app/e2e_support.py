"""What every end-to-end test of Tidewire.exe shares: its arguments, a fresh copy of the program
(so app.config lands in the scratch folder), closing it the way a user would, and the checks.
"""
import argparse
import contextlib
import http.server
import os
import shutil
import subprocess
import threading
import time

WINE = "/usr/lib/wine/wine64"
HERE = os.path.dirname(os.path.abspath(__file__))
# The ticker line when the current address gives no items.
FAILED_TEXT = "Cannot retrieve feeds from the current address for this time!"

failures = []


def check(condition, message):
    print(("ok    " if condition else "FAIL  ") + message, flush=True)
    if not condition:
        failures.append(message)
    return condition


def verdict():
    """Prints the outcome of every check made so far; the exit code for it."""
    total = len(failures)
    print("%s: %d failed check(s)" % ("FAILED" if total else "PASSED", total))
    return 1 if total else 0


def parse_args():
    """--exe and --work, or None when not run inside scripts/with-wine.sh."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    for var in ("DISPLAY", "WINEPREFIX"):
        if not os.environ.get(var):
            print("run inside scripts/with-wine.sh: %s is not set" % var)
            return None
    return args


def prepare(exe, work):
    if os.path.isdir(work):
        shutil.rmtree(work)
    os.makedirs(work)
    target = os.path.join(work, "Tidewire.exe")
    shutil.copy2(exe, target)
    return target


def stop(process):
    """Posts WM_CLOSE (taskkill without /F) and waits; the exit code, or None if it had to be killed."""
    subprocess.run([WINE, "taskkill", "/IM", "Tidewire.exe"], capture_output=True, timeout=60)
    try:
        return process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        return None


# ---- the loopback server ------------------------------------------------------------------

class Server:
    """A threaded HTTP server on 127.0.0.1 that can be stopped and started on the same port."""

    def __init__(self, routes):
        self.routes = routes  # path -> body bytes, served as text/xml; "/check" answers "ok"
        self.log = []  # (time, path)
        # path -> ETag sent with that body; a request whose If-None-Match equals it gets a 304
        # unless honour_validators is False. Each answered feed request: (time, path, the
        # request's If-None-Match, status).
        self.etags = {}
        self.honour_validators = True
        self.answers = []
        # path -> answer(request headers) giving (status, [(header, value)], body): a route
        # that scripts its whole answer. Every request's headers, names in lower case:
        # (time, path, headers).
        self.scripts = {}
        self.requests = []
        self.lock = threading.Lock()
        self.port = 0
        self.httpd = None
        self.thread = None

    def start(self):
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                with owner.lock:
                    owner.log.append((time.time(), self.path))
                    owner.requests.append((time.time(), self.path, {k.lower(): v for k, v in self.headers.items()}))
                    script = owner.scripts.get(self.path)
                if script is not None:
                    self.answer(*script(self.headers))
                    return
                body = owner.routes.get(self.path, b"ok" if self.path == "/check" else None)
                if body is None:
                    self.send_error(404)
                    return
                with owner.lock:
                    etag = owner.etags.get(self.path)
                    asked = self.headers.get("If-None-Match")
                    unchanged = owner.honour_validators and etag is not None and asked == etag
                    if self.path in owner.routes:
                        owner.answers.append((time.time(), self.path, asked, 304 if unchanged else 200))
                if unchanged:
                    self.send_response(304)
                    self.send_header("ETag", etag)
                    self.end_headers()
                    return
                self.send_response(200)
                if etag is not None:
                    self.send_header("ETag", etag)
                self.send_header("Content-Type", "text/xml" if self.path != "/check" else "text/plain")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def answer(self, status, headers, body):
                self.send_response(status)
                for name, value in headers:
                    self.send_header(name, value)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        http.server.ThreadingHTTPServer.allow_reuse_address = True
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", self.port), Handler)
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
        self.thread.start()

    def stop(self):
        if self.httpd:
            self.httpd.shutdown()
            self.httpd.server_close()
            self.thread.join(10)
            self.httpd = None

    def feed_requests(self, since=0.0):
        with self.lock:
            return [p for t, p in self.log if p in self.routes and t >= since]

    def headers_of(self, path, since=0.0):
        """The headers of each request for `path` (since a time), in order."""
        with self.lock:
            return [h for t, p, h in self.requests if p == path and t >= since]

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)


def _setup(build, warm):
    """(work folder, program copy, probe made by `build`), or None outside scripts/with-wine.sh. The
    first Wine start in a fresh prefix is slow: `warm` runs the probe once before the program."""
    args = parse_args()
    if args is None:
        return None
    work = os.path.abspath(args.work)
    exe = prepare(os.path.abspath(args.exe), work)
    probe = build(work)
    warm(probe)
    return work, exe, probe


def setup_with_probe():
    """For a test that reads the ticker's window text."""
    return _setup(build_probe, ticker_texts)


def build_probe(work):
    probe = os.path.join(work, "probe.exe")
    subprocess.run(["x86_64-w64-mingw32-g++-posix", "-O1", "-static", "-municode", "-o", probe,
                    os.path.join(HERE, "ticker_texts_probe.cpp")], check=True)
    return probe


def build_a11y_probe(work):
    probe = os.path.join(work, "a11y_probe.exe")
    subprocess.run(["x86_64-w64-mingw32-g++-posix", "-std=c++20", "-O1", "-static", "-municode", "-o", probe,
                    os.path.join(HERE, "a11y_probe.cpp"), "-loleacc", "-lole32", "-loleaut32", "-luuid"], check=True)
    return probe


def a11y(probe, *args):
    """The accessibility client's answer: (exit code, rows of the probe's tab-separated output)."""
    done = subprocess.run([WINE, probe] + [str(a) for a in args], capture_output=True, timeout=30)
    rows = [line.split("\t") for line in done.stdout.decode("utf-8", "replace").splitlines() if line]
    return done.returncode, rows


def ticker_texts(probe):
    """Window texts of the children of the program's main window."""
    try:
        out = subprocess.run([WINE, probe, "TfrMain"], capture_output=True, timeout=10).stdout
    except subprocess.TimeoutExpired:
        return []
    texts = []
    for line in out.decode("utf-8", "replace").splitlines():
        head, _, text = line.partition("\t")
        if head.startswith("1 ") or head.startswith("2 "):
            texts.append(text)
    return texts


def window_texts(probe, title, want, seconds=20):
    """The texts of the top-level window whose class or title is `title` and of its children, once
    one of them holds `want` (or the last seen)."""
    deadline, texts = time.time() + seconds, []
    while time.time() < deadline:
        try:
            out = subprocess.run([WINE, probe, title], capture_output=True, timeout=30).stdout
        except subprocess.TimeoutExpired:
            out = b""
        texts = [line.partition("\t")[2] for line in out.decode("utf-8", "replace").splitlines()]
        if any(want in t for t in texts):
            break
        time.sleep(0.5)
    return texts


def wait_for(probe, predicate, seconds, seen=None):
    deadline = time.time() + seconds
    while time.time() < deadline:
        texts = ticker_texts(probe)
        if seen is not None:
            seen.update(t for t in texts if t)
        if predicate(texts):
            return texts
        time.sleep(0.3)
    return None


def start(exe, server, args=()):
    env = dict(os.environ)
    env["TIDEWIRE_NETDETECT_URL"] = server.url("/check")
    env["TIDEWIRE_NETDETECT_INTERVAL"] = "1000"
    begun = time.time()
    process = subprocess.Popen([WINE, exe] + list(args), cwd=os.path.dirname(exe), env=env)
    # A probe started while the program is still starting can hang in Wine: wait for the
    # program's first request (the connection check made while its window is created).
    while time.time() < begun + 60 and process.poll() is None:
        with server.lock:
            if any(t >= begun for t, _ in server.log):
                break
        time.sleep(0.1)
    return process


@contextlib.contextmanager
def running(exe, server=None, args=(), label=None, keep_server=False):
    """Starts the program (with `start` when it has a server, else plainly) and yields its
    process; when the block ends, however it ends, closes it as `stop` does, stops the server
    unless `keep_server` (the caller starts the program against it again), and checks that the
    program ended normally (`label` heads that check)."""
    if server is not None:
        process = start(exe, server, args)
    else:
        process = subprocess.Popen([WINE, exe] + list(args), cwd=os.path.dirname(exe))
    try:
        yield process
    finally:
        code = stop(process)
        if server is not None and not keep_server:
            server.stop()
        check(code == 0, "%sthe program ended normally after taskkill (exit code %s)"
              % (label + ": " if label else "", code))


def write_single_feed_config(work, url, extra=()):
    """An app.config whose only enabled feed is `url`, never reloaded on a timer; `extra` adds
    lines to its [Global] section."""
    lines = ["[Global]", "Url=" + url, "Reload_Time=0", "Ticker_Speed=10", "First_Run=0", *extra,
             "[Default Urls]", "Disabled=" + ",".join(str(n) for n in range(14)),
             "[Custom Urls]", "Disabled=", "Url_0=" + url]
    with open(os.path.join(work, "app.config"), "w", encoding="ascii", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def write_browser(work):
    """A browser for the prefix: a script that fetches the address it is handed (and no proxy)."""
    script = os.path.join(work, "fetching-browser.sh")
    with open(script, "w") as f:
        f.write("#!/bin/sh\nexec curl -s -o /dev/null --noproxy '*' --max-time 10 \"$1\"\n")
    os.chmod(script, 0o755)
    subprocess.run([WINE, "reg", "add", r"HKCU\Software\Wine\WineBrowser", "/v", "Browsers", "/t", "REG_SZ",
                    "/d", script, "/f"], capture_output=True, timeout=60)


def requested(server, path, seconds):
    """Whether `path` was asked of `server` within `seconds`."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        with server.lock:
            if any(p == path for _, p in server.log):
                return True
        time.sleep(0.3)
    return False


def config_text(work):
    """app.config in the work folder as text ("" when there is none)."""
    try:
        with open(os.path.join(work, "app.config"), "rb") as f:
            data = f.read()
    except OSError:
        return ""
    return data.decode("utf-16") if data.startswith(b"\xff\xfe") else data.decode("latin-1")


def build_bar_probe(work):
    """bar_probe.exe: the bar's rectangle, top-level windows by class, the shell's bar queries."""
    probe = os.path.join(work, "bar_probe.exe")
    subprocess.run(["x86_64-w64-mingw32-g++-posix", "-std=c++20", "-O1", "-static", "-municode", "-o", probe,
                    os.path.join(HERE, "bar_probe.cpp")], check=True)
    return probe


def probe_lines(probe, *args):
    """The probe's output lines as tuples of integers."""
    try:
        out = subprocess.run([WINE, probe] + [str(a) for a in args], capture_output=True, timeout=60).stdout
    except subprocess.TimeoutExpired:
        return []
    return [tuple(int(v) for v in line.split()) for line in out.decode().splitlines() if line.strip()]


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True)


def screenshot(path):
    xwd = subprocess.run(["xwd", "-root", "-silent"], check=True, capture_output=True).stdout
    subprocess.run(["convert", "xwd:-", path], input=xwd, check=True)


def visible(probe, window_class):
    """Rectangles of the visible top-level windows of a class ("#32768" for menus)."""
    return [r[1:] for r in probe_lines(probe, "windows", window_class) if r and r[0] == 1]


def wait_visible(probe, window_class, want, seconds=10):
    """The visible windows of the class once `want(list)` holds (or the last seen)."""
    deadline = time.time() + seconds
    found = visible(probe, window_class)
    while not want(found) and time.time() < deadline:
        time.sleep(0.3)
        found = visible(probe, window_class)
    return found


def quick_start_menu(probe, at=(16, 12), shot=None):
    """The rectangles of the menus a click on the start image at `at` opens (shot to `shot`
    while open), after closing them again with Esc."""
    xdotool("mousemove", *at, "click", 1)
    menus = wait_visible(probe, "#32768", lambda w: len(w) >= 1)
    if menus and shot:
        screenshot(shot)
    xdotool("key", "Escape")
    wait_visible(probe, "#32768", lambda w: not w)
    return menus


def setup_bar_probe():
    """For a test that looks at the bar's windows."""
    return _setup(build_bar_probe, lambda probe: probe_lines(probe, "rect"))
