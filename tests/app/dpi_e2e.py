#!/usr/bin/env python3
"""The bar on a dense display, judged from outside: Tidewire.exe runs once as the prefix comes
(96 pixels per inch) and once with the prefix's density set to 144. At 144 the bar docks 38
pixels high (25 x 1.5, halves away from zero), another bar asking for the top is placed below 38, and
in the screenshot the tile's bottom row lies on row 37, the start image is half as wide again and
the text of the title and of the scrolling line stands about half as tall again as at 96, and so
are the Quick Start Menu the start image opens and the configuration dialog.

Run by ctest in the Windows build, inside scripts/with-wine.sh:
    python3 dpi_e2e.py --exe build/.../Tidewire.exe --work <scratch folder>
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_support import (WINE, Server, build_bar_probe, check, parse_args, prepare, probe_lines,  # noqa: E402
                         quick_start_menu, running, screenshot, verdict, write_single_feed_config, xdotool)
from config_e2e import close_dialog, open_dialog  # noqa: E402
from ticker_e2e import TITLE_COLOR, close, read_ppm  # noqa: E402

SCREEN_W = 1024
WINESERVER = "/usr/lib/wine/wineserver64"
TILE_BOTTOM = (0x47, 0x60, 0x82)
TICKER_FONT = (0xFF, 0xF5, 0xE6)  # colour value 0xE6F5FF
# A title whose every stretch holds the tallest glyph ("/", as the "1/1" before it), so the text's
# ink spans the same rows wherever the scrolling line stands.
TITLE = b"H/H/" * 60


def set_density(dpi):
    """The prefix's density, read by programs started once the Wine server has ended."""
    subprocess.run([WINE, "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                    "/d", str(dpi), "/f"], capture_output=True, timeout=60, check=True)
    subprocess.run([WINESERVER, "-w"], timeout=60)


def ink_rows(shot, left, right, top, bottom, colour, tolerance):
    """Rows of [top, bottom) with a pixel near `colour` between columns left and right."""
    return [y for y in range(top, bottom) if any(close(shot.at(x, y), colour, tolerance) for x in range(left, right))]


def span(rows):
    return rows[-1] - rows[0] + 1 if rows else 0


def orange_width(shot, y, right):
    """Width from the first to the last orange pixel of row y left of `right`: the start image."""
    xs = [x for x in range(right) if shot.at(x, y)[0] > 0xC0 and 0x50 < shot.at(x, y)[1] < 0xB8
          and shot.at(x, y)[2] < 0x60]
    return xs[-1] - xs[0] + 1 if xs else 0


def quick_start_size(probe, dpi, work):
    """(width, height) of the Quick Start Menu the start image opens, shot as menu-<dpi>.png."""
    menus = quick_start_menu(probe, (16 * dpi // 96, 12 * dpi // 96), os.path.join(work, "menu-%d.png" % dpi))
    check(len(menus) == 1, "at %d: the start image opens the Quick Start Menu: %s" % (dpi, menus))
    if not menus:
        return 0, 0
    left, top, right, bottom = menus[0]
    return right - left, bottom - top


def configuration_dialog(probe, dpi, work):
    """(width, height) of the configuration dialog, opened from the bar's menu; shot as
    dialog-<dpi>.png."""
    dialog = open_dialog(probe, menu_at=(520, 3), scale=dpi / 96)
    check(dialog is not None, "at %d: \"Configuration...\" opens the dialog" % dpi)
    if dialog is None:
        return 0, 0
    screenshot(os.path.join(work, "dialog-%d.png" % dpi))
    xdotool("key", "Escape")
    check(close_dialog(probe), "at %d: Esc closes the dialog" % dpi)
    left, top, right, bottom = dialog
    return right - left, bottom - top


def run_at(dpi, exe, work, probe, server):
    """Starts the program at `dpi`, judges where it docks, and measures its screenshot."""
    set_density(dpi)
    height = 38 if dpi == 144 else 25
    begun = time.time()
    with running(exe, server, label="at %d" % dpi, keep_server=True):
        rect = None
        for _ in range(40):
            lines = probe_lines(probe, "rect")
            rect = lines[0] if lines else None
            if rect == (0, 0, SCREEN_W, height):
                break
            time.sleep(0.3)
        check(rect == (0, 0, SCREEN_W, height), "at %d: docked at the top, %d high: %s" % (dpi, height, rect))
        below = probe_lines(probe, "query", 1)
        check(below[:1] and below[0][1] == height, "at %d: another bar for the top is placed below %d: %s"
              % (dpi, height, below))
        deadline = time.time() + 20
        while not server.feed_requests(begun) and time.time() < deadline:
            time.sleep(0.2)
        time.sleep(3)  # the item's line has come in from the right
        path = os.path.join(work, "bar-%d.ppm" % dpi)
        shot_xwd = subprocess.run(["xwd", "-root", "-silent"], check=True, capture_output=True).stdout
        subprocess.run(["convert", "xwd:-", path], input=shot_xwd, check=True)
        subprocess.run(["convert", path, path[:-4] + ".png"], check=True)
        shot = read_ppm(path, max_rows=60)
        menu = quick_start_size(probe, dpi, work)
        dialog = configuration_dialog(probe, dpi, work)
    check(close(shot.at(600, height - 1), TILE_BOTTOM, 6) and not close(shot.at(600, height), TILE_BOTTOM, 6),
          "at %d: the tile's bottom row is row %d: %s, below it %s" % (dpi, height - 1, shot.at(600, height - 1),
                                                                       shot.at(600, height)))
    scaled = (lambda v: v * 3 // 2) if dpi == 144 else (lambda v: v)
    start_image = orange_width(shot, height // 2, scaled(40))
    # The title ("Dense" once the feed has come) before the previous arrow, and the scrolling line's
    # middle stretch, where the glyphs show the font colour unfaded.
    title = span(ink_rows(shot, scaled(30), scaled(62), 0, height, TITLE_COLOR, 40))
    text = span(ink_rows(shot, 300, 900, 0, height, TICKER_FONT, 40))
    print("at %d: start image %d wide, title ink %d rows, ticker ink %d rows, menu %s, dialog %s"
          % (dpi, start_image, title, text, menu, dialog))
    return (start_image, title, text) + menu + dialog


def main():
    args = parse_args()
    if args is None:
        return 2
    work = os.path.abspath(args.work)
    exe = prepare(os.path.abspath(args.exe), work)
    probe = build_bar_probe(work)
    server = Server({"/feed.xml": b"<rss><channel><title>Dense</title><item><title>" + TITLE +
                                  b"</title><link>http://example.com/</link></item></channel></rss>"})
    server.start()
    write_single_feed_config(work, server.url("/feed.xml"))
    try:
        normal = run_at(96, exe, work, probe, server)
        dense = run_at(144, exe, work, probe, server)
    finally:
        server.stop()
        set_density(96)  # the prefix is shared with the scripts that run after this one
    names = ("start image width", "title ink height", "ticker ink height", "menu width", "menu height",
             "dialog width", "dialog height")
    for name, a, b in zip(names, normal, dense):
        ratio = b / a if a else 0
        check(1.3 <= ratio <= 1.7, "the %s grows by about 1.5 from 96 to 144: %d to %d (%.2f)" % (name, a, b, ratio))
    return verdict()


if __name__ == "__main__":
    sys.exit(main())
