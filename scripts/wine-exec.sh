#!/usr/bin/env bash
# The emulator CMake puts in front of every Windows test executable. It runs inside the
# environment scripts/with-wine.sh prepares (display, prefix, quiet Wine).
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "wine-exec.sh: run Windows tests through scripts/with-wine.sh" >&2
  exit 2
fi
exec /usr/lib/wine/wine64 "$@"
