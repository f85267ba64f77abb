#!/usr/bin/env python3
"""CPU share and frame times of the running ticker under Wine.

Starts Tidewire.exe (no settings file: 25 ms per step, 1 pixel per step; --speed sets another
step period for comparison), waits until the bar is
on the screen and the start-up work is over, then reads the CPU time of the program's process,
of the wineserver and of the X server from /proc over a fixed window (30 s by default) and prints
each as a share of one core. Then it records the ticker's frames for --frame-seconds (60 s by
default) and prints how late they came as a histogram in steps of the period, with the worst
gap. The scrolling text notes the time of each frame it makes in a small ring, which
ticker_frames_probe.exe (built here with the cross compiler) reads twice a second through the
control's frame-time channel; the CPU window runs without the probe. Run inside
scripts/with-wine.sh:

    scripts/with-wine.sh build/<dir> python3 bench/app/ticker_cpu.py --exe build/<dir>/bin/Tidewire.exe \
        --work build/<dir>/bench-cpu [--seconds 30] [--frame-seconds 60] [--speed 10]
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

from wine_processes import WINE, close_program, processes

TICKS = os.sysconf("SC_CLK_TCK")
HERE = os.path.dirname(os.path.abspath(__file__))
CXX = ["x86_64-w64-mingw32-g++-posix", "-std=c++20", "-O2", "-static"]
DEFAULT_PERIOD_MS = 25


def cpu_seconds(pid):
    try:
        fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    return (int(fields[11]) + int(fields[12])) / float(TICKS)  # utime + stime


def thread_seconds(pid):
    """CPU seconds of each thread of `pid` by thread id."""
    out = {}
    try:
        tids = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return out
    for tid in tids:
        try:
            fields = open("/proc/%d/task/%s/stat" % (pid, tid)).read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        out[int(tid)] = (int(fields[11]) + int(fields[12])) / float(TICKS)
    return out


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


def build_probe(work):
    """The frame probe, in `work`."""
    probe = os.path.join(work, "ticker_frames_probe.exe")
    subprocess.run(CXX + ["-o", probe, os.path.join(HERE, "ticker_frames_probe.cpp")], check=True)
    return probe


def frame_histogram(probe, seconds, period_ms):
    """Runs the probe; prints the frame gaps in steps of the period and the worst one."""
    run = subprocess.run([WINE, probe, str(int(seconds))], capture_output=True, text=True, timeout=seconds + 60)
    lines = run.stdout.split()
    if run.returncode != 0 or len(lines) < 4 or lines[0] != "frames" or lines[2] != "lost":
        print("BENCH ticker_frames failed: %s" % run.stdout.strip())
        return
    lost = int(lines[3])
    gaps = [int(v) / 1000.0 for v in lines[4:]]  # ms
    if not gaps:
        print("BENCH ticker_frames no frames in %d s" % seconds)
        return
    limits = [(1.25, "<1.25x"), (1.5, "<1.5x"), (2.0, "<2x"), (float("inf"), ">=2x")]
    counts = [0] * len(limits)
    for gap in gaps:
        counts[next(i for i, (f, _) in enumerate(limits) if gap < f * period_ms)] += 1
    print("BENCH ticker_frames period %d ms: %d frames in %d s (%d not read), mean gap %.2f ms, worst %.1f ms (%.2fx)"
          % (period_ms, len(gaps) + 1, seconds, lost, sum(gaps) / len(gaps), max(gaps), max(gaps) / period_ms))
    print("BENCH ticker_frames histogram " + "  ".join("%s %d" % (name, c) for (_, name), c in zip(limits, counts)))


def load():
    return open("/proc/loadavg").read().split()[0]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--seconds", type=float, default=30.0)
    parser.add_argument("--frame-seconds", type=float, default=60.0)
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

    probe = build_probe(work) if args.frame_seconds > 0 else None

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
        threads_before = {pid: thread_seconds(pid) for pid in groups["Tidewire.exe"]}
        t0 = time.time()
        time.sleep(args.seconds)
        elapsed = time.time() - t0
        after = {pid: cpu_seconds(pid) for pid in before}
        threads_after = {pid: thread_seconds(pid) for pid in groups["Tidewire.exe"]}
        total = 0.0
        for name, pids in groups.items():
            # Only processes alive at both readings count.
            used = sum(after[p] - before[p] for p in pids if before[p] is not None and after[p] is not None)
            total += used
            print("BENCH ticker_cpu %-13s cpu %.2f s in %.1f s = %.1f%% of one core (pids %s)"
                  % (name, used, elapsed, 100 * used / elapsed, groups[name]))
        print("BENCH ticker_cpu %-13s cpu %.2f s in %.1f s = %.1f%% of one core" % ("all", total, elapsed, 100 * total / elapsed))
        # The program's first thread runs its windows and the ticker; the others are workers
        # (connection checks, feed loads). Threads that ended in the window are not counted.
        for pid in groups["Tidewire.exe"]:
            b, a = threads_before[pid], threads_after[pid]
            ui = a.get(pid, 0.0) - b.get(pid, 0.0)
            rest = sum(a[t] - b[t] for t in a if t != pid and t in b)
            print("BENCH ticker_cpu   window thread %.1f%%, other threads %.1f%% of one core" % (100 * ui / elapsed, 100 * rest / elapsed))
        print("BENCH ticker_cpu load average (1 min) %s" % load())
        if probe:
            frame_histogram(probe, args.frame_seconds, args.speed or DEFAULT_PERIOD_MS)
    finally:
        close_program(process)
    return 0


if __name__ == "__main__":
    sys.exit(main())
