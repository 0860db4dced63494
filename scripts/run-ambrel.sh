#!/usr/bin/env bash
# Runs Ambrel against the local tile server: `make run` calls it once the program is built.
#   scripts/run-ambrel.sh [BUILD_DIR]
# Starts tools/tileserver on a free loopback port and points the device's proxy setting at it. With
# a display, Ambrel opens in a desktop window (close it with the "OK" soft key or Ctrl+Q). Without
# one, it runs headless for AMBREL_RUN_MS milliseconds (default 5000), writes a screenshot and prints
# where it is. The tile server ends with this script, whether Ambrel ends, crashes or is interrupted
# (Ctrl+C); if this script is killed outright, the server notices its parent is gone and ends too.
# A second run while Ambrel runs brings the running copy to the front and ends at once.
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
app=$build/app/ambrel
server=$build/tools/tileserver/tileserver
for f in "$app" "$server"; do
  [[ -x "$f" ]] || { echo "run: $f is not built; run 'make build' first" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/ambrel-run.XXXXXX")
server_pid=
stop_server() {
  if [[ -n "$server_pid" ]] && kill -0 "$server_pid" 2>/dev/null; then
    kill -TERM "$server_pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap stop_server EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# TILES (from `make run`) names the tile source: mbtiles:FILE or upstream:TEMPLATE; empty: synthetic.
# The server serves it; Ambrel itself uses its default source (--tiles default), reaching the
# server through http_proxy.
source_args=()
[[ -n "${TILES:-}" ]] && source_args=(--source "$TILES")

# The server prints "listening on 127.0.0.1:PORT" once it accepts connections.
"$server" --port 0 --parent-pid $$ "${source_args[@]}" >"$work/server.out" 2>&1 &
server_pid=$!
address=
for _ in $(seq 200); do
  address=$(sed -n 's/^listening on \(127\.0\.0\.1:[0-9]*\)$/\1/p' "$work/server.out")
  [[ -n "$address" ]] && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.05
done
if [[ -z "$address" ]]; then
  echo "run: the tile server did not start:" >&2
  cat "$work/server.out" >&2
  exit 1
fi
echo "run: tile server on $address"

export http_proxy="http://$address"
unset no_proxy NO_PROXY HTTP_PROXY ALL_PROXY all_proxy

run_headless() {
  local shot="$build/ambrel-screenshot.png"
  rm -f "$shot"
  local ms=${AMBREL_RUN_MS:-5000}
  echo "run: no display; running Ambrel headless for $ms ms"
  ORVAN_BACKEND=headless ORVAN_RUN_MS=$ms ORVAN_SCREENSHOT="$shot" "$app" --tiles default
  local status=$?
  if [[ -f "$shot" ]]; then
    echo "run: screenshot written to $shot"
    if command -v xdg-open >/dev/null; then
      echo "run: open it with: xdg-open $shot"
    else
      echo "run: open it with any PNG viewer or a web browser (file://$shot)"
    fi
  fi
  return $status
}

# A display that answers: Wayland, or an X display that xdotool (installed by the set-up) can open.
display_usable() {
  [[ -n "${WAYLAND_DISPLAY:-}" ]] && return 0
  [[ -n "${DISPLAY:-}" ]] || return 1
  command -v xdotool >/dev/null || return 0
  timeout 5 xdotool getdisplaygeometry >/dev/null 2>&1
}

status=0
if [[ "${ORVAN_BACKEND:-}" != headless ]] && display_usable; then
  echo "run: opening Ambrel in a desktop window (close it with the OK soft key or Ctrl+Q)"
  ORVAN_BACKEND=sdl "$app" --tiles default
  status=$?
else
  [[ -n "${DISPLAY:-}" ]] && echo "run: the display $DISPLAY does not answer"
  run_headless
  status=$?
fi
if [[ $status -ne 0 ]]; then
  echo "run: Ambrel ended with exit status $status" >&2
fi
exit $status
