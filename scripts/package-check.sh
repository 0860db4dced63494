#!/usr/bin/env bash
# Checks the built Debian packages as a user gets them: every .deb of DEB_DIR is unpacked with
# dpkg-deb -x into a scratch root, its desktop entry and AppStream metadata are validated, the
# packaged ambrel runs headless from there with nothing configured (a private home, settings and
# cache; every proxy a loopback port nobody listens on) and must show the world map packaged with it, the same screen as the build tree's ambrel (whose world
# map the headless suite checks for land, sea and attribution); then package/example is built with
# the -dev package's pkg-config file and runs headless against the packaged tile server, which it
# must ask for tiles.
#   package-check.sh DEB_DIR [BUILD_DIR]     (BUILD_DIR: a build of the tree, default build)
set -euo pipefail
cd "$(dirname "$0")/.."
debs=$(cd "$1" && pwd)
build=$(cd "${2:-build}" && pwd)
[[ -x "$build/app/ambrel" ]] || { echo "package-check: no $build/app/ambrel (make build first)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/orvan-package-check.XXXXXX")
server_pid=
cleanup() {
  [[ -n "$server_pid" ]] && kill -TERM "$server_pid" 2>/dev/null
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
fail() { echo "FAIL: $*" >&2; exit 1; }

root=$work/root
shopt -s nullglob
packages=()
for deb in "$debs"/*.deb; do [[ "$deb" == *-dbgsym_* ]] || packages+=("$deb"); done
[[ ${#packages[@]} -eq 4 ]] || fail "expected four packages in $debs, found ${#packages[@]}"
for deb in "${packages[@]}"; do dpkg-deb -x "$deb" "$root"; done
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir=$root/usr/lib/$multiarch
for f in usr/bin/ambrel usr/bin/orvan-tileserver usr/share/orvanmap/world.mbtiles \
         usr/share/applications/ambrel.desktop usr/share/metainfo/org.orvanmap.ambrel.metainfo.xml \
         usr/share/man/man1/ambrel.1.gz usr/share/man/man1/orvan-tileserver.1.gz \
         usr/include/OrvanMapLib/mapview/OMMapView.h "usr/lib/$multiarch/pkgconfig/OrvanMapLib.pc" \
         "usr/lib/$multiarch/cmake/OrvanMapLib/OrvanMapLibConfig.cmake" "usr/lib/$multiarch/libOrvanMapLib.so"; do
  [[ -e "$root/$f" ]] || fail "no package holds /$f"
done

# The program names the version its package carries.
ambrel_deb=$(printf '%s\n' "${packages[@]}" | grep '/ambrel_')
version=$(dpkg-deb -f "$ambrel_deb" Version)
said=$(LD_LIBRARY_PATH="$libdir" ORVAN_BACKEND=headless "$root/usr/bin/ambrel" --version) || fail "the packaged ambrel --version ended with status $?"
[[ "$said" == "ambrel $version" ]] || fail "the packaged ambrel --version says '$said', its package is $version"

# The desktop entry and the AppStream metadata as packaged.
desktop-file-validate "$root/usr/share/applications/ambrel.desktop" || fail "desktop-file-validate: ambrel.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.orvanmap.ambrel.metainfo.xml" >"$work/appstream.out" 2>&1 ||
  { cat "$work/appstream.out"; fail "appstreamcli validate: org.orvanmap.ambrel.metainfo.xml"; }

mkdir -p "$work/home" "$work/config" "$work/cache" "$work/runtime"
# run PROGRAM SCREENSHOT ARGUMENTS...: headless, nothing configured, nothing reaching the network.
run() {
  local program=$1 shot=$2
  shift 2
  env -u AMBREL_TILES -u AMBREL_CONTACT -u no_proxy -u https_proxy -u HTTPS_PROXY -u all_proxy -u ALL_PROXY \
    HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" \
    http_proxy=http://127.0.0.1:9 LD_LIBRARY_PATH="$libdir" \
    ORVAN_BACKEND=headless ORVAN_RUN_MS=2000 ORVAN_SCREENSHOT="$shot" "$program" "$@" >"$work/out" 2>"$work/err"
}

run "$root/usr/bin/ambrel" "$work/packaged.png" || fail "the packaged ambrel ended with status $? ($(cat "$work/err"))"
grep -qxF "ambrel: tiles: mbtiles:$root/usr/share/orvanmap/world.mbtiles (the map installed with the program)" "$work/err" ||
  fail "the packaged ambrel did not take the map packaged with it: $(grep -v OMEvent "$work/err")"
[[ -s "$work/packaged.png" ]] || fail "the packaged ambrel wrote no screenshot"
run "$build/app/ambrel" "$work/built.png" || fail "the built ambrel ended with status $?"
cmp -s "$work/packaged.png" "$work/built.png" || fail "the packaged ambrel's screen is not the built one's world map"
echo "package-check: the packaged ambrel shows the world map packaged with it"

# The example, built with nothing but the -dev package's pkg-config file (it names its prefix
# relative to itself, so the unpacked root serves as it is).
export PKG_CONFIG_PATH="$libdir/pkgconfig"
flags=$(pkg-config --cflags --libs OrvanMapLib) || fail "pkg-config does not know the packaged OrvanMapLib"
include=$(pkg-config --variable=includedir OrvanMapLib)
[[ $(realpath -m "$include") == "$root/usr/include" ]] || fail "pkg-config's include folder is not the package's: $include"
# shellcheck disable=SC2086 # the flags are words
g++ -std=c++20 -o "$work/map-window" package/example/MapWindow.cpp $flags || fail "building package/example"

"$root/usr/bin/orvan-tileserver" --port 0 --parent-pid $$ >"$work/server.out" 2>&1 &
server_pid=$!
port=
for _ in $(seq 400); do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/server.out")
  [[ -n "$port" ]] && break
  sleep 0.025
done
[[ -n "$port" ]] || fail "the packaged tile server did not start: $(cat "$work/server.out")"
requests() {
  exec 3<>"/dev/tcp/127.0.0.1/$port"
  printf 'GET /_control/counters HTTP/1.0\r\n\r\n' >&3
  awk '$1 == "requests" { print $2 }' <&3
  exec 3<&-
}
LD_LIBRARY_PATH="$libdir" HOME="$work/home" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" \
  http_proxy="http://127.0.0.1:$port" ORVAN_BACKEND=headless ORVAN_RUN_MS=3000 ORVAN_SCREENSHOT="$work/example.png" \
  "$work/map-window" >"$work/example.out" 2>&1 || fail "the example ended with an error: $(tail -5 "$work/example.out")"
(( $(requests) > 0 )) || fail "the example asked the packaged tile server for no tiles"
[[ -s "$work/example.png" ]] || fail "the example wrote no screenshot"
echo "package-check: package/example builds with the packaged pkg-config file and shows a map"
