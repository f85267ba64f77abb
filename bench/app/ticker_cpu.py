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
control's frame-time channel; the CPU window runs without the probe.

With --unseen it measures, in one run and --seconds each, the program on screen, hidden from the
tray menu ("Hide ticker"), shown again, with the session locked and with the display off, and
prints each share beside the visible one. Wine sends neither the session's changes nor the
display's state, so bar_probe.exe (tests/app) sends the bar what Windows would: WM_WTSSESSION_CHANGE,
and WM_POWERBROADCAST with its record written into the program's memory. Run inside
scripts/with-wine.sh:

    scripts/with-wine.sh build/<dir> python3 bench/app/ticker_cpu.py --exe build/<dir>/bin/Tidewire.exe \
        --work build/<dir>/bench-cpu [--seconds 30] [--frame-seconds 60] [--speed 10] [--unseen]
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
BAR_PROBE = os.path.join(HERE, "..", "..", "tests", "app", "bar_probe.cpp")
TRAY_ICON = (12, 31)  # the first icon of the plain tray window Wine shows without a desktop


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


def measure(groups, seconds):
    """CPU seconds per group over `seconds`, the elapsed time, and the window thread's and the
    other threads' seconds of each program process."""
    before = {pid: cpu_seconds(pid) for pids in groups.values() for pid in pids}
    threads_before = {pid: thread_seconds(pid) for pid in groups["Tidewire.exe"]}
    t0 = time.time()
    time.sleep(seconds)
    elapsed = time.time() - t0
    after = {pid: cpu_seconds(pid) for pid in before}
    threads_after = {pid: thread_seconds(pid) for pid in groups["Tidewire.exe"]}
    # Only processes alive at both readings count.
    used = {name: sum(after[p] - before[p] for p in pids if before[p] is not None and after[p] is not None)
            for name, pids in groups.items()}
    threads = {}
    for pid in groups["Tidewire.exe"]:
        b, a = threads_before[pid], threads_after[pid]
        threads[pid] = (a.get(pid, 0.0) - b.get(pid, 0.0), sum(a[t] - b[t] for t in a if t != pid and t in b))
    return used, elapsed, threads


def wine_run(*argv):
    return subprocess.run([WINE] + list(argv), capture_output=True, timeout=60).returncode == 0


def xdo(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True)


def bar_shown(probe):
    out = subprocess.run([WINE, probe, "windows", "TfrMain"], capture_output=True, text=True, timeout=60).stdout
    return any(line.startswith("1 ") for line in out.splitlines())


def wait_until(predicate, seconds=10):
    deadline = time.time() + seconds
    while not predicate():
        if time.time() > deadline:
            return False
        time.sleep(0.3)
    return True


def unseen_phases(work, groups, seconds):
    """The program's share on screen and in each way of not being seen, one after the other."""
    probe = os.path.join(work, "bar_probe.exe")
    subprocess.run(CXX + ["-municode", "-o", probe, BAR_PROBE], check=True)

    def menus():
        out = subprocess.run([WINE, probe, "windows", "#32768"], capture_output=True, text=True, timeout=60).stdout
        return [tuple(int(v) for v in line.split()[1:]) for line in out.splitlines() if line.startswith("1 ")]

    def tray_hide():
        xdo("mousemove", *TRAY_ICON, "click", 3)
        if not wait_until(lambda: len(menus()) == 1):
            return False
        left, top = menus()[0][:2]
        xdo("mousemove", left + 60, top + 12, "click", 1)  # "Hide ticker", the menu's first entry
        return wait_until(lambda: not bar_shown(probe))

    def tray_show():
        xdo("mousemove", *TRAY_ICON, "click", "--repeat", 2, "--delay", 120, 1)
        return wait_until(lambda: bar_shown(probe))

    phases = [
        ("visible", None, None),
        ("hidden from the tray", tray_hide, tray_show),
        ("visible again", None, None),
        ("session locked", lambda: wine_run(probe, "session", "7"), lambda: wine_run(probe, "session", "8")),
        ("display off", lambda: wine_run(probe, "display", "0"), lambda: wine_run(probe, "display", "1")),
    ]
    visible = None
    for name, enter, leave in phases:
        if enter and not enter():
            print("BENCH ticker_unseen %-20s could not be reached" % name)
            continue
        time.sleep(1)  # the change settles
        used, elapsed, threads = measure(groups, seconds)
        share = 100 * used["Tidewire.exe"] / elapsed
        if visible is None:
            visible = share
        window = sum(t[0] for t in threads.values())
        print("BENCH ticker_unseen %-20s program %.3f%% of one core (window thread %.3f%%), wineserver %.2f%%, "
              "Xvfb %.2f%%; %.2f of visible" % (name, share, 100 * window / elapsed,
                                                100 * used["wineserver"] / elapsed, 100 * used["Xvfb"] / elapsed,
                                                share / visible if visible else 0.0))
        if leave and not leave():
            print("BENCH ticker_unseen %-20s did not end" % name)
    print("BENCH ticker_unseen load average (1 min) %s" % load())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--seconds", type=float, default=30.0)
    parser.add_argument("--frame-seconds", type=float, default=60.0)
    parser.add_argument("--speed", type=int, help="ms per step written as Ticker_Speed (default: no settings file)")
    parser.add_argument("--unseen", action="store_true",
                        help="the share visible, hidden from the tray, locked and with the display off")
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    exe = os.path.join(work, "Tidewire.exe")
    shutil.copy2(args.exe, exe)
    if args.speed is not None:
        with open(os.path.join(work, "app.config"), "w") as f:
            f.write("[Global]\r\nTicker_Speed=%d\r\n" % args.speed)

    probe = build_probe(work) if args.frame_seconds > 0 and not args.unseen else None

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
        if args.unseen:
            unseen_phases(work, groups, args.seconds)
            return 0
        used, elapsed, threads = measure(groups, args.seconds)
        for name, pids in groups.items():
            print("BENCH ticker_cpu %-13s cpu %.2f s in %.1f s = %.1f%% of one core (pids %s)"
                  % (name, used[name], elapsed, 100 * used[name] / elapsed, pids))
        total = sum(used.values())
        print("BENCH ticker_cpu %-13s cpu %.2f s in %.1f s = %.1f%% of one core" % ("all", total, elapsed, 100 * total / elapsed))
        # The program's first thread runs its windows and the ticker; the others are workers
        # (connection checks, feed loads). Threads that ended in the window are not counted.
        for ui, rest in threads.values():
            print("BENCH ticker_cpu   window thread %.1f%%, other threads %.1f%% of one core" % (100 * ui / elapsed, 100 * rest / elapsed))
        print("BENCH ticker_cpu load average (1 min) %s" % load())
        if probe:
            frame_histogram(probe, args.frame_seconds, args.speed or DEFAULT_PERIOD_MS)
    finally:
        close_program(process)
    return 0


if __name__ == "__main__":
    sys.exit(main())
