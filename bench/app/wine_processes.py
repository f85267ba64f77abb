"""The processes of the machine as the ticker benchmarks see them, read from /proc."""
import os
import subprocess

WINE = "/usr/lib/wine/wine64"


def processes():
    """(pid, argv, WINEPREFIX) of every process that can be read."""
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            argv = open("/proc/%s/cmdline" % name, "rb").read().split(b"\0")
            environ = open("/proc/%s/environ" % name, "rb").read().split(b"\0")
        except OSError:
            continue
        prefix = next((e[len(b"WINEPREFIX="):].decode() for e in environ if e.startswith(b"WINEPREFIX=")), None)
        yield int(name), [a.decode("utf-8", "replace") for a in argv if a], prefix


def find_program(prefix, name="Tidewire.exe"):
    """The pid of `name` running in the Wine prefix `prefix`, or None."""
    for pid, argv, own_prefix in processes():
        if argv and argv[0].endswith(name) and own_prefix == prefix:
            return pid
    return None


def close_program(process, name="Tidewire.exe"):
    """Posts WM_CLOSE to the program (taskkill without /F) and waits; kills it if it stays."""
    subprocess.run([WINE, "taskkill", "/IM", name], capture_output=True, timeout=60)
    try:
        process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
