#!/usr/bin/env bash
# Installs every build and test dependency. Safe to run again.
set -euo pipefail
pkgs=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  mingw-w64 g++-mingw-w64-i686-posix
  wine wine64 wine32:i386 xvfb xauth x11-utils imagemagick
  googletest libgtest-dev libbenchmark-dev
  libcpp-httplib-dev libsqlite3-dev nsis fp-utils
  libssl-dev openssl wrk curl python3
)
# The program is 32-bit: Wine needs its i386 half to run it.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO dpkg --add-architecture i386
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
