#!/usr/bin/env bash
# ctest's emulator for Windows executables. ctest gives each run a prefix in the build
# folder (KESTRIX_WINEPREFIX), created fresh once per run by the wine_prefix fixture.
set -u
export WINEPREFIX="${KESTRIX_WINEPREFIX:-$HOME/.wine-kestrix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
