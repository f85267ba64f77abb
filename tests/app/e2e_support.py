"""What every end-to-end test of Tidewire.exe shares: its arguments, a fresh copy of the program
(so app.config lands in the scratch folder), closing it the way a user would, and the checks.
"""
import argparse
import os
import shutil
import subprocess

WINE = "/usr/lib/wine/wine64"

failures = []


def check(condition, message):
    print(("ok    " if condition else "FAIL  ") + message, flush=True)
    if not condition:
        failures.append(message)
    return condition


def parse_args():
    """--exe and --work, or None when not run inside scripts/with-wine.sh."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    for var in ("DISPLAY", "WINEPREFIX"):
        if not os.environ.get(var):
            print("run inside scripts/with-wine.sh: %s is not set" % var)
            return None
    return args


def prepare(exe, work):
    if os.path.isdir(work):
        shutil.rmtree(work)
    os.makedirs(work)
    target = os.path.join(work, "Tidewire.exe")
    shutil.copy2(exe, target)
    return target


def stop(process):
    """Posts WM_CLOSE (taskkill without /F) and waits; the exit code, or None if it had to be killed."""
    subprocess.run([WINE, "taskkill", "/IM", "Tidewire.exe"], capture_output=True, timeout=60)
    try:
        return process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        return None
