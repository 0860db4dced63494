#!/usr/bin/env bash
# Installs the library's component into a fresh prefix and compares the functions the installed
# shared library exports (nm -D, demangled, parameter lists dropped) with those its installed
# headers declare (package/declared-names.awk), both ways; any difference fails and is listed.
#   check-exports.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/orvan-exports.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --component OrvanMapLib --prefix "$work/prefix" >"$work/install.log" ||
  { cat "$work/install.log"; fail "cmake --install"; }
library=$(find "$work/prefix" -name 'libOrvanMapLib.so.*' -type f | head -1)
[[ -n "$library" ]] || fail "no libOrvanMapLib.so.* is installed"
find "$work/prefix/include" -name '*.h' -print0 | sort -z | xargs -0 awk -f "$source_dir/package/declared-names.awk" |
  sort -u >"$work/declared"
[[ $(wc -l <"$work/declared") -gt 50 ]] || fail "the headers' parse found only $(wc -l <"$work/declared") functions"
grep -qx OMMapViewCreate "$work/declared" && grep -qx CreateWindowExW "$work/declared" ||
  fail "the headers' parse missed OMMapViewCreate or CreateWindowExW"
# "addr T name(params)": the name, without its parameters or ABI tag. The linker's own symbols
# (_edata, _end, __bss_start) are not the library's.
nm -D --defined-only -C "$library" | cut -d' ' -f3- | sed -e 's/\[abi:[^]]*\]//g' -e 's/(.*$//' |
  grep -vxE '_edata|_end|__bss_start|_init|_fini' | sort -u >"$work/exported"

extra=$(comm -13 "$work/declared" "$work/exported")
missing=$(comm -23 "$work/declared" "$work/exported")
[[ -z "$extra" ]] || echo "exported but declared in no installed header ($(wc -l <<<"$extra")):" $'\n'"$extra" >&2
[[ -z "$missing" ]] || echo "declared in an installed header but not exported ($(wc -l <<<"$missing")):" $'\n'"$missing" >&2
[[ -z "$extra" && -z "$missing" ]] || fail "the library's exports are not what its headers declare"
echo "the library exports the $(wc -l <"$work/exported") functions its installed headers declare, and nothing else"
