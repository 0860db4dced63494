#!/usr/bin/env bash
# Runs every benchmark of a build folder; each prints its figures beside a baseline measured in the
# same run. At the end, one table of every figure: what, measured, baseline, ratio, target, met.
# Benchmarks add their rows to the file named by ORVAN_BENCH_SUMMARY (bench/BenchRatio.h, or
# scripts/bench-row.sh for the whole-program benchmarks).
set -euo pipefail
build=${1:-build}
status=0
export ORVAN_BENCH_SUMMARY
ORVAN_BENCH_SUMMARY=$(mktemp)
trap 'rm -f "$ORVAN_BENCH_SUMMARY"' EXIT
for b in $(find "$build/bench" -type f -name "bench_*" -perm -u+x | sort); do
  [[ -x "$b" ]] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true || status=1
done
for s in $(find bench -name "*.bench.sh" | sort); do
  echo "== $s"
  bash "$s" "$build" || status=1
done
echo
echo "== summary (ratio = measured / baseline; for rates, higher is better)"
{
  printf 'what\tmeasured\tbaseline\tratio\ttarget\tmet\n'
  cat "$ORVAN_BENCH_SUMMARY"
} | if command -v column >/dev/null; then column -t -s $'\t'; else cat; fi
exit $status
