#!/usr/bin/env bash
# with-wine.sh DIR COMMAND...
# Runs COMMAND with a virtual X display and a fresh Wine prefix in DIR/wineprefix, then stops
# the wineserver and the display it started (by process id), whatever COMMAND returned.
# Set TW_KEEP_PREFIX=1 to reuse an existing prefix (saves ~10 s while iterating), and
# TW_USE_DISPLAY=1 to use the current $DISPLAY instead of a virtual one.
set -uo pipefail
dir=$(realpath -m "$1"); shift
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64

export WINEPREFIX="$dir/wineprefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy   # WinInet obeys them, even for 127.0.0.1

display=""
xvfb_pid=""
cleanup() {
  "$wineserver" -k >/dev/null 2>&1
  "$wineserver" -w >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_display() {
  local n
  for n in $(seq 90 190); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 +extension RANDR -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && { display=":$n"; return 0; }
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    kill "$xvfb_pid" 2>/dev/null; xvfb_pid=""
  done
  echo "with-wine.sh: no virtual display could be started" >&2
  return 1
}

make_prefix() {
  if [ "${TW_KEEP_PREFIX:-0}" = 1 ] && [ -f "$WINEPREFIX/system.reg" ]; then
    return 0
  fi
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1 || { echo "with-wine.sh: wineboot failed" >&2; return 1; }
  # Tahoma and MS Sans Serif come from fonts-wine; a new prefix lacks them.
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
  # Without a window manager, hiding an activated window stalls ~2 s unless Wine manages none.
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  # A crash would start the debugger, which waits forever with nobody to talk to; a debugger
  # that exits at once lets the crashed program end with its exception code instead.
  "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ \
    /d 'cmd /c exit 1' /f >/dev/null 2>&1
  "$wineserver" -w
}

if [ "${TW_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
  display=$DISPLAY
else
  start_display || exit 1
fi
export DISPLAY="$display"
make_prefix || exit 1
"$@"
