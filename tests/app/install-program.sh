#!/usr/bin/env bash
# Installs the build into a fresh prefix, moves it elsewhere, and runs the installed programs from
# there with nothing configured: Ambrel must find the world map installed beside it, refuse a bad
# option or tile source with status 2 and one line, answer --help and --version; the tile server
# must run as orvan-tileserver; the manual pages must render; no binary may carry a run path into
# the build tree. Then the installed ambrel runs the InstalledAmbrel tests of AMBREL_TESTS (the
# ambrel_tests program): an MBTiles file and a tile service on loopback, end to end.
#   install-program.sh BUILD_DIR SOURCE_DIR AMBREL_TESTS VERSION
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
ambrel_tests=$3
version=$4
[[ -x "$ambrel_tests" ]] || { echo "FAIL: no test program $ambrel_tests (build the ambrel_tests target)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/ambrel-install-program.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }
for f in bin/ambrel bin/orvan-tileserver share/man/man1/ambrel.1 share/man/man1/orvan-tileserver.1; do
  [[ -e "$prefix/$f" ]] || fail "$f is not installed"
done

# Relocatable: no run path but one relative to the binary, no text file naming the build or source tree.
for binary in "$prefix"/bin/* "$prefix"/lib/*.so*; do
  [[ -f "$binary" && ! -L "$binary" ]] || continue
  while read -r path; do
    [[ "$path" == '$ORIGIN'* ]] || fail "$binary has the run path $path"
  done < <(readelf -d "$binary" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]/\2/p' | tr ':' '\n')
done
if grep -rIl -e "$build" -e "$source_dir" "$prefix" >"$work/named.txt"; then
  fail "installed files name the build or source tree: $(cat "$work/named.txt")"
fi

mv "$prefix" "$work/moved"
prefix=$work/moved
map=$prefix/share/orvanmap/world.mbtiles
[[ -s "$map" ]] || fail "the world map is not installed at $map"

# A private device and user: nothing configured, nothing found of this machine's user, and the
# proxy a loopback port nobody listens on (nothing may leave the machine).
mkdir -p "$work/home" "$work/config" "$work/cache" "$work/runtime"
# run_ambrel PROGRAM SCREENSHOT ARGUMENTS...
run_ambrel() {
  local program=$1 shot=$2
  shift 2
  env -u AMBREL_TILES -u AMBREL_CONTACT -u no_proxy HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
    XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime" http_proxy=http://127.0.0.1:9 \
    ORVAN_BACKEND=headless ORVAN_RUN_MS=2000 ORVAN_SCREENSHOT="$shot" "$program" "$@" >"$work/out" 2>"$work/err"
}
ambrel() { run_ambrel "$prefix/bin/ambrel" "$work/shot.png" "$@"; }
lines() { grep -c -F -e "$1" "$work/err" || true; }

ambrel || fail "the installed ambrel ended with status $? ($(cat "$work/err"))"
grep -qxF "ambrel: tiles: mbtiles:$map (the map installed with the program)" "$work/err" ||
  fail "the installed ambrel did not take the map installed beside it: $(grep -v OMEvent "$work/err")"
[[ -s "$work/shot.png" ]] || fail "the installed ambrel wrote no screenshot"
# The world map shows: the build tree's ambrel, whose screen the headless suite checks for the map's
# land, sea and attribution, shows exactly the same screen with the same settings.
mv "$work/shot.png" "$work/installed.png"
run_ambrel "$build/app/ambrel" "$work/built.png" || fail "the built ambrel ended with status $?"
cmp -s "$work/installed.png" "$work/built.png" || fail "the installed ambrel's screen is not the built one's world map"

ambrel --tiles mbtiles:/nonexistent/map.mbtiles && fail "a missing MBTiles file was accepted" || status=$?
[[ $status -eq 2 ]] || fail "a missing MBTiles file gave status $status, not 2"
[[ $(lines /nonexistent/map.mbtiles) -eq 1 ]] || fail "not one line names the missing file: $(cat "$work/err")"

ambrel --zoom 4 && fail "an unknown option was accepted" || status=$?
[[ $status -eq 2 ]] || fail "an unknown option gave status $status, not 2"
grep -qxF "ambrel: unknown option '--zoom' (see ambrel --help)" "$work/err" || fail "no line names --zoom: $(cat "$work/err")"

ambrel --version || fail "--version ended with status $?"
grep -qxF "ambrel $version" "$work/out" || fail "--version printed: $(cat "$work/out")"
ambrel --help || fail "--help ended with status $?"
grep -q '^Usage: ambrel' "$work/out" && grep -q 'AMBREL_TILES' "$work/out" || fail "--help printed: $(cat "$work/out")"

# Tiles from an MBTiles file and from a tile service, run by the tests' own launcher (each test
# has a private home, settings and cache of its own). Every test must run: none may be skipped.
AMBREL_UNDER_TEST="$prefix/bin/ambrel" TMPDIR="$work" "$ambrel_tests" --gtest_filter='InstalledAmbrel.*' \
  >"$work/tests.log" 2>&1 || { cat "$work/tests.log"; fail "the installed ambrel failed its tile-source tests"; }
if grep -q '^\[  SKIPPED \]' "$work/tests.log" || ! grep -q '^\[  PASSED  \] 2 tests' "$work/tests.log"; then
  cat "$work/tests.log"
  fail "the installed ambrel's tile-source tests did not all run"
fi

rm "$map"
ambrel || fail "without its map the installed ambrel ended with status $?"
grep -q '^ambrel: tiles: default (no map installed with the program' "$work/err" ||
  fail "without its map no line said the default source is used: $(grep -v OMEvent "$work/err")"

"$prefix/bin/orvan-tileserver" --help >"$work/out" 2>&1 || fail "orvan-tileserver --help ended with status $?"
grep -q -- '--source SOURCE' "$work/out" || fail "orvan-tileserver --help printed: $(head -3 "$work/out")"

for page in ambrel orvan-tileserver; do
  file=$prefix/share/man/man1/$page.1
  head -1 "$file" | grep -q '^\.TH ' || fail "$page.1 is no manual page"
  if command -v man >/dev/null; then
    MANWIDTH=80 man --warnings -l "$file" >"$work/page" 2>"$work/page.err" </dev/null || fail "man cannot render $page.1"
    [[ ! -s "$work/page.err" ]] || fail "man warns about $page.1: $(cat "$work/page.err")"
    grep -q '^NAME' "$work/page" && grep -q "^SYNOPSIS" "$work/page" || fail "$page.1 renders without NAME or SYNOPSIS"
  fi
done
echo "the installed, moved programs run, find their map, refuse bad settings and have manual pages"
