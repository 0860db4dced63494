#!/usr/bin/env bash
# Peak resident memory and thread count of a headless Ambrel during a scripted session of a few
# hundred moves (drags of the map in every direction and zooms across levels 1 to 17), beside the
# same figures after its first screen. Both must stay bounded: downloads end, tiles are evicted.
set -uo pipefail
here=$(dirname "$0")
source "$here/bench-lib.sh" "${1:-build}"
rounds=${ROUNDS:-2}
pace=${PACE_S:-0.01}      # between the moves of a drag
settle=${SETTLE_S:-0.05}  # around a tap on a button

status_field() { awk -v f="$1:" '$1 == f { print $2 }' "/proc/$app_pid/status" 2>/dev/null; }

start_server
start_app
wait_first_screen 4 || { echo "bench: no first screen" >&2; exit 1; }
sleep 0.5
first_rss=$(status_field VmRSS)
first_threads=$(status_field Threads)

# Sample the thread count while the session runs; the kernel keeps the peak of resident memory.
( peak=0
  while kill -0 "$app_pid" 2>/dev/null; do
    t=$(awk '$1 == "Threads:" { print $2 }' "/proc/$app_pid/status" 2>/dev/null)
    [[ -n "$t" && "$t" -gt "$peak" ]] && { peak=$t; echo "$peak" >"$work/peak-threads"; }
    sleep 0.005
  done ) &
sampler=$!

moves=0
# Drags start at two points in turn: two stylus-downs at one point within half a second are a
# double tap, which the map answers by zooming in.
starts=("90 110" "150 170")
drags=0
drag() {  # drag DX DY in four steps
  local x y
  read -r x y <<<"${starts[$(( drags++ % 2 ))]}"
  send "down $x $y"
  for step in 1 2 3 4; do send "move $(( x + $1 * step / 4 )) $(( y + $2 * step / 4 ))"; sleep "$pace"; done
  send "up $(( x + $1 )) $(( y + $2 ))"
  moves=$(( moves + 6 ))
  sleep "$pace"
}
# A tap goes to the window under the stylus when it is made, and to the map while the map still
# holds the stylus from a drag it has not finished handling: a zoom tap is repeated (at most three
# times) until the tile server sees a request at the new level.
tap() { sleep "$settle"; send "tap $1 $2"; moves=$(( moves + 1 )); sleep "$settle"; }
level=17
lost_taps=0
zoom_to() {  # zoom_to LEVEL X Y: tap the button at X Y until tiles of LEVEL are asked for
  local before tries
  for tries in 1 2 3; do
    before=$(server_get /_control/counters | awk '$1 == "requests" { print $2 }')
    tap "$2" "$3"
    for _ in $(seq 100); do
      if server_get /_control/log | tail -n +$(( before + 1 )) | grep -q "&z=$1	"; then
        level=$1
        return 0
      fi
      sleep 0.02
    done
    lost_taps=$(( lost_taps + 1 ))
  done
  echo "bench: level $1 was never asked for; the last requests:" >&2
  server_get /_control/log | tail -n 8 >&2
  return 1
}
zoom_in() { zoom_to $(( level + 1 )) 40 265; }
zoom_out() { zoom_to $(( level - 1 )) 120 265; }

for _ in $(seq "$rounds"); do
  for d in "100 0" "0 100" "-100 0" "0 -100" "90 90" "-90 -90"; do drag $d; done
  for _ in $(seq 16); do zoom_out || exit 1; drag 60 40; done      # 17 -> 1, panning on every level
  for _ in $(seq 16); do zoom_in || exit 1; drag -50 30; done      # 1 -> 17
done
tap 200 265   # home: zoom 6
sleep 0.2
sleep 1
peak_rss=$(status_field VmHWM)
end_rss=$(status_field VmRSS)
end_threads=$(status_field Threads)
stop_app || { echo "bench: ambrel ended with an error" >&2; exit 1; }
wait "$sampler" 2>/dev/null
peak_threads=$(cat "$work/peak-threads" 2>/dev/null || echo "$first_threads")

server_get /_control/log > "${BENCH_LOG:-/dev/null}"
levels=$(server_get /_control/log | sed -n 's/.*&z=\([0-9]*\).*/\1/p' | sort -n | uniq | tr '\n' ' ')
requests=$(server_get /_control/counters | awk '$1 == "requests" { print $2 }')
echo "tile requests: ${requests}, at levels ${levels}; zoom taps repeated: ${lost_taps}"
echo "after the first screen: ${first_rss} kB resident, ${first_threads} threads"
echo "during ${moves} moves: peak ${peak_rss} kB resident, peak ${peak_threads} threads; at the end ${end_rss} kB, ${end_threads} threads"

rss_ratio=$(awk -v a="$peak_rss" -v b="$first_rss" 'BEGIN { printf "%.2f", a / b }')
"$here/../../scripts/bench-row.sh" "ambrel peak resident memory over ${moves} pans/zooms, levels 1-17 (kB)" \
  "$peak_rss" "$first_rss" "$rss_ratio" "<= 3x first screen" "$(awk -v r="$rss_ratio" 'BEGIN { print (r <= 3 ? "yes" : "no") }')"
thread_ratio=$(awk -v a="$peak_threads" -v b="$first_threads" 'BEGIN { printf "%.2f", a / b }')
"$here/../../scripts/bench-row.sh" "ambrel peak threads over ${moves} pans/zooms (threads)" \
  "$peak_threads" "$first_threads" "$thread_ratio" "<= first screen + 32" \
  "$( (( peak_threads <= first_threads + 32 )) && echo yes || echo no)"
