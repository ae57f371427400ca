#!/usr/bin/env bash
# Prepares a Wine prefix the way the installer leaves a machine: the data folder with the
# sample definitions in it. With KESTRIX_SEEN_BEFORE=1 (the default) it also records that the
# program has run once, so it starts straight into its main window instead of the first-run
# questions.
#   scripts/prepare-prefix.sh <wineprefix>
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${1:?wine prefix} WINEDEBUG=-all
appdata=$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
data=$(winepath -u "$appdata\\DideZuvurudARA" 2>/dev/null)
mkdir -p "$data"
for f in "$here"/packaging/definitions/*.dat; do
  [ -e "$f" ] && cp -n "$f" "$data/"
done
if [ "${KESTRIX_SEEN_BEFORE:-1}" = 1 ]; then
  key='HKCU\Software\Kestrix Labs\Kestrix\Settings'
  wine reg add "$key" /v Language /t REG_SZ /d English /f >/dev/null
  wine reg add "$key" /v showHelp /t REG_SZ /d 0 /f >/dev/null
  wine reg add 'HKLM\SOFTWARE\Kestrix Labs\Kestrix\Settings' /v FirstTime /t REG_SZ /d Yes /f >/dev/null
fi
wineserver -w
echo "data folder: $data"
