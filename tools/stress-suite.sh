#!/usr/bin/env bash
# Runs the whole test suite several times in a row while stress-ng keeps
# every core busy, as on a machine shared with builds: a test that depends
# on timing fails here sooner or later. Keeps each run's log and prints
# which tests failed in which run.
#
#   tools/stress-suite.sh [BUILD_DIR] [RUNS] [LOG_DIR] [CTEST_ARGS...]
#
# Defaults: build/, 10 runs, BUILD_DIR/stress-logs. Exit status 0 when every
# run passed.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
runs="${2:-10}"
logs="${3:-$build/stress-logs}"
shift $(( $# < 3 ? $# : 3 ))
mkdir -p "$logs"
cores="$(nproc)"

stress-ng --cpu "$cores" --timeout 0 --quiet &
stress=$!
trap 'kill "$stress" 2>/dev/null; wait "$stress" 2>/dev/null' EXIT

failed_runs=0
for run in $(seq 1 "$runs"); do
  log="$logs/run-$run.log"
  (cd "$build" && ctest --output-on-failure -j "$cores" "$@") >"$log" 2>&1
  status=$?
  summary="$(grep -E 'tests passed|tests failed' "$log" | tail -1)"
  echo "run $run: ${summary:-no summary} (log $log)"
  if [ "$status" -ne 0 ]; then
    failed_runs=$((failed_runs + 1))
    sed -n '/The following tests FAILED/,$p' "$log" | grep -E '^\s+[0-9]+ - ' || true
  fi
done
echo "$failed_runs of $runs runs failed"
[ "$failed_runs" -eq 0 ]
