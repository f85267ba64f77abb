#!/usr/bin/env python3
"""Starts Tidewire.exe under Wine on a damaged app.config and judges it from outside.

The file holds garbage values, absurd numbers (Reload_Time=-5, Ticker_Speed=0,
Ticker_Font_Size=99999, Ticker_Font_Color=-1), binary junk, and custom feeds under keys of the
user's own naming. The program must start and scroll (speed 0 is read as the default 25 ms, not
as a frozen ticker), close normally, and leave every custom feed in the file exactly once with
its flag, and "Reload_Time" at the default 5 rather than -5.

Run by ctest in the Windows build, inside scripts/with-wine.sh, like ticker_e2e.py.
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ticker_e2e as e2e  # noqa: E402  (shared screenshot, picture and settings helpers)

# As the damaged file below lists them: a line's disabled index is its position minus one, so
# "Disabled=2" names line 3 of the section (counting from 0), "Url_9=http://third.example/news": the third feed.
CUSTOM = [("http://mine.example/feed.xml", True), ("http://second.example/rss", True),
          ("http://third.example/news", False)]


def damaged_config():
    junk = bytes((i * 7919 + 13) % 256 for i in range(3000))
    return (b"[Global]\r\n"
            b"Url=http://current.example/rss\r\n"
            b"Reload_Time=-5\r\n"
            b"Max_Showing_Items=lots\r\n"
            b"Auto_Url_Jump=maybe\r\n"
            b"Ticker_Speed=0\r\n"
            b"Ticker_Font_Size=99999\r\n"
            b"Ticker_Font_Color=-1\r\n"
            b"Ticker_Font_Name=\r\n"
            b"Ticker_Font_Style=\x01\x02\r\n"
            + junk + b"\r\n"
            b"[Default Urls]\r\nDisabled=x,,99,-1,3\r\n"
            b"[Custom Urls]\r\n"
            b"my favourite=http://mine.example/feed.xml\r\n"
            b"Disabled=2\r\n"
            b"Url_0=http://second.example/rss\r\n"
            b"Url_9=http://third.example/news\r\n"
            b"Url_9=\r\n")


def custom_entries(config):
    """The custom feeds as the program reads them: each line but "Disabled" in order, its index
    being the line position minus one."""
    section = config.get("custom urls", {})
    disabled = set(x.strip() for x in section.get("disabled", "").split(",") if x.strip())
    return [(value, str(i - 1) not in disabled) for i, (key, value) in enumerate(section.items())
            if key != "disabled" and value]


def read_config_lines(path):
    """The file's "Custom Urls" lines in order (read_config keeps only the last of repeated keys)."""
    raw = open(path, "rb").read()
    text = raw[2:].decode("utf-16-le") if raw.startswith(b"\xff\xfe") else raw.decode("latin-1")
    lines, inside = [], False
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("["):
            inside = line.lower().startswith("[custom urls]")
        elif inside and "=" in line:
            lines.append(line)
    return lines


def main():
    args = e2e.parse_args()
    if args is None:
        return 2
    exe = e2e.prepare(os.path.abspath(args.exe), os.path.abspath(args.work))
    config_path = os.path.join(os.path.dirname(exe), "app.config")
    with open(config_path, "wb") as f:
        f.write(damaged_config())

    with e2e.running(exe) as process:
        deadline = time.time() + 60
        shot = None
        while time.time() < deadline and process.poll() is None:
            shot = e2e.screenshot(os.path.join(args.work, "wait.ppm"))
            if e2e.bar_is_up(shot):
                break
            time.sleep(0.3)
        if not e2e.check(shot is not None and e2e.bar_is_up(shot), "the bar appeared despite the damaged file"):
            return 1
        time.sleep(2.0)  # let the text come in from the right, past the faded edge
        raw1 = e2e.grab()
        time.sleep(0.3)
        raw2 = e2e.grab()
        first = e2e.decode(raw1, os.path.join(args.work, "first.ppm"))
        second = e2e.decode(raw2, os.path.join(args.work, "second.ppm"))
        ticker = e2e.check_layout(first)
        if ticker:
            e2e.check_motion(first, second, ticker)

    config = e2e.read_config(config_path)
    glob = config.get("global", {})
    e2e.check(glob.get("reload_time") == "5", "Reload_Time=-5 was read as 5 and written back so (%r)" % glob.get("reload_time"))
    e2e.check(glob.get("url") == "http://current.example/rss", "Url kept (%r)" % glob.get("url"))
    lines = read_config_lines(config_path)
    urls = [line.split("=", 1)[1] for line in lines if not line.lower().startswith("disabled")]
    e2e.check(urls == [u for u, _ in CUSTOM], "each custom feed is in the file once, in order (%s)" % urls)
    e2e.check(custom_entries(config) == CUSTOM, "the custom feeds keep their flags (%s)" % custom_entries(config))
    return e2e.verdict()


if __name__ == "__main__":
    sys.exit(main())
