#!/usr/bin/env bash
# The emulator CMake puts in front of every Windows test executable. It runs inside the
# environment scripts/with-wine.sh prepares (display, prefix, quiet Wine).
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "wine-exec.sh: run Windows tests through scripts/with-wine.sh" >&2
  exit 2
fi
wine=/usr/lib/wine/wine64

# Once in a few hundred starts in CI, Wine itself ended in a few hundredths of a second, before
# the test program wrote a line (every test program first prints its plan). That start alone is
# tried once more, and said so; a program that ran and failed is never run again.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
started=$(date +%s%N)
"$wine" "$@" > >(tee "$out")
rc=$?
wait  # for tee
elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
if [ "$rc" != 0 ] && [ ! -s "$out" ] && [ "$elapsed_ms" -lt 1000 ]; then
  echo "wine-exec.sh: Wine ended after ${elapsed_ms} ms with code $rc before the program wrote anything; starting it once more" >&2
  rm -f "$out"  # exec skips the EXIT trap
  exec "$wine" "$@"
fi
exit "$rc"
