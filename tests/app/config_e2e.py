#!/usr/bin/env python3
"""The configuration dialog driven with real keyboard input, judged from outside.

First opening (a right click on the tray icon, a click on "Configuration..."): the dialog shows,
and each of its five pages is reached with Down in the page tree (one screenshot each). On
"Custom Links", Tab reaches "Add RSS link"; an address typed with blanks around it and Enter add
it; on "General Settings" Space checks run-at-logon; Enter is OK. Then app.config holds the
trimmed address and the page, the Run key holds "[Tidewire]", and the Quick Start Menu is taller
by the custom group.

Second opening: the dialog opens on "General Settings"; Space unchecks run-at-logon, Enter is OK,
and the value is gone from the Run key. A third opening closed with Esc changes nothing.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 config_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (WINE, Server, check, config_text, quick_start_menu, screenshot, setup_bar_probe,  # noqa: E402
                         start, stop, verdict, wait_visible, xdotool)

TRAY_ICON = (12, 31)
START_IMAGE = (16, 12)
CONFIG_ENTRY_Y = 93      # "Configuration..." below the tray menu's top edge
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
FEED = (b"<rss><channel><title>Config</title><item><title>One</title><link>http://example.com/1</link>"
        b"</item></channel></rss>")
PAGES = ["rss-settings", "default-links", "custom-links", "general", "appearance"]


def keys(*names):
    for name in names:
        xdotool("key", "--delay", 150, name)
        time.sleep(0.25)


def open_dialog(probe, menu_at=TRAY_ICON, scale=1.0):
    """The dialog's rectangle after a click on "Configuration..." in the tray menu, opened by a
    right click at `menu_at` and drawn `scale` times its design size, or None."""
    xdotool("mousemove", *menu_at, "click", 3)
    menus = wait_visible(probe, "#32768", lambda w: len(w) >= 1)
    if len(menus) != 1:
        return None
    left, top = menus[0][0], menus[0][1]
    # The fourth entry, below "Pause ticker", "Hide ticker" and "RSS Feeds" and their separators
    # (an entry is 19 pixels high).
    xdotool("mousemove", left + int(80 * scale), top + int(CONFIG_ENTRY_Y * scale), "click", 1)
    dialogs = wait_visible(probe, "#32770", lambda w: len(w) == 1)
    if len(dialogs) != 1:
        return None
    # Without a window manager the keyboard stays with the X window that had it: give it to the
    # dialog, as a user's click on it would.
    found = subprocess.run(["xdotool", "search", "--name", "^Configuration$"], capture_output=True, text=True)
    for window in found.stdout.split():
        subprocess.run(["xdotool", "windowfocus", "--sync", window], capture_output=True, timeout=10)
    time.sleep(0.5)
    return dialogs[0]


def close_dialog(probe):
    return wait_visible(probe, "#32770", lambda w: not w) == []


def quick_start_height(probe):
    menus = quick_start_menu(probe, START_IMAGE)
    return menus[0][3] - menus[0][1] if menus else 0


def run_value():
    """The "[Tidewire]" line of the Run key as `reg query` prints it, or "" when there is none."""
    out = subprocess.run([WINE, "reg", "query", RUN_KEY, "/v", "[Tidewire]"], capture_output=True, timeout=60)
    lines = [l for l in out.stdout.decode("utf-8", "replace").splitlines() if "[Tidewire]" in l]
    return lines[0].strip() if out.returncode == 0 and lines else ""


def write_config(work, server):
    lines = ["[Global]", "Url=" + server.url("/a.xml"), "Reload_Time=0",
             "[Default Urls]", "Disabled=" + ",".join(str(n) for n in range(14)), "[Custom Urls]", "Disabled="]
    with open(os.path.join(work, "app.config"), "w", encoding="ascii", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def add_link_and_run_at_logon(work, probe, address):
    dialog = open_dialog(probe)
    if not check(dialog is not None, "\"Configuration...\" in the tray menu opens the dialog"):
        return False
    for i, name in enumerate(PAGES):
        if i:
            keys("Down")
        screenshot(os.path.join(work, "config-%d-%s.png" % (i, name)))
    keys("Up", "Up")                         # Custom Links
    keys("Tab", "Tab", "space")              # the list, then "Add RSS link" (the rest is disabled)
    xdotool("type", "--delay", 40, "  %s  " % address)  # replaces the selected "http://"
    keys("Return")                           # Enter in the link box finishes the addition
    screenshot(os.path.join(work, "config-link-added.png"))
    keys("shift+Tab", "Down")                # from the list back to the tree: General Settings
    keys("Tab", "space", "Return")           # run at logon, then OK
    return check(close_dialog(probe), "Enter closes the dialog")


def main():
    setup = setup_bar_probe()
    if setup is None:
        return 2
    work, exe, probe = setup
    server = Server({"/a.xml": FEED, "/c.xml": FEED})
    server.start()
    address = server.url("/c.xml")
    try:
        write_config(work, server)
        process = start(exe, server)
        try:
            deadline = time.time() + 20
            while not server.feed_requests() and time.time() < deadline:
                time.sleep(0.3)
            before = quick_start_height(probe)
            check(not run_value(), "no run-at-logon value at first")
            if add_link_and_run_at_logon(work, probe, address):
                text = config_text(work)
                check(("Url_0=" + address + "\r\n") in text, "app.config holds the trimmed address")
                check("Last_Config_Page=3" in text, "app.config holds the page the dialog closed on")
                value = run_value()
                check(value.endswith('\\Tidewire.exe"') and 'REG_SZ    "' in value,
                      "the Run key holds \"[Tidewire]\" with the program's quoted path: %s" % value)
                after = quick_start_height(probe)
                check(after > before, "the Quick Start Menu grew by the custom feed: %d -> %d" % (before, after))

                check(open_dialog(probe) is not None, "the dialog opens again")
                keys("Tab", "space", "Return")   # opens on General Settings: uncheck, OK
                check(close_dialog(probe), "OK closes it")
                check(not run_value(), "unchecking removes the value from the Run key")

                saved = config_text(work)
                check(open_dialog(probe) is not None, "and a third time")
                keys("Tab", "space", "Escape")
                check(close_dialog(probe), "Esc closes it")
                check(config_text(work) == saved and not run_value(), "Esc changes neither app.config nor the Run key")
        finally:
            stop(process)
    finally:
        server.stop()
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
