#!/usr/bin/env bash
# Cold start of Ambrel, headless, to its first complete screen (every tile of the home view drawn
# and painted), against the local tile server with 0 ms and 100 ms latency, beside the process
# start of a program that only opens the headless screen. Median of RUNS runs.
set -uo pipefail
here=$(dirname "$0")
source "$here/bench-lib.sh" "${1:-build}"
runs=${RUNS:-7}
home_tiles=4   # the tiles under the map view at the home position, zoom 17 (238 x 222 pixels)
baseline_program=$build/bench/app/ambrel_screen_only

baseline_runs=()
for _ in $(seq "$runs"); do
  start=$(now_ms)
  ORVAN_BACKEND=headless "$baseline_program" || { echo "bench: the baseline program failed" >&2; exit 1; }
  baseline_runs+=($(( $(now_ms) - start )))
done
baseline=$(printf '%s\n' "${baseline_runs[@]}" | median)
echo "screen-only program, start to exit: median ${baseline} ms (${baseline_runs[*]})"

declare -A result
for latency in 0 100; do
  start_server --latency "$latency"
  times=()
  for _ in $(seq "$runs"); do
    start=$(now_ms)
    start_app
    wait_first_screen "$home_tiles" || { echo "bench: no first screen (latency $latency)" >&2; exit 1; }
    times+=($(( $(now_ms) - start )))
    stop_app || { echo "bench: ambrel ended with an error" >&2; exit 1; }
  done
  result[$latency]=$(printf '%s\n' "${times[@]}" | median)
  echo "ambrel, start to first complete screen, tile latency ${latency} ms: median ${result[$latency]} ms (${times[*]})"
done

ratio0=$(awk -v a="${result[0]}" -v b="$baseline" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
met0=$(awk -v r="$ratio0" 'BEGIN { print (r <= 10 ? "yes" : "no") }')
"$here/../../scripts/bench-row.sh" "ambrel cold start to full first screen, 0 ms tiles (ms)" "${result[0]}" \
  "$baseline" "$ratio0" "<= 10x screen-only start" "$met0"
extra=$(( result[100] - result[0] ))
ratio100=$(awk -v a="${result[100]}" -v b="${result[0]}" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
met100=$(( extra <= 200 ? 1 : 0 ))
"$here/../../scripts/bench-row.sh" "ambrel cold start to full first screen, 100 ms tiles (ms)" "${result[100]}" \
  "${result[0]}" "$ratio100" "<= 0 ms start + 200 ms (one round of latency)" "$([[ $met100 == 1 ]] && echo yes || echo no)"
