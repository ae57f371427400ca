#!/usr/bin/env bash
# Builds Kestrix and runs it under Wine on its embedded defaults: a prefix of its own with
# the sample definitions in the data folder. Without a display it runs under Xvfb, saves a
# screenshot of the main window to build/screenshots/main.png and closes after a while.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
"$here/scripts/build.sh" windows
export WINEPREFIX="$here/build/run-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX" ] || wineboot -i
wineserver -w
"$here/scripts/prepare-prefix.sh" "$WINEPREFIX" 2>/dev/null || true
exe="$here/build/windows/Kestrix.exe"
if [ -n "${DISPLAY:-}" ]; then
  wine "$exe"
else
  mkdir -p "$here/build/screenshots"
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "
    wine '$exe' & pid=\$!
    sleep \${KESTRIX_SHOT_DELAY:-12}
    import -window root '$here/build/screenshots/main.png' && echo 'screenshot: build/screenshots/main.png'
    sleep \${KESTRIX_RUN_SECONDS:-2}
    wineserver -k; wait \$pid 2>/dev/null; true"
fi
