#!/usr/bin/env bash
# Runs every benchmark binary of a build folder; each prints its figures beside a baseline.
set -euo pipefail
build=${1:-build}
status=0
for b in $(find "$build/bench" -type f -name "bench_*" -perm -u+x | sort); do
  [[ -x "$b" ]] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true || status=1
done
exit $status
