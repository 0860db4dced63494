#!/usr/bin/env bash
# A soak of the real program: a headless Ambrel against the local tile server, whose fault rules
# make a share of the tiles misbehave (delays, resets, stalls, garbage, error statuses, bodies cut
# short or lying about their length), driven for SOAK_S seconds (default 1800) with drags, taps,
# double taps and its three buttons at a steady pace. Every SAMPLE_S seconds it samples resident
# memory, threads and open descriptors of both processes; every PROBE_S seconds it asks the screen
# for a `state` report and times the answer (the GUI thread must answer it). Ambrel is ended by
# ORVAN_RUN_MS, as if its user closed it, and must exit by itself with 0.
#   scripts/soak.sh [BUILD_DIR]      (`make soak`; SOAK_BUILD=build-asan make soak for ASan)
# Settings: SOAK_S, SOAK_SEED (the action sequence), SOAK_PACE_MS (pause between actions).
# Prints one table and exits 0, or 1 with one "soak: FAIL: ..." line per broken bound.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../bench/app/bench-lib.sh" "${1:-build}"
trap 'exit 130' INT
trap 'exit 143' TERM

soak_s=${SOAK_S:-1800}
seed=${SOAK_SEED:-$(( $(date +%s) % 32768 ))}
pace_ms=${SOAK_PACE_MS:-150}
printf -v pace_s "%d.%03d" $(( pace_ms / 1000 )) $(( pace_ms % 1000 ))
[[ "$soak_s" =~ ^[0-9]+$ && "$soak_s" -ge 30 ]] || { echo "soak: SOAK_S must be a whole number of seconds, at least 30" >&2; exit 2; }

# Bounds. A sanitizer build keeps freed memory in quarantine and pads every block: more room.
sanitized=$(sed -n 's/^ORVAN_SANITIZE:STRING=//p' "$build/CMakeCache.txt" 2>/dev/null)
readonly PROBE_S=10
readonly SAMPLE_S=2
readonly MAX_PROBE_MS=200            # a state report answered later than this fails the soak
readonly PROBE_GIVE_UP_MS=5000       # a probe unanswered this long counts as that long
readonly MAX_THREAD_GROWTH=8         # last quarter's median over the first quarter's median
readonly MAX_FD_GROWTH=16
readonly WARMUP_S=10               # the quarters are taken of the samples after this: start-up is no growth
if [[ -n "$sanitized" ]]; then
  readonly MAX_RSS_GROWTH_MIB=48
  readonly MAX_SERVER_RSS_GROWTH_MIB=48
  readonly EXIT_BOUND_S=60           # after the soak's end, for the program to exit by itself
else
  readonly MAX_RSS_GROWTH_MIB=8                # anonymous resident memory (RssAnon), Ambrel
  # The tile server keeps its request log (a line per tile, about 200 bytes) and its tile cache
  # (--cache-mb below) by design: over half an hour some 4 MiB more.
  readonly MAX_SERVER_RSS_GROWTH_MIB=16
  readonly EXIT_BOUND_S=20
fi
# A fixed ASan quarantine, filled early, so that resident memory levels off.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:quarantine_size_mb=32}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# The driver starts no process while it runs (no $(...)): it shares the CPUs with what it measures.
tick() { local t=${EPOCHREALTIME/./}; now=$(( t / 1000 )); }   # now: the clock in milliseconds
exec {nap_fd}<> <(:)
nap() { read -r -t "$1" -u "$nap_fd"; }   # sleeps
rand() { r=$(( $1 + RANDOM % ($2 - $1 + 1) )); }   # r: a whole number in [$1, $2]

# Fault rules: on every level the home position's neighbourhood (40 tiles each way) has one column
# in 7 and one row in 9 answered by a fault, the kinds taken in turn, so that about a quarter of
# the tiles misbehave and half of those still arrive (late, in pieces, redirected, re-connected).
faults=(
  "delay=1200" "connect-delay=400" "chunk-size=700 chunk-delay=40" "stall=300 stall-ms=6000"
  "reset=head" "reset=mid" "reset=body" "garbage" "status=404" "status=500"
  "status=503 retry-after=2" "body-size=300" "length-delta=+200" "length=none" "chunked"
  "redirect" "close" "length=-5"
)
rule_args=()
while read -r rule; do rule_args+=(--rule "$rule"); done < <(
  awk -v lat=37.433446 -v lon=127.173493 -v kinds="$(printf '%s\n' "${faults[@]}")" 'BEGIN {
    nk = split(kinds, kind, "\n"); pi = atan2(0, -1); k = 0; phi = lat * pi / 180
    for (z = 1; z <= 17; z++) {
      n = 2 ^ z
      hx = int((lon + 180) / 360 * n)
      hy = int((1 - log(sin(phi) / cos(phi) + 1 / cos(phi)) / pi) / 2 * n)
      for (c = hx - 40; c <= hx + 40; c++)
        if (c >= 0 && c < n && c % 7 == z % 7) printf "z=%d x=%d %s\n", z, c, kind[k++ % nk + 1]
      for (r = hy - 40; r <= hy + 40; r++)
        if (r >= 0 && r < n && r % 9 == (z + 4) % 9) printf "z=%d y=%d %s\n", z, r, kind[k++ % nk + 1]
    }
  }')

start_server --cache-mb 2 "${rule_args[@]}"
# Stalled answers end in the client's receive time-out, not only in the server giving up.
ORVAN_RUN_MS=$(( soak_s * 1000 )) ORVAN_NET_RECEIVE_TIMEOUT_MS=3000 start_app
tick; started=$now
echo "soak: ${soak_s} s of Ambrel ($build) against the tile server with $(( ${#rule_args[@]} / 2 )) fault rules; seed $seed"
RANDOM=$seed

# --- sampling: "ms rss anon threads fds" of each process, one line per sample --------------------------
figures=
add_figures() {  # PID: appends "rss_kB anon_kB threads fds" to $figures, dashes when the process is gone
  local key value rest rss=- anon=- threads=- fds
  while read -r key value rest; do
    case $key in VmRSS:) rss=$value ;; RssAnon:) anon=$value ;; Threads:) threads=$value ;; esac
  done <"/proc/$1/status" 2>/dev/null
  fds=(/proc/"$1"/fd/*)
  if [[ -e "${fds[0]}" ]]; then figures+=" $rss $anon $threads ${#fds[@]}"; else figures+=" - - - -"; fi
}
sample() {
  tick
  figures=$(( now - started ))
  add_figures "$app_pid"
  add_figures "$server_pid"
  echo "$figures" >>"$work/samples"
}

# --- the GUI probe --------------------------------------------------------------------------------
# cpu_wait: milliseconds Ambrel's threads have spent runnable but waiting for a CPU (summed), so
# that a slow probe shows whether the machine or the program held it up.
cpu_wait() {
  local task stat total=0
  for task in /proc/"$app_pid"/task/*; do
    read -r -a stat <"$task/schedstat" 2>/dev/null && total=$(( total + stat[1] / 1000000 ))
  done
  waited_for_cpu=$total
}
# What each of Ambrel's threads is doing while a probe waits: "tid:state:wait-channel" (state R:
# running or waiting for a CPU, S: asleep in the kernel function named by its wait channel).
thread_states() {
  local task stat wchan
  states=
  for task in /proc/"$app_pid"/task/*; do
    read -r stat <"$task/stat" 2>/dev/null || continue
    stat=${stat##*) }
    read -r -d '' wchan <"$task/wchan" 2>/dev/null
    states+=" ${task##*/}:${stat%% *}:${wchan:-0}"
  done
}
probes=0
slowest_probe=0
slow_probes=0
probe() {
  local file="$work/state-$(( ++probes ))" t0 cpu0 waited
  states=
  cpu_wait; cpu0=$waited_for_cpu
  tick; t0=$now
  send "state $file"
  until [[ -e "$file" ]]; do
    tick; waited=$(( now - t0 ))
    (( waited < PROBE_GIVE_UP_MS )) || break
    [[ -z "$states" ]] && (( waited > MAX_PROBE_MS )) && thread_states
    nap 0.001
  done
  tick; waited=$(( now - t0 ))
  cpu_wait
  rm -f "$file"
  echo "$waited" >>"$work/probes"
  (( waited > slowest_probe )) && slowest_probe=$waited
  if (( waited > MAX_PROBE_MS )); then
    slow_probes=$(( slow_probes + 1 ))
    local load
    read -r load </proc/loadavg
    echo "soak: probe $probes at $(( (t0 - started) / 1000 )) s took $waited ms; meanwhile Ambrel's threads waited $(( waited_for_cpu - cpu0 )) ms for a CPU (load average ${load% */*}); its threads after ${MAX_PROBE_MS} ms:${states:- (answered meanwhile)}" >&2
  fi
}

# --- the user's actions (screen coordinates; the map fills 0..239 x 26..249, buttons below) ----------
declare -A done_actions=()
map_point() { rand 12 227; px=$r; rand 40 236; py=$r; }   # px py: a point on the map
drag() {
  local x y dx dy step
  map_point; x=$px y=$py
  rand -80 80; dx=$r
  rand -80 80; dy=$r
  send "down $x $y"
  for step in 1 2 3 4; do nap 0.02; send "move $(( x + dx * step / 4 )) $(( y + dy * step / 4 ))"; done
  send "up $(( x + dx )) $(( y + dy ))"
}
tap_map() { map_point; send "tap $px $py"; }
double_tap() { map_point; send "tap $px $py"; nap 0.12; send "tap $px $py"; }
button() { rand "$1" "$2"; local x=$r; rand 254 276; send "tap $x $r"; }   # a point inside a button
act() {
  local pick=$(( RANDOM % 20 )) name
  if (( pick < 8 )); then name=drag; drag
  elif (( pick < 10 )); then name=tap; tap_map
  elif (( pick < 13 )); then name=double-tap; double_tap
  elif (( pick < 15 )); then name=zoom-in; button 8 72      # Zoom In spans x 0..79
  elif (( pick < 19 )); then name=zoom-out; button 88 152   # Zoom Out 80..159
  else name=home; button 168 232                            # home 160..239
  fi
  done_actions[$name]=$(( ${done_actions[$name]:-0} + 1 ))
}

# --- the soak ---------------------------------------------------------------------------------------
failures=()
end=$(( started + soak_s * 1000 ))
next_sample=$started
next_probe=$(( started + PROBE_S * 1000 ))
while tick; (( now < end )); do
  kill -0 "$app_pid" 2>/dev/null || break
  kill -0 "$server_pid" 2>/dev/null || { failures+=("the tile server ended during the soak"); break; }
  (( now >= next_sample )) && { sample; next_sample=$(( next_sample + SAMPLE_S * 1000 )); }
  (( now >= next_probe )) && { probe; next_probe=$(( next_probe + PROBE_S * 1000 )); }
  act
  nap "$pace_s"
done
tick; ended_early=$(( now < end - 1000 ))

# Ambrel's run time is up: it must close its windows and exit by itself.
deadline=$(( end + EXIT_BOUND_S * 1000 ))
while kill -0 "$app_pid" 2>/dev/null && tick && (( now < deadline )); do nap 0.05; done
tick; exit_after_ms=$(( now - end ))
if kill -0 "$app_pid" 2>/dev/null; then
  failures+=("Ambrel did not exit within ${EXIT_BOUND_S} s of the soak's end (EXIT_BOUND_S)")
  app_status=killed
  kill -ABRT "$app_pid" 2>/dev/null   # a core / sanitizer stack for the hang, where enabled
  nap 2
else
  wait "$app_pid"
  app_status=$?
  app_pid=
  if (( ended_early )); then
    failures+=("Ambrel ended by itself $(( (end + exit_after_ms - started) / 1000 )) s into the soak, before its end, with status $app_status")
  elif (( app_status != 0 )); then
    failures+=("Ambrel exited with status $app_status")
  fi
fi

# The tile server's account of the tiles, then the server itself ends.
counters=$(server_get /_control/counters 2>/dev/null)
server_get /_control/log >"$work/requests" 2>/dev/null
kill -TERM "$server_pid" 2>/dev/null
wait "$server_pid" 2>/dev/null
server_pid=

# --- the table --------------------------------------------------------------------------------------
(( slow_probes > 0 )) && failures+=("$slow_probes of $probes probes took over ${MAX_PROBE_MS} ms (MAX_PROBE_MS); the slowest $slowest_probe ms")
(( probes > 0 )) || failures+=("no probe was made")
for who in ambrel:stderr tileserver:server.out; do
  if grep -qE 'ERROR: (Address|Leak|Thread)Sanitizer|runtime error:|SUMMARY: .*Sanitizer' "$work/${who#*:}"; then
    failures+=("a sanitizer report on the ${who%%:*}'s stderr:")
    failures+=("$(grep -m 3 -E 'ERROR: .*Sanitizer|runtime error:|SUMMARY: .*Sanitizer' "$work/${who#*:}")")
  fi
done

growth_failures=$(awk -v rss_mib="$MAX_RSS_GROWTH_MIB" -v server_rss_mib="$MAX_SERVER_RSS_GROWTH_MIB" -v threads="$MAX_THREAD_GROWTH" -v fds="$MAX_FD_GROWTH" -v warmup_ms=$(( WARMUP_S * 1000 )) '
  function median(col, from, to,   i, n, v, j, t) {
    n = 0
    for (i = from; i <= to; i++) if (s[i, col] != "-") v[++n] = s[i, col] + 0
    for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    return n ? v[int((n + 1) / 2)] : "-"
  }
  { rows++; for (c = 2; c <= NF; c++) s[rows, c] = $c; if ($1 < warmup_ms) first = rows + 1 }
  END {
    if (!first) first = 1
    if (rows - first + 1 < 4) { print "fewer than 4 samples after the warm-up: no growth can be judged"; exit }
    q = int((rows - first + 1) / 4)
    # Resident memory includes file pages (code, fonts) that the kernel drops and reads back as other
    # programs need memory; the growth is judged on anonymous memory (heap, stacks), where leaks are.
    split("VmRSS(kB) RssAnon(kB) threads fds", fig, " ")
    bound[0, 2] = rss_mib * 1024; bname[0, 2] = "MAX_RSS_GROWTH_MIB=" rss_mib
    bound[1, 2] = server_rss_mib * 1024; bname[1, 2] = "MAX_SERVER_RSS_GROWTH_MIB=" server_rss_mib
    for (p = 0; p < 2; p++) {
      bname[p, 1] = "(not judged: file pages)"
      bound[p, 3] = threads; bname[p, 3] = "MAX_THREAD_GROWTH=" threads
      bound[p, 4] = fds; bname[p, 4] = "MAX_FD_GROWTH=" fds
    }
    printf "%-22s %9s %9s %9s %11s %11s  %s\n", "figure", "start", "end", "peak", "q1 median", "q4 median", "bound on q4 - q1 (quarters after WARMUP_S=" warmup_ms / 1000 ")" >"/dev/stderr"
    for (p = 0; p < 2; p++) for (f = 1; f <= 4; f++) {
      c = 2 + p * 4 + (f - 1)
      peak = 0; last = "-"
      for (i = 1; i <= rows; i++) if (s[i, c] != "-") { if (s[i, c] + 0 > peak) peak = s[i, c] + 0; last = s[i, c] }
      q1 = median(c, first, first + q - 1); q4 = median(c, rows - q + 1, rows)
      name = (p ? "tileserver " : "ambrel ") fig[f]
      printf "%-22s %9s %9s %9s %11s %11s  %s\n", name, s[1, c], last, peak, q1, q4, bname[p, f] >"/dev/stderr"
      if ((p, f) in bound && q1 != "-" && q4 != "-" && q4 - q1 > bound[p, f])
        printf "%s grew from %s to %s between the first and last quarter (%s)\n", name, q1, q4, bname[p, f]
    }
  }' "$work/samples" 2>"$work/table")
[[ -n "$growth_failures" ]] && while IFS= read -r line; do failures+=("$line"); done <<<"$growth_failures"

actions=""
for name in drag tap double-tap zoom-in zoom-out home; do actions+=" $name ${done_actions[$name]:-0},"; done
echo
echo "soak: $(wc -l <"$work/samples") samples every ${SAMPLE_S} s over ${soak_s} s; actions:${actions%,}"
cat "$work/table"
echo "GUI probes: $probes, median $(median <"$work/probes" 2>/dev/null) ms, slowest ${slowest_probe} ms (MAX_PROBE_MS=${MAX_PROBE_MS})"
echo "Ambrel exit: status $app_status, $(( exit_after_ms < 0 ? 0 : exit_after_ms )) ms after the soak's end (EXIT_BOUND_S=${EXIT_BOUND_S})"
echo "tile requests: $(awk '$1 == "requests" { print $2 }' <<<"$counters") (counters: $(tr '\n' ' ' <<<"$counters"))"
echo "outcomes:"
awk -F'\t' '{ n[$NF]++ } END { for (o in n) printf "  %7d  %s\n", n[o], o }' "$work/requests" | sort -k1,1nr
if (( ${#failures[@]} )); then
  for f in "${failures[@]}"; do echo "soak: FAIL: $f"; done
  echo "soak: the last lines of Ambrel's stderr:"
  grep -v '^OMEventType' "$work/stderr" | tail -n 20
  exit 1
fi
echo "soak: passed"
