#!/usr/bin/env python3
"""The application bar on a desktop of two monitors, under Wine.

Xvfb gives Wine one monitor however many screens it has (its Xinerama heads all lie at 0,0), so
this starts an X server of its own: Xorg with the dummy driver and two RandR outputs side by side,
1024 x 768 each, which Wine lists as \\\\.\\DISPLAY1 (primary, at 0,0) and \\\\.\\DISPLAY2 (at
1024,0). On it, in a fresh prefix, the controls' Windows test of docking on the second monitor
runs with TW_EXPECT_MONITORS=2, so one monitor fails it instead of skipping it. The X server is
stopped by its process id however the run ends.

Run by ctest in the Windows build (it finds controls_tests.exe beside the program's bin folder):
    python3 two_monitors_e2e.py --exe build/windows/bin/Tidewire.exe --work <scratch folder>
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TEST = "TpkAppBarWin32.DocksOnTheTopEdgeOfTheSecondMonitor:TpkAppBarWin32.ARestartedShell*"

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


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
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
        env = dict(os.environ, DISPLAY=display, TW_USE_DISPLAY="1", TW_EXPECT_MONITORS="2")
        env.pop("TW_KEEP_PREFIX", None)
        run = subprocess.run([os.path.join(ROOT, "scripts", "with-wine.sh"), work,
                              os.path.join(ROOT, "scripts", "wine-exec.sh"), tests, "--gtest_filter=" + TEST],
                             env=env, capture_output=True, text=True, timeout=240)
    finally:
        stop(xorg)
    out = run.stdout.replace("\r", "")
    print(out)
    ran = "[       OK ] TpkAppBarWin32.DocksOnTheTopEdgeOfTheSecondMonitor" in out
    print(("ok    " if ran else "FAIL  ") + "the bar docked on the second monitor's top edge, under another bar's query")
    print("PASSED" if run.returncode == 0 and ran else "FAILED")
    return 0 if run.returncode == 0 and ran else 1


if __name__ == "__main__":
    sys.exit(main())
