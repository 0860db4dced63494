#!/usr/bin/env bash
# Installs the build into a fresh prefix, then builds the embedding example from the installed
# files alone (CMake package and pkg-config, in a folder outside the source tree) and runs it
# headless against the tile server: it must show a map, that is, ask for tiles, and end cleanly.
#   install-embed.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/ambrel-install.XXXXXX")
server_pid=
cleanup() {
  [[ -n "$server_pid" ]] && kill -TERM "$server_pid" 2>/dev/null
  wait 2>/dev/null || true
  rm -rf "$work"
}
# The work folder goes however the script ends: also when it is interrupted or asked to end.
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }

for f in bin/ambrel share/applications/ambrel.desktop share/icons/hicolor/48x48/apps/ambrel.png \
         include/OrvanMapLib/mapview/OMMapView.h include/OrvanMapLib/platform/ui/DeviceScreen.h \
         lib/cmake/OrvanMapLib/OrvanMapLibConfig.cmake lib/pkgconfig/OrvanMapLib.pc; do
  [[ -e "$prefix/$f" ]] || fail "$f is not installed"
done
ls "$prefix"/lib/libOrvanMapLib.so* >/dev/null || fail "libOrvanMapLib.so is not installed"
grep -qx 'Exec=ambrel' "$prefix/share/applications/ambrel.desktop" || fail "the desktop entry does not start ambrel"
grep -qx 'Icon=ambrel' "$prefix/share/applications/ambrel.desktop" || fail "the desktop entry names no icon"
# Nothing of the build or source tree may be needed: move the prefix before using it.
mv "$prefix" "$work/moved"
prefix=$work/moved

cp -r "$source_dir/package/example" "$work/example"
cmake -S "$work/example" -B "$work/example-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >"$work/cmake.log" 2>&1 ||
  { cat "$work/cmake.log"; fail "configuring the example with the installed CMake package"; }
cmake --build "$work/example-build" >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "building the example"; }
PKG_CONFIG_PATH="$prefix/lib/pkgconfig" g++ -std=c++20 -o "$work/map-window-pc" "$work/example/MapWindow.cpp" \
  $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs OrvanMapLib) ||
  fail "building the example with pkg-config"

"$build/tools/tileserver/tileserver" --port 0 --parent-pid $$ >"$work/server.out" 2>&1 &
server_pid=$!
port=
for _ in $(seq 400); do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/server.out")
  [[ -n "$port" ]] && break
  sleep 0.025
done
[[ -n "$port" ]] || fail "the tile server did not start"
requests() {
  exec 3<>"/dev/tcp/127.0.0.1/$port"
  printf 'GET /_control/counters HTTP/1.0\r\n\r\n' >&3
  awk '$1 == "requests" { print $2 }' <&3
  exec 3<&-
}

for program in "$work/example-build/map-window" "$work/map-window-pc"; do
  before=$(requests)
  # Its instance directory (XDG_RUNTIME_DIR/orvan-ui) in the work folder too, not in /tmp.
  LD_LIBRARY_PATH="$prefix/lib" http_proxy="http://127.0.0.1:$port" ORVAN_BACKEND=headless ORVAN_RUN_MS=3000 \
    XDG_RUNTIME_DIR="$work" ORVAN_SCREENSHOT="$work/shot.png" "$program" || fail "$(basename "$program") ended with an error"
  after=$(requests)
  (( after > before )) || fail "$(basename "$program") asked for no tiles"
  [[ -s "$work/shot.png" ]] || fail "$(basename "$program") wrote no screenshot"
  rm -f "$work/shot.png"
done
echo "installed files build and run the embedding example (CMake package and pkg-config)"
