#!/usr/bin/env bash
# Builds the Debian packages from debian/ into build-deb/ and checks them with lintian.
# dpkg-buildpackage writes its packages beside the source tree it runs in, so the tree's files
# (those git tracks or does not ignore, as they are in the working tree) are copied to build-deb/src
# first: everything it makes stays inside build-deb/.
set -euo pipefail
cd "$(dirname "$0")/.."

# The changelog's version is the project's (CMakeLists.txt, project(... VERSION ...)).
cmake_version=$(sed -n 's/^project(OrvanMap VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
deb_version=$(dpkg-parsechangelog -S Version)
[[ -n "$cmake_version" && "$deb_version" == "$cmake_version" ]] ||
  { echo "deb: debian/changelog's version $deb_version is not the project's version $cmake_version" >&2; exit 1; }

out=$PWD/build-deb
rm -rf "$out"
mkdir -p "$out/src"
git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' f; do [[ -e "$f" ]] && printf '%s\0' "$f"; done |
  tar --null -T - -cf - | tar -xf - -C "$out/src"

# The tools' temporary files (dpkg-gensymbols', lintian's unpacked packages) stay in build-deb/ too.
export TMPDIR=$out/tmp
mkdir -p "$TMPDIR"

# ccache, if there is one: debhelper gives the build a private HOME, so the cache is named here.
if command -v ccache >/dev/null; then
  export CCACHE=ccache CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)} CCACHE_BASEDIR=$out/src
fi
(cd "$out/src" && dpkg-buildpackage -b -us -uc -j"${JOBS:-$(nproc)}") >"$out/build.log" 2>&1 ||
  { tail -60 "$out/build.log" >&2; echo "deb: dpkg-buildpackage failed (whole log: $out/build.log)" >&2; exit 1; }
rm -rf "$out/src"

changes=$(ls "$out"/*.changes)
lintian --fail-on error,warning --tag-display-limit 0 "$changes"
rm -rf "$TMPDIR"
echo "deb: the packages are in build-deb/:"
ls -1 "$out"/*.deb | sed "s|^$PWD/|  |"
