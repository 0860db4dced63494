# Helpers shared by the Ambrel benchmarks (sourced): the tile server, a headless Ambrel driven
# through the device's input file, and a clock in milliseconds.
build=$(cd "${1:-build}" && pwd)
app=$build/app/ambrel
server=$build/tools/tileserver/tileserver
work=$(mktemp -d "${TMPDIR:-/tmp}/ambrel-bench.XXXXXX")
server_pid=
app_pid=

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

cleanup() {
  [[ -n "$app_pid" ]] && kill -KILL "$app_pid" 2>/dev/null
  [[ -n "$server_pid" ]] && kill -TERM "$server_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# start_server [ARGS...]: a tile server on a free port; sets http_proxy.
start_server() {
  [[ -n "$server_pid" ]] && { kill -TERM "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null; }
  : >"$work/server.out"
  "$server" --port 0 --parent-pid $$ "$@" >"$work/server.out" 2>&1 &
  server_pid=$!
  local address=
  for _ in $(seq 400); do
    address=$(sed -n 's/^listening on \(127\.0\.0\.1:[0-9]*\)$/\1/p' "$work/server.out")
    [[ -n "$address" ]] && break
    sleep 0.025
  done
  [[ -n "$address" ]] || { echo "bench: the tile server did not start" >&2; exit 1; }
  export http_proxy="http://$address"
  unset no_proxy NO_PROXY HTTP_PROXY ALL_PROXY all_proxy
}

# start_app: Ambrel headless with its input file $work/input and its stderr in $work/stderr.
start_app() {
  : >"$work/input"
  : >"$work/stderr"
  ORVAN_BACKEND=headless ORVAN_INPUT="$work/input" XDG_RUNTIME_DIR="$work" "$app" --tiles default 2>"$work/stderr" >/dev/null &
  app_pid=$!
}

# first_screen_done LOADS: LOADS tiles have been drawn and a paint that began after the last of them
# started drawing has finished. (A tile invalidates the window while it draws, before its "loaded"
# line, so the paint that shows it may end before that line; it always begins after the tile's
# "will load" line.)
first_screen_done() {
  awk -v loads="$1" '
    $0 == "OMEventTypeMapWillLoad" { starts++; if (starts == loads) painting = 0 }
    $0 == "OMEventTypeMapLoaded" { done++ }
    starts >= loads && $0 == "OMEventTypeMapWillDraw" { painting = 1 }
    painting && $0 == "OMEventTypeMapDrawn" { drawn = 1 }
    END { exit (done >= loads && drawn) ? 0 : 1 }' "$work/stderr"
}

# wait_first_screen LOADS [TIMEOUT_MS]: polls until the first screen is complete; 1 on time-out.
wait_first_screen() {
  local deadline=$(( $(now_ms) + ${2:-60000} ))
  until first_screen_done "$1"; do
    kill -0 "$app_pid" 2>/dev/null || return 1
    (( $(now_ms) < deadline )) || return 1
    sleep 0.002
  done
}

# server_get PATH: the body of a control request to the tile server.
server_get() {
  local port=${http_proxy##*:}
  exec 3<>"/dev/tcp/127.0.0.1/$port"
  printf 'GET %s HTTP/1.0\r\n\r\n' "$1" >&3
  sed '1,/^\r*$/d' <&3
  exec 3<&-
}

send() { printf '%s\n' "$*" >>"$work/input"; }

# stop_app: Ctrl+Q, then waits for the program; its exit status.
stop_app() {
  send "key ctrl+q"
  local status=0
  wait "$app_pid" || status=$?
  app_pid=
  return $status
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
