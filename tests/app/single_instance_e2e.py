#!/usr/bin/env python3
"""One ticker, opened by .rss files, judged from outside.

The first start registers the .rss file class with this executable (command, DDE execute string,
service, topic, icon) and records its single-instance window. A DDE client sending
[Open("<path>")] makes the running ticker show that file; two commands back to back leave the
second file on screen; an empty path fails as a missing file does. Hostile clients (a 1 MB
command, unbalanced brackets and quotes, a missing file, a 100 MB file that is no feed, 1,000
commands in a burst) leave it running in a clear state.
A second start ends by itself, leaves one bar and brings the first to the front. A record left by
a killed instance is overwritten; a moved executable repairs the association; where the machine's
classes refuse the keys, the association goes to the user's own classes and DDE still works; where
both refuse, the ticker still starts without any message box.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 single_instance_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
"""
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (FAILED_TEXT, HERE, WINE, Server, check, parse_args, prepare, start,  # noqa: E402
                         stop, ticker_texts, verdict, wait_for, write_single_feed_config)
from e2e_support import build_probe as build_texts_probe  # noqa: E402

TITLE = "Tidewire v1.1"


def feed(title, *items):
    body = "".join("<item><title>%s</title><link>http://127.0.0.1/</link></item>" % i for i in items)
    return ("<rss version=\"2.0\"><channel><title>%s</title>%s</channel></rss>" % (title, body)).encode()


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def build_probe(work):
    probe = os.path.join(work, "dde_probe.exe")
    subprocess.run(["x86_64-w64-mingw32-g++-posix", "-std=c++20", "-O1", "-static", "-municode", "-o", probe,
                    os.path.join(HERE, "dde_probe.cpp"), "-ladvapi32"], check=True)
    return probe


def probe(exe, *args, timeout=120):
    try:
        out = subprocess.run([WINE, exe] + [str(a) for a in args], capture_output=True, timeout=timeout).stdout
    except subprocess.TimeoutExpired:
        return ["timeout"]
    return [line.strip() for line in out.decode("utf-8", "replace").splitlines()]


def first(lines):
    return lines[0] if lines else ""


def bars(dde):
    return [line.split()[1] for line in probe(dde, "bars") if line.startswith("TfrMain ")]


def boxes(dde):
    return [line for line in probe(dde, "bars") if line.startswith("#32770 ")]


def showing(texts_probe, title, seconds=15):
    return wait_for(texts_probe, lambda t: any(title in x for x in t), seconds) is not None


def main():
    args = parse_args()
    if args is None:
        return 1
    work = os.path.abspath(args.work)
    exe = prepare(os.path.abspath(args.exe), work)
    texts = build_texts_probe(work)
    dde = build_probe(work)
    ticker_texts(texts)  # the first Wine start in a fresh prefix is slow: not while the ticker runs

    one, two = os.path.join(work, "one.rss"), os.path.join(work, "two.rss")
    with open(one, "wb") as f:
        f.write(feed("File One", "First file item"))
    with open(two, "wb") as f:
        f.write(feed("File Two", "Second file item"))
    junk = os.path.join(work, "junk.bin")
    with open(junk, "wb") as f:
        f.truncate(100 * 1024 * 1024)

    server = Server({"/feed.xml": feed("Net", "Network item")})
    server.start()
    write_single_feed_config(work, server.url("/feed.xml"))
    process = start(exe, server)
    try:
        check(showing(texts, "Network item"), "the first instance shows its network feed")
        exe_win = windows_path(exe)
        command_key = "rssfile\\shell\\open\\command"
        check(first(probe(dde, "get", "HKCR", ".rss")) == "rssfile", "HKCR\\.rss names rssfile")
        check(first(probe(dde, "get", "HKCR", "rssfile")) == "RSS File", "rssfile is described")
        check(first(probe(dde, "get", "HKCR", command_key)) == '"%s" "%%1"' % exe_win,
              "the open command runs this executable")
        check(first(probe(dde, "get", "HKCR", "rssfile\\shell\\open\\ddeexec")) == '[Open("%1")]',
              "the DDE execute string")
        check(first(probe(dde, "get", "HKCR", "rssfile\\shell\\open\\ddeexec\\Application")) == "Tidewire",
              "the DDE service")
        check(first(probe(dde, "get", "HKCR", "rssfile\\shell\\open\\ddeexec\\topic")) == "Macros", "the DDE topic")
        check(first(probe(dde, "get", "HKCR", "rssfile\\DefaultIcon")) == exe_win + ",1", "the class icon")
        record = first(probe(dde, "get", "HKCR", "TpkOnlyOne", TITLE))
        check(record not in ("", "-", "0"), "the first instance recorded its window (%s)" % record)

        # Open commands from the shell's side of a DDE conversation.
        check(first(probe(dde, "send", '[Open("%s")]' % windows_path(one))) == "1", "an Open command is acknowledged")
        check(showing(texts, "First file item"), "the opened file is shown")
        probe(dde, "send", '[Open("%s")][Open("%s")]' % (windows_path(one), windows_path(two)))
        check(showing(texts, "Second file item"), "two commands back to back: the second file stays")

        # Hostile clients.
        # 1 MB of execute data: the path's characters travel as UTF-16. (Wine never delivers a
        # transaction of about 2 MB or more between processes; the client times out.)
        huge = first(probe(dde, "huge", 1024 * 1024 // 2 - 16))
        check(huge == "1", "a 1 MB command is acknowledged (%s)" % huge)
        check(first(probe(dde, "send", '[Open("unbalanced]][[', '[[[Open(')) == "2",
              "unbalanced brackets and quotes are acknowledged")
        check(showing(texts, "Second file item", 5), "... and ignored: the ticker keeps its file")
        # An empty path between the first two quotes loads as a file that cannot be read.
        check(first(probe(dde, "send", '[Open(""")][')) == "1", "a third quote is acknowledged")
        check(showing(texts, FAILED_TEXT), "... and opens the empty path: the failure line")
        probe(dde, "send", '[Open("%s")]' % windows_path(two))
        check(showing(texts, "Second file item"), "a good command afterwards shows its file again")
        probe(dde, "send", '[Open("%s")]' % windows_path(os.path.join(work, "missing.rss")))
        check(showing(texts, FAILED_TEXT), "a missing file gives the failure line")
        probe(dde, "send", '[Open("%s")]' % windows_path(two))
        check(showing(texts, "Second file item"), "a file after the failure is shown again")
        # An empty path names no readable file: it fails as one, not ignored as a broken command.
        check(first(probe(dde, "send", '[Open("")]')) == "1", "an Open command with an empty path is acknowledged")
        check(showing(texts, FAILED_TEXT), "... and gives the failure line")
        probe(dde, "send", '[Open("%s")]' % windows_path(two))
        check(showing(texts, "Second file item"), "... and the next file is shown again")
        begun = time.time()
        probe(dde, "send", '[Open("%s")]' % windows_path(junk))
        check(showing(texts, FAILED_TEXT) and time.time() - begun < 20, "a 100 MB file that is no feed gives the failure line")
        begun = time.time()
        burst = first(probe(dde, "burst", 1000, '[Open("%s")]' % windows_path(one), timeout=240))
        check(burst == "1000", "1,000 commands in a burst are all acknowledged (%s, %.1f s)" % (burst, time.time() - begun))
        check(showing(texts, "First file item"), "... and the ticker shows their file")
        check(process.poll() is None and len(bars(dde)) == 1, "the ticker survived every hostile client")

        # A second start hands over and ends.
        before = first(probe(dde, "front"))
        check(not before.startswith("TfrMain"), "before the second start the bar is not in front (%s)" % before)
        second = subprocess.Popen([WINE, exe], cwd=work)
        try:
            code = second.wait(timeout=60)
        except subprocess.TimeoutExpired:
            second.kill()
            code = None
        check(code == 0, "the second instance ended by itself (exit %s)" % code)
        running = bars(dde)
        check(len(running) == 1 and process.poll() is None, "one bar is left, the first one (%s)" % running)
        front = first(probe(dde, "front")).split()
        check(len(front) == 2 and front[0] == "TfrMain" and running and front[1] == running[0],
              "the first bar was brought to the front (%s)" % front)
        check(not boxes(dde), "no message box")
    finally:
        stop(process)
    check(first(probe(dde, "get", "HKCR", "TpkOnlyOne", TITLE)) == "-", "a clean exit removes the record")

    # A killed instance leaves its record behind; the next first instance overwrites it.
    process = start(exe, server)
    showing(texts, "Network item")
    stale = first(probe(dde, "get", "HKCR", "TpkOnlyOne", TITLE))
    subprocess.run([WINE, "taskkill", "/F", "/IM", "Tidewire.exe"], capture_output=True, timeout=60)
    process.wait(timeout=30)
    check(first(probe(dde, "get", "HKCR", "TpkOnlyOne", TITLE)) == stale, "the killed instance left its record")
    process = start(exe, server)
    try:
        check(showing(texts, "Network item") and len(bars(dde)) == 1, "the next start runs as the first instance")
        fresh = first(probe(dde, "get", "HKCR", "TpkOnlyOne", TITLE))
        check(fresh not in ("-", stale), "the stale record was overwritten (%s -> %s)" % (stale, fresh))
    finally:
        stop(process)

    # The executable moved: the association follows it.
    moved_dir = os.path.join(work, "moved")
    os.makedirs(moved_dir)
    moved = os.path.join(moved_dir, "Tidewire.exe")
    shutil.copy2(exe, moved)
    write_single_feed_config(moved_dir, server.url("/feed.xml"))
    process = start(moved, server)
    try:
        showing(texts, "Network item")
        check(first(probe(dde, "get", "HKCR", "rssfile\\shell\\open\\command")) == '"%s" "%%1"' % windows_path(moved),
              "after a move the open command runs the moved executable")
    finally:
        stop(process)

    try:
        refusing_classes(exe, server, dde, texts, one, two)
    finally:
        # The volatile keys last as long as the Wine session: later tests in it register .rss too.
        for key in ("HKCR\\rssfile", "HKCR\\.rss", "HKCU\\Software\\Classes\\rssfile",
                    "HKCU\\Software\\Classes\\.rss"):
            subprocess.run([WINE, "reg", "delete", key, "/f"], capture_output=True, timeout=60)
    server.stop()
    return verdict()


def refusing_classes(exe, server, dde, texts, one, two):
    # The machine's classes refuse the class's keys (a volatile key keeps no lasting subkeys):
    # the association goes to the user's own classes and the ticker still takes Open commands.
    check(first(probe(dde, "volatile", "HKCR", "rssfile")) == "refused", "the machine's classes now refuse rssfile")
    process = start(exe, server)
    try:
        showing(texts, "Network item")
        check(first(probe(dde, "get", "HKCU", "Software\\Classes\\rssfile\\shell\\open\\command"))
              == '"%s" "%%1"' % windows_path(exe),
              "the open command is in the user's own classes")
        check(first(probe(dde, "get", "HKCU", "Software\\Classes\\rssfile\\shell\\open\\ddeexec")) == '[Open("%1")]',
              "... with its DDE execute string")
        probe(dde, "send", '[Open("%s")]' % windows_path(two))
        check(showing(texts, "Second file item"), "DDE commands still reach the ticker")
        check(not boxes(dde), "no message box")
    finally:
        stop(process)

    # Neither place can be written: the ticker starts without DDE commands and shows no box.
    subprocess.run([WINE, "reg", "delete", "HKCU\\Software\\Classes\\.rss", "/f"], capture_output=True, timeout=60)
    check(first(probe(dde, "volatile", "HKCU", "Software\\Classes\\rssfile")) == "refused",
          "the user's classes now refuse rssfile too")
    process = start(exe, server)
    try:
        check(showing(texts, "Network item") and len(bars(dde)) == 1, "the ticker starts anyway")
        check(not boxes(dde), "no message box")
        probe(dde, "send", '[Open("%s")]' % windows_path(one))
        check(not showing(texts, "First file item", 3), "Open commands are not acted on")
    finally:
        stop(process)


if __name__ == "__main__":
    sys.exit(main())
