#!/usr/bin/env python3
"""The application bar on a desktop of two monitors, under Wine.

Xvfb gives Wine one monitor however many screens it has (its Xinerama heads all lie at 0,0), so
this starts an X server of its own: Xorg with the dummy driver and two RandR outputs side by side,
1024 x 768 each, which Wine lists as \\\\.\\DISPLAY1 (primary, at 0,0) and \\\\.\\DISPLAY2 (at
1024,0). On it, in a fresh prefix, the controls' Windows tests of the bar on the second monitor run
with TW_EXPECT_MONITORS=2, so one monitor fails them instead of skipping them. When the test asks,
the second output is turned off and on again through RandR, which Wine follows with its list of
monitors (it sends no WM_DISPLAYCHANGE for it; the test broadcasts that itself).

Then the program's story, in a prefix of its own on the same X server: with "Monitor" naming
\\\\.\\DISPLAY2, Tidewire.exe docks on that monitor's top edge and another program's query for
that edge is placed below it; once the shell forgot the bar (bar_probe's ABM_REMOVE) a
"TaskbarCreated" broadcast has the strip reserved again within 2 s; unplugged, the bar is on the
primary, and back on its monitor when it returns; dragged onto the primary's top edge it docks
there and app.config says so. The X server is stopped by its process id however the run ends.

Run by ctest in the Windows build (it finds controls_tests.exe beside the program's bin folder):
    python3 two_monitors_e2e.py --exe build/windows/bin/Tidewire.exe --work <scratch folder>
"""
import argparse
import ctypes
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "app"))

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TESTS = ["TpkAppBarWin32.DocksOnTheTopEdgeOfTheSecondMonitor", "TpkAppBarWin32.FollowsItsMonitorOutToThePrimaryAndBack",
         "TpkAppBarWin32.ARestartedShellFindsTheStripReservedAgainWithinTwoSeconds"]

XORG_CONF = """Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoAddGPU" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 32768
  Option "Monitor-DUMMY0" "left"
  Option "Monitor-DUMMY1" "right"
EndSection
%s
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "left"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 2048 768
  EndSubSection
EndSection
"""
MONITOR = """Section "Monitor"
  Identifier "%s"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
  Option "PreferredMode" "1024x768"
  Option "Position" "%d 0"
  Option "%s" "true"
EndSection
"""


def start_xorg(work):
    """(process, display) of an Xorg on the first free display number, or (None, reason)."""
    xorg = shutil.which("Xorg")
    if not xorg or not os.path.exists("/usr/lib/xorg/modules/drivers/dummy_drv.so"):
        return None, "Xorg and its dummy driver are missing (scripts/setup.sh installs them)"
    conf = os.path.join(work, "xorg.conf")
    with open(conf, "w") as f:
        f.write(XORG_CONF % (MONITOR % ("left", 0, "Primary") + MONITOR % ("right", 1024, "Enable")))
    for n in range(200, 260):
        if os.path.exists("/tmp/.X%d-lock" % n) or os.path.exists("/tmp/.X11-unix/X%d" % n):
            continue
        process = subprocess.Popen([xorg, ":%d" % n, "-config", conf, "-configdir", os.path.join(work, "none"),
                                    "-noreset", "-nolisten", "tcp", "-novtswitch", "-sharevts",
                                    "-logfile", os.path.join(work, "xorg.log")],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists("/tmp/.X11-unix/X%d" % n):
                return process, ":%d" % n
            if process.poll() is not None:
                break
            time.sleep(0.1)
        stop(process)
    return None, "no Xorg could be started (see %s)" % os.path.join(work, "xorg.log")


def set_second_output(display, on):
    """Turns the dummy driver's second output on (1024 x 768 at 1024,0) or off, and sizes the screen."""
    x = ctypes.CDLL("libX11.so.6")
    r = ctypes.CDLL("libXrandr.so.2")
    vp, ul = ctypes.c_void_p, ctypes.c_ulong

    class Resources(ctypes.Structure):
        _fields_ = [("timestamp", ul), ("configTimestamp", ul), ("ncrtc", ctypes.c_int), ("crtcs", ctypes.POINTER(ul)),
                    ("noutput", ctypes.c_int), ("outputs", ctypes.POINTER(ul)), ("nmode", ctypes.c_int), ("modes", vp)]

    class Output(ctypes.Structure):
        _fields_ = [("timestamp", ul), ("crtc", ul), ("name", ctypes.c_char_p), ("nameLen", ctypes.c_int),
                    ("mm_width", ul), ("mm_height", ul), ("connection", ctypes.c_ushort),
                    ("subpixel_order", ctypes.c_ushort), ("ncrtc", ctypes.c_int), ("crtcs", ctypes.POINTER(ul)),
                    ("nclone", ctypes.c_int), ("clones", ctypes.POINTER(ul)), ("nmode", ctypes.c_int),
                    ("npreferred", ctypes.c_int), ("modes", ctypes.POINTER(ul))]

    x.XOpenDisplay.restype = vp
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = ul
    x.XDefaultRootWindow.argtypes = [vp]
    x.XSync.argtypes = [vp, ctypes.c_int]
    x.XCloseDisplay.argtypes = [vp]
    r.XRRGetScreenResources.restype = ctypes.POINTER(Resources)
    r.XRRGetScreenResources.argtypes = [vp, ul]
    r.XRRGetOutputInfo.restype = ctypes.POINTER(Output)
    r.XRRGetOutputInfo.argtypes = [vp, vp, ul]
    r.XRRSetScreenSize.argtypes = [vp, ul, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_int]
    r.XRRSetCrtcConfig.argtypes = [vp, vp, ul, ul, ctypes.c_int, ctypes.c_int, ul, ctypes.c_ushort,
                                   ctypes.POINTER(ul), ctypes.c_int]
    d = x.XOpenDisplay(display.encode())
    root = x.XDefaultRootWindow(d)
    res = r.XRRGetScreenResources(d, root)
    output, crtc = res.contents.outputs[1], res.contents.crtcs[1]
    if on:
        r.XRRSetScreenSize(d, root, 2048, 768, 541, 203)
        mode = r.XRRGetOutputInfo(d, res, output).contents.modes[0]
        status = r.XRRSetCrtcConfig(d, res, crtc, 0, 1024, 0, mode, 1, (ul * 1)(output), 1)
    else:
        status = r.XRRSetCrtcConfig(d, res, crtc, 0, 0, 0, 0, 1, None, 0)
        r.XRRSetScreenSize(d, root, 1024, 768, 270, 203)
    x.XSync(d, 0)
    x.XCloseDisplay(d)
    return status == 0


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def replug(probe, on):
    """Turns the second output off or on, waits until Wine lists the monitors anew and broadcasts
    the display change Windows would send."""
    set_second_output(os.environ["DISPLAY"], on)
    deadline = time.time() + 20
    while time.time() < deadline and len(monitor_list(probe)) != (2 if on else 1):
        time.sleep(0.3)
    from e2e_support import WINE
    subprocess.run([WINE, probe, "displaychange"], capture_output=True, timeout=60)


def monitor_list(probe):
    from e2e_support import WINE
    out = subprocess.run([WINE, probe, "monitors"], capture_output=True, timeout=60).stdout.decode()
    return [line.split() for line in out.splitlines() if line.strip()]


def program_story():
    """Tidewire.exe on the second monitor, through a shell restart, an unplug and a drag."""
    from e2e_support import (WINE, Server, check, probe_lines, quick_start_menu, running, setup_bar_probe, verdict,
                             write_single_feed_config)
    from docking_e2e import drag, wait_rect
    setup = setup_bar_probe()
    if setup is None:
        return 2
    work, exe, probe = setup
    monitors = monitor_list(probe)
    check([m[1:] for m in monitors] == [["0", "0", "1024", "768", "1"], ["1024", "0", "2048", "768", "0"]],
          "Wine lists two monitors side by side: %s" % monitors)
    if len(monitors) != 2:
        return verdict()
    second = monitors[1][0]
    on_second, on_primary = (1024, 0, 2048, 25), (0, 0, 1024, 25)
    server = Server({"/feed.xml": b"<rss><channel><title>Two</title><item><title>On the second monitor</title>"
                                  b"</item></channel></rss>"})
    server.start()
    write_single_feed_config(work, server.url("/feed.xml"), ["Monitor=" + second])
    with running(exe, server):
        rect = wait_rect(probe, lambda r: r == on_second)
        check(rect == on_second, "Monitor=%s: the bar lies on that monitor's top edge: %s" % (second, rect))
        below = probe_lines(probe, "query", 1, 1024, 0, 2048, 768)
        check(below[:1] and below[0][1] == 25, "a bar asking for that edge is placed below it: %s" % below)
        menus = quick_start_menu(probe, at=(1024 + 16, 12))
        check(menus[:1] and menus[0][0] >= 1024 and menus[0][1] >= 25,
              "the Quick Start Menu opens below the bar, on its monitor: %s" % menus)

        removed = subprocess.run([WINE, probe, "remove"], capture_output=True, timeout=60).returncode
        check(removed == 0, "the shell forgets the bar (ABM_REMOVE for its window)")
        free = probe_lines(probe, "query", 1, 1024, 0, 2048, 768)
        check(free[:1] and free[0][1] == 0, "the strip is free once the shell forgot the bar: %s" % free)
        subprocess.run([WINE, probe, "taskbarcreated"], capture_output=True, timeout=60)
        begun = time.time()
        again = []
        while time.time() < begun + 2:
            again = probe_lines(probe, "query", 1, 1024, 0, 2048, 768)
            if again[:1] and again[0][1] == 25:
                break
        check(again[:1] and again[0][1] == 25 and time.time() < begun + 2.5,
              "after \"TaskbarCreated\" the strip is reserved again within 2 s: %s after %.1f s"
              % (again, time.time() - begun))

        replug(probe, False)
        rect = wait_rect(probe, lambda r: r == on_primary)
        check(rect == on_primary, "its monitor unplugged, the bar docks on the primary: %s" % (rect,))
        replug(probe, True)
        rect = wait_rect(probe, lambda r: r == on_second)
        check(rect == on_second, "plugged in again, the bar is back on its monitor: %s" % (rect,))

        drag((1024 + 520, 3), (520, 5))
        rect = wait_rect(probe, lambda r: r == on_primary)
        check(rect == on_primary, "dragged onto the primary's top edge, it docks there: %s" % (rect,))
    with open(os.path.join(work, "app.config"), encoding="ascii", errors="replace") as f:
        stored = [line.strip() for line in f if line.startswith("Monitor=")]
    check(stored == ["Monitor="], "the drag was stored: the primary, by no name: %s" % stored)
    return verdict()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--story", action="store_true", help="(inside with-wine.sh on the two monitors)")
    args, _ = parser.parse_known_args()
    if args.story:
        sys.argv.remove("--story")  # the shared helpers read --exe and --work only
        return program_story()
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    tests = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(args.exe))), "controls_tests.exe")
    if not os.path.exists(tests):
        print("FAIL  %s is not built" % tests)
        return 1
    xorg, display = start_xorg(work)
    if xorg is None:
        print("FAIL  " + display)
        return 1
    try:
        env = dict(os.environ, DISPLAY=display, TW_USE_DISPLAY="1", TW_EXPECT_MONITORS="2", TW_UNPLUG_BY_RANDR="1")
        env.pop("TW_KEEP_PREFIX", None)
        run = subprocess.Popen([os.path.join(ROOT, "scripts", "with-wine.sh"), work,
                                os.path.join(ROOT, "scripts", "wine-exec.sh"), tests, "--gtest_filter=" + ":".join(TESTS)],
                               env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        out = []
        for line in run.stdout:
            line = line.replace("\r", "")
            out.append(line)
            print(line, end="", flush=True)
            if line.startswith("TW-UNPLUG-SECOND"):
                print("(the second output goes off: %s)" % set_second_output(display, False), flush=True)
            elif line.startswith("TW-PLUG-SECOND"):
                print("(the second output comes back: %s)" % set_second_output(display, True), flush=True)
        code = run.wait(timeout=240)
        story = os.path.join(work, "program")
        print("== the program on two monitors", flush=True)
        told = subprocess.run([os.path.join(ROOT, "scripts", "with-wine.sh"), story, sys.executable,
                               os.path.abspath(__file__), "--story", "--exe", os.path.abspath(args.exe),
                               "--work", os.path.join(story, "run")], env=env, timeout=240).returncode
    finally:
        stop(xorg)
    passed = ["[       OK ] %s" % t in "".join(out) for t in TESTS]
    for test, ok in zip(TESTS, passed):
        print(("ok    " if ok else "FAIL  ") + test)
    print(("ok    " if told == 0 else "FAIL  ") + "the program's story on two monitors")
    good = code == 0 and all(passed) and told == 0
    print("PASSED" if good else "FAILED")
    return 0 if good else 1


if __name__ == "__main__":
    sys.exit(main())
