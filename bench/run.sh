#!/usr/bin/env bash
# Runs every benchmark executable built from bench/bench_*.cpp.
set -euo pipefail
build="${1:?usage: run.sh BUILD_DIR}"
export QT_QPA_PLATFORM=offscreen
status=0
for exe in "$build"/bin/bench_*; do
  [ -x "$exe" ] || continue
  echo "=== $(basename "$exe")"
  "$exe" || status=1
done
exit $status
