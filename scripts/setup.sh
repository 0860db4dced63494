#!/usr/bin/env bash
# Installs the Debian packages the project needs, if any are missing. Idempotent and quiet.
#   scripts/setup.sh        what building, testing and running need
#   scripts/setup.sh fuzz   that, and Clang with its libFuzzer and sanitizer runtimes (`make fuzz`)
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config make
  libcurl4-openssl-dev libspng-dev libjpeg62-turbo-dev libpng-dev libsdl2-dev
  libfreetype-dev libfontconfig-dev fonts-nanum libcpp-httplib-dev libwebp-dev libsqlite3-dev libcairo2-dev libexpat1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool xauth libx11-dev
  nghttp2-proxy tinyproxy openssl ca-certificates
  debhelper dpkg-dev fakeroot lintian desktop-file-utils appstream
)
FUZZ_PACKAGES=(clang libclang-rt-dev)

case "${1:-}" in
  "") ;;
  fuzz) PACKAGES+=("${FUZZ_PACKAGES[@]}") ;;
  *) echo "usage: $0 [fuzz]" >&2; exit 2 ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "setup: these Debian packages are missing: ${missing[*]}" >&2
  echo "setup: run as root (or install them with apt-get) and try again." >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
