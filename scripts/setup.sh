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
  # A mirror caught mid-sync fails one index; the others still serve the install.
  $SUDO apt-get update -q || echo "setup: apt-get update reported errors; installing from the indexes it has" >&2
  if ! $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    # Wine's i386 half must match the amd64 versions; when one architecture's security index
    # did not arrive they differ. Install from the release and its updates alone instead.
    echo "setup: retrying without the security suite" >&2
    list=$(mktemp)
    key=/usr/share/keyrings/debian-archive-keyring.gpg
    for suite in bookworm bookworm-updates; do
      echo "deb [signed-by=$key] http://deb.debian.org/debian $suite main" >>"$list"
    done
    chmod 644 "$list"
    opts=(-o "Dir::Etc::SourceList=$list" -o "Dir::Etc::SourceParts=/nonexistent")
    $SUDO apt-get "${opts[@]}" update -q || true
    $SUDO apt-get "${opts[@]}" install -y -q --no-install-recommends "${missing[@]}"
    rm -f "$list"
  fi
fi
