#!/usr/bin/env bash
# Builds Kestrix and runs it under Wine on its embedded defaults: a prefix of its own with
# the sample definitions in the data folder, and the local vendor server on 127.0.0.1:8021
# (the program's compiled-in address) with the same definitions and one newer sample
# definition that Live Update brings. Without a display it runs under Xvfb, saves a
# screenshot of the main window to build/screenshots/main.png and closes after a while.
# The server (a signer holding the development key and the front without it) stops when the
# program ends.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
"$here/scripts/build.sh" windows
"$here/scripts/build.sh" server "$here/build/server"
export WINEPREFIX="$here/build/run-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX" ] || wineboot -i
wineserver -w

# The vendor server: the sample set as of a fixed date, and one definition published now.
sample_date="1/15/2026 12:00:00 PM"
server="$here/build/server/server/kestrix-server"
state="$here/build/run-server"
mkdir -p "$state"
rm -f "$state"/kestrix*.db*
"$server" import "$here/packaging/definitions" --db "$state/kestrix.db" --at "$sample_date"
"$server" publish FILE "qmhook.dll=QuillSpy Monitor|[system]|Spyware" --db "$state/kestrix.db"
"$server" signer --signer "$state/signer.sock" --db "$state/kestrix.db" \
  --key "$here/build/keys/signing-key.pem" --languages "$here/packaging" >"$state/signer.log" 2>&1 &
signer_pid=$!
for _ in $(seq 100); do [ -S "$state/signer.sock" ] && break; sleep 0.1; done
"$server" serve --port 8021 --bind 127.0.0.1 --db "$state/kestrix.db" --signer "$state/signer.sock" \
  >"$state/server.log" 2>&1 &
server_pid=$!
trap 'kill $server_pid $signer_pid 2>/dev/null; wait $server_pid $signer_pid 2>/dev/null || true' EXIT
echo "vendor server on http://127.0.0.1:8021 (log: build/run-server/server.log)"

KESTRIX_DEFINITIONS_DATE="$sample_date" "$here/scripts/prepare-prefix.sh" "$WINEPREFIX" 2>/dev/null || true
# The program's folder as the installer lays it out: the language file and help beside it.
program="$here/build/run-program"
mkdir -p "$program"
cp "$here/build/windows/Kestrix.exe" "$here/packaging/Localization.txt" "$program/"
cp "$here/build/windows/packaging/Help.chm" "$program/" 2>/dev/null || true
exe="$program/Kestrix.exe"
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
