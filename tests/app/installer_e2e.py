#!/usr/bin/env python3
"""Install, upgrade and removal of the release, judged from outside in a fresh Wine prefix.

An older installer run with /S installs per user; the program starts from the installed folder
and docks. A newer installer run over it while the ticker runs closes the ticker (which saves its
feed state) and keeps app.config with its custom feed. The uninstaller run with /S while the
ticker runs ends it and leaves only app.config: no program, no Start-menu entry, no uninstall
entry, no Run value, no .rss association, and the top strip of the screen is free again.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 installer_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
"""
import glob
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (WINE, Server, check, parse_args, probe_lines, start, verdict,  # noqa: E402
                         build_bar_probe, write_single_feed_config)

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tidewire"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
SCREEN_W, BAR_H = 1024, 25


def project_version(exe):
    """The version CMake read from the application title, from the build the program came from."""
    cache = os.path.join(os.path.dirname(os.path.dirname(exe)), "CMakeCache.txt")
    with open(cache, encoding="utf-8") as f:
        for line in f:
            if line.startswith("CMAKE_PROJECT_VERSION:"):
                return line.split("=", 1)[1].strip()
    return None


def make_installer(exe, version, out):
    subprocess.run(["makensis", "-V2", "-DVERSION=" + version, "-DEXE=" + exe,
                    "-DICON=" + os.path.join(ROOT, "resources", "Tidewire.ico"), "-DOUTFILE=" + out,
                    os.path.join(ROOT, "installer", "Tidewire.nsi")], check=True)


def reg_value(key, name=None):
    """The value's data, or None when the key or value does not exist."""
    args = [WINE, "reg", "query", key] + (["/v", name] if name is not None else ["/ve"])
    result = subprocess.run(args, capture_output=True, timeout=60)
    if result.returncode != 0:
        return None
    for line in result.stdout.decode("utf-8", "replace").splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            return parts[2] if len(parts) == 3 else ""
    return None


def reg_key_exists(key):
    return subprocess.run([WINE, "reg", "query", key], capture_output=True, timeout=60).returncode == 0


def wait_until(predicate, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if predicate():
            return True
        time.sleep(0.3)
    return predicate()


def docked(probe):
    return wait_until(lambda: probe_lines(probe, "rect")[:1] == [(0, 0, SCREEN_W, BAR_H)], 30)


def main():
    args = parse_args()
    if args is None:
        return 2
    if shutil.which("makensis") is None:
        print("makensis is missing: scripts/setup.sh installs Debian's nsis")
        return 1
    work = os.path.abspath(args.work)
    if os.path.isdir(work):
        shutil.rmtree(work)
    os.makedirs(work)
    exe = os.path.abspath(args.exe)
    version = project_version(exe)
    if not check(bool(version), "the build knows the program's version: %s" % version):
        return verdict()
    old_setup, new_setup = os.path.join(work, "old-setup.exe"), os.path.join(work, "new-installer.exe")
    make_installer(exe, "0.9", old_setup)
    make_installer(exe, version, new_setup)
    probe = build_bar_probe(work)
    probe_lines(probe, "rect")  # the first Wine start in a fresh prefix is slow: not while the bar runs

    prefix = os.environ["WINEPREFIX"]
    check(subprocess.run([WINE, old_setup, "/S"], timeout=120).returncode == 0, "the older installer ran silently")
    found = glob.glob(os.path.join(prefix, "drive_c/users/*/AppData/Local/Programs/Tidewire/Tidewire.exe"))
    if not check(len(found) == 1, "installed into the user's local programs folder: %s" % found):
        return verdict()
    installed = found[0]
    folder = os.path.dirname(installed)
    check(reg_value(UNINSTALL_KEY, "DisplayVersion") == "0.9" and reg_value(UNINSTALL_KEY, "Publisher") == "Tidewire",
          "an uninstall entry for the user, version 0.9, publisher Tidewire")
    check(bool(glob.glob(os.path.join(prefix, "drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start Menu/"
                                              "Programs/Tidewire.lnk"))), "a Start-menu entry")

    server = Server({"/custom.xml": b"<rss><channel><title>Mine</title><item><title>My item</title>"
                                    b"<link>http://example.com/</link></item></channel></rss>"})
    server.start()
    feed = server.url("/custom.xml")
    write_single_feed_config(folder, feed)
    process = start(installed, server)
    try:
        check(docked(probe), "the installed program starts and docks at the top")
        command = reg_value(r"HKCR\rssfile\shell\open\command")
        location = reg_value(UNINSTALL_KEY, "InstallLocation")
        check(bool(location) and command is not None and command.lower().startswith('"%s\\tidewire.exe"' % location.lower()),
              "it registered .rss for the installed copy: %s" % command)
        scheme = reg_value(r"HKCU\Software\Classes\feed\shell\open\command")
        check(scheme is not None and scheme.lower().startswith('"%s\\tidewire.exe"' % location.lower()),
              "... and the feed: scheme in the user's classes: %s" % scheme)

        check(subprocess.run([WINE, new_setup, "/S"], timeout=120).returncode == 0,
              "the newer installer ran silently over the running ticker")
        ended = wait_until(lambda: process.poll() is not None, 30)
        check(ended, "the upgrade closed the running ticker")
        with open(os.path.join(folder, "app.config"), encoding="latin-1") as f:
            config = f.read()
        check("Url_0=" + feed in config, "app.config kept the custom feed over the upgrade")
        check(reg_value(UNINSTALL_KEY, "DisplayVersion") == version, "the uninstall entry shows version %s" % version)
        with open(installed, "rb") as a, open(exe, "rb") as b:
            check(a.read() == b.read(), "the installed program is the new one")

        process = start(installed, server)
        check(docked(probe), "the upgraded program starts and docks")
        run_file = os.path.join(work, "run.reg")
        with open(run_file, "w", encoding="utf-16", newline="\r\n") as f:
            f.write('Windows Registry Editor Version 5.00\n\n[%s]\n"[Tidewire]"="\\"%s\\\\Tidewire.exe\\""\n'
                    % (RUN_KEY.replace("HKCU", "HKEY_CURRENT_USER"), location.replace("\\", "\\\\")))
        subprocess.run([WINE, "regedit", "/S", run_file], timeout=60)
        check(reg_value(RUN_KEY, "[Tidewire]") is not None, "run at logon is set, as the dialog would")

        check(reg_key_exists(r"HKCR\TpkOnlyOne"), "the running ticker has its single-instance record")
        uninstaller = os.path.join(folder, "Uninstall.exe")
        subprocess.run([WINE, uninstaller, "/S"], timeout=120)
        # The uninstaller runs on from a copy of itself; it is done once it has deleted the original.
        check(wait_until(lambda: not os.path.exists(uninstaller), 60), "the uninstaller finished")
        check(wait_until(lambda: process.poll() is not None, 30), "the uninstaller closed the running ticker")
        check(sorted(os.listdir(folder)) == ["app.config"], "only app.config is left: %s" % os.listdir(folder))
        check(reg_value(UNINSTALL_KEY, "DisplayName") is None, "no uninstall entry")
        check(reg_value(RUN_KEY, "[Tidewire]") is None, "no Run value")
        check(not reg_key_exists(r"HKCR\rssfile") and reg_value(r"HKCR\.rss") is None, "no .rss association")
        check(not reg_key_exists(r"HKCR\TpkOnlyOne"), "no single-instance record")
        check(not reg_key_exists(r"HKCU\Software\Classes\feed") and not reg_key_exists(r"HKCU\Software\Classes\feeds"),
              "no feed: or feeds: scheme")
        check(not glob.glob(os.path.join(prefix, "drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start Menu/"
                                                  "Programs/Tidewire.lnk")), "no Start-menu entry")
        free = probe_lines(probe, "query", 1)
        check(free[:1] == [(0, 0, SCREEN_W, 30)], "no app bar reservation is left: %s" % free)
    finally:
        if process.poll() is None:
            subprocess.run([WINE, "taskkill", "/IM", "Tidewire.exe"], capture_output=True, timeout=60)
            try:
                process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        server.stop()
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
