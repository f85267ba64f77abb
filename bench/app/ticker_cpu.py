#!/usr/bin/env python3
"""CPU share of the running ticker under Wine.

Starts Tidewire.exe (no settings file: 25 ms per step, 1 pixel per step; --speed sets another
step period for comparison), waits until the bar is
on the screen and the start-up work is over, then reads the CPU time of the program's process,
of the wineserver and of the X server from /proc over a fixed window (30 s by default) and prints
each as a share of one core. Run inside scripts/with-wine.sh:

    scripts/with-wine.sh build/<dir> python3 bench/app/ticker_cpu.py --exe build/<dir>/bin/Tidewire.exe \
        --work build/<dir>/bench-cpu [--seconds 30]
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

from wine_processes import WINE, close_program, processes

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    try:
        fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    return (int(fields[11]) + int(fields[12])) / float(TICKS)  # utime + stime


def classify(display):
    """The processes of this run by role: the program, the wineserver and Wine's own services of
    this prefix (other runs on the machine have other prefixes), and this run's X server."""
    mine = os.environ.get("WINEPREFIX")
    groups = {"Tidewire.exe": [], "wineserver": [], "wine services": [], "Xvfb": []}
    for pid, argv, prefix in processes():
        if not argv:
            continue
        first = argv[0]
        if first == "Xvfb" and len(argv) > 1 and argv[1] == display:
            groups["Xvfb"].append(pid)
        elif prefix != mine:
            continue
        elif first.endswith("Tidewire.exe"):
            groups["Tidewire.exe"].append(pid)
        elif os.path.basename(first).startswith("wineserver"):
            groups["wineserver"].append(pid)
        elif first.lower().startswith("c:\\windows\\"):
            groups["wine services"].append(pid)
    return groups


def bar_is_up():
    shot = subprocess.run(["xwd", "-root", "-silent"], capture_output=True).stdout
    ppm = subprocess.run(["convert", "xwd:-", "-crop", "1x1+500+0", "ppm:-"], input=shot, capture_output=True).stdout
    return ppm.endswith(bytes((0x90, 0xA1, 0xAC)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--seconds", type=float, default=30.0)
    parser.add_argument("--speed", type=int, help="ms per step written as Ticker_Speed (default: no settings file)")
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    exe = os.path.join(work, "Tidewire.exe")
    shutil.copy2(args.exe, exe)
    if args.speed is not None:
        with open(os.path.join(work, "app.config"), "w") as f:
            f.write("[Global]\r\nTicker_Speed=%d\r\n" % args.speed)

    process = subprocess.Popen([WINE, exe], cwd=work)
    try:
        deadline = time.time() + 60
        while not bar_is_up():
            if time.time() > deadline or process.poll() is not None:
                print("the bar did not appear")
                return 1
            time.sleep(0.5)
        time.sleep(3)  # start-up work (fonts, pictures, first layout) is over
        groups = classify(os.environ.get("DISPLAY", ""))
        before = {pid: cpu_seconds(pid) for pids in groups.values() for pid in pids}
        t0 = time.time()
        time.sleep(args.seconds)
        elapsed = time.time() - t0
        after = {pid: cpu_seconds(pid) for pid in before}
        total = 0.0
        for name, pids in groups.items():
            # Only processes alive at both readings count.
            used = sum(after[p] - before[p] for p in pids if before[p] is not None and after[p] is not None)
            total += used
            print("BENCH ticker_cpu %-13s cpu %.2f s in %.1f s = %.1f%% of one core (pids %s)"
                  % (name, used, elapsed, 100 * used / elapsed, groups[name]))
        print("BENCH ticker_cpu %-13s cpu %.2f s in %.1f s = %.1f%% of one core" % ("all", total, elapsed, 100 * total / elapsed))
    finally:
        close_program(process)
    return 0


if __name__ == "__main__":
    sys.exit(main())
