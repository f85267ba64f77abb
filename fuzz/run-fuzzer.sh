#!/usr/bin/env bash
# run-fuzzer.sh EXE NAME FUZZ_DIR WORK_DIR SECONDS
# Replays every kept regression input, then fuzzes from the seeds for SECONDS. A crash, leak,
# timeout or out-of-memory fails the test; libFuzzer leaves the input as crash-* in WORK_DIR,
# which belongs in FUZZ_DIR/regressions/NAME/ once the fault is mended.
set -euo pipefail
exe=$1 name=$2 fuzz_dir=$3 work=$4 seconds=${TW_FUZZ_SECONDS:-$5}
regressions="$fuzz_dir/regressions/$name"
seeds="$fuzz_dir/corpus/$name"
corpus="$work/$name/corpus"
mkdir -p "$corpus" "$work/$name/artifacts"
common=(-timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 "-artifact_prefix=$work/$name/artifacts/")
if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
  "$exe" "${common[@]}" "$regressions"/*
fi
dirs=("$corpus")
[ -d "$seeds" ] && dirs+=("$seeds")
log="$work/$name/fuzz.log"
if "$exe" "${common[@]}" -max_total_time="$seconds" "${dirs[@]}" >"$log" 2>&1; then
  tail -n 3 "$log"
else
  rc=$?
  cat "$log"
  exit "$rc"
fi
