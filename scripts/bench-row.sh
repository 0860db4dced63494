#!/usr/bin/env bash
# Adds one row to the benchmark summary table: bench-row.sh WHAT MEASURED BASELINE RATIO TARGET MET
set -euo pipefail
[[ -n "${ORVAN_BENCH_SUMMARY:-}" ]] || exit 0
printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" "$5" "$6" >> "$ORVAN_BENCH_SUMMARY"
