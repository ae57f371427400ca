#!/usr/bin/env bash
# Installs every build and test dependency. Safe to run again.
set -euo pipefail
pkgs=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  mingw-w64 g++-mingw-w64-i686-posix
  wine wine64 wine32:i386 xvfb xauth x11-utils imagemagick
  googletest libgtest-dev libbenchmark-dev
  libcpp-httplib-dev libsqlite3-dev libmicrohttpd-dev libpq-dev postgresql nginx-light nsis fp-utils
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
# Some machines' kernels cannot run 32-bit x86 code at all (no IA32 emulation, and no 32-bit
# code segment even for Wine's wow64 mode): Wine's 32-bit loader fails with "Exec format
# error". There, run 32-bit ELF programs through QEMU's user-mode emulator. The release's
# QEMU (7.2) ignores MAP_FIXED_NOREPLACE, which makes every 32-bit Wine process take a
# minute to start; the backported one does not (under a second).
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  qemu=/usr/bin/qemu-i386
  if ! "$qemu" --version 2>/dev/null | grep -Eq 'version ([89]|[1-9][0-9])\.'; then
    dir=$(mktemp -d)
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm-backports main" >"$dir/sources.list"
    mkdir -p "$dir/lists/partial"
    chmod -R a+rX "$dir"
    opts=(-o "Dir::Etc::SourceList=$dir/sources.list" -o "Dir::Etc::SourceParts=/nonexistent" -o "Dir::State::Lists=$dir/lists")
    $SUDO apt-get "${opts[@]}" update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get "${opts[@]}" install -y -q --no-install-recommends qemu-user
    rm -rf "$dir"
  fi
  [ -e /proc/sys/fs/binfmt_misc/register ] || $SUDO mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  entry=/proc/sys/fs/binfmt_misc/qemu-i386
  if [ -e "$entry" ] && ! grep -qx "interpreter $qemu" "$entry"; then echo -1 | $SUDO tee "$entry" >/dev/null; fi
  if [ ! -e "$entry" ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
      | $SUDO tee /proc/sys/fs/binfmt_misc/register >/dev/null
  fi
  /usr/lib/wine/wine --version >/dev/null || { echo "setup: 32-bit Wine cannot start, even under QEMU" >&2; exit 1; }
fi
