#!/usr/bin/env bash
# Configures and builds one configuration: native (portable core, sanitizers) or windows.
#   scripts/build.sh native|windows|server [build-dir]
# server: the vendor server alone, optimised and without sanitizers (scripts/run.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:?native or windows}
dir=${2:-$here/build/$kind}
case "$kind" in
  native)  cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
             -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKESTRIX_FUZZ=ON >/dev/null ;;
  windows) cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
             -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" >/dev/null ;;
  server)  cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRIX_SANITIZE=OFF >/dev/null
           exec cmake --build "$dir" -j2 --target kestrix-server ;;
  *) echo "unknown configuration $kind" >&2; exit 2 ;;
esac
cmake --build "$dir" -j2
