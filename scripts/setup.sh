#!/usr/bin/env bash
# setup.sh [test|run|bench]...
# Installs what a fresh Debian 12 machine lacks for the given jobs and does nothing when all of
# it is there already. Needs root (or sudo) only when something is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mingw_root=/usr/x86_64-w64-mingw32

base_packages=(g++ cmake ninja-build pkg-config python3 googletest zlib1g-dev libpng-dev)
windows_packages=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 fonts-wine fonts-liberation
                  xvfb x11-apps x11-utils imagemagick xdotool dpkg-dev nsis
                  xserver-xorg-core xserver-xorg-video-dummy)
fuzz_packages=(clang libclang-rt-14-dev libexpat1-dev)
bench_packages=(libpugixml-dev librapidxml-dev libxml2-dev libexpat1-dev libbenchmark-dev)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

install_packages() {
  local missing
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  echo "setup: installing $(echo $missing)"
  as_root apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# libpng for Windows is not packaged; build it from Debian's own source package with our
# toolchain file and install it into the mingw-w64 root beside zlib.
install_windows_libpng() {
  [ -f "$mingw_root/lib/libpng16.a" ] && [ -f "$mingw_root/include/png.h" ] && return 0
  echo "setup: building libpng for Windows"
  local list=/etc/apt/sources.list.d/tidewire-src.sources
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    local uri
    uri=$(grep -h -m1 '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '{print $2}')
    [ -n "$uri" ] || uri=http://deb.debian.org/debian
    printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$uri" | as_root tee "$list" >/dev/null
    as_root apt-get update -qq
  fi
  local work
  work=$(mktemp -d)
  (cd "$work" && apt-get source -qq libpng1.6 >/dev/null 2>&1)
  local src
  src=$(find "$work" -maxdepth 1 -type d -name 'libpng1.6-*' | head -n 1)
  [ -n "$src" ] || { echo "setup: could not fetch the libpng1.6 source package" >&2; return 1; }
  cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR= \
    -DCMAKE_INSTALL_PREFIX="$mingw_root" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF -DSKIP_INSTALL_PROGRAMS=ON >"$work/configure.log" 2>&1 \
    || { cat "$work/configure.log"; return 1; }
  cmake --build "$work/build" >"$work/build.log" 2>&1 || { cat "$work/build.log"; return 1; }
  as_root cmake --install "$work/build" >/dev/null
  rm -rf "$work"
}

jobs=("$@")
[ ${#jobs[@]} -eq 0 ] && jobs=(test)
for job in "${jobs[@]}"; do
  case "$job" in
    test) install_packages "${base_packages[@]}" "${windows_packages[@]}" "${fuzz_packages[@]}"
          install_windows_libpng ;;
    run)  install_packages "${base_packages[@]}" "${windows_packages[@]}"
          install_windows_libpng ;;
    bench) install_packages "${base_packages[@]}" "${bench_packages[@]}" ;;
    *) echo "setup: unknown job '$job' (test, run, bench)" >&2; exit 2 ;;
  esac
done
