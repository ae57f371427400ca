#!/usr/bin/env bash
# Puts the sample definitions, line-encoded, into a Wine prefix's data folder
# ("[appdata]DideZuvurudARA"), as the installer does on Windows.
#   scripts/prepare-prefix.sh <WINEPREFIX>
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
prefix=${1:?usage: prepare-prefix.sh <WINEPREFIX>}

# The encoder: from a native build when there is one, else built here on its own.
enc=""
for c in "$here/build/native/defencode" "$here/build/tools/defencode"; do
  [ -x "$c" ] && { enc=$c; break; }
done
if [ -z "$enc" ]; then
  mkdir -p "$here/build/tools"
  c++ -std=c++20 -O2 -I"$here/src" "$here/tools/defencode.cpp" "$here/src/definitions/codec.cpp" \
    -o "$here/build/tools/defencode"
  enc="$here/build/tools/defencode"
fi

# The prefix user's roaming Application Data folder (Windows 7 layout, or XP's).
users="$prefix/drive_c/users"
user_dir=""
for u in "${USER:-$(id -un)}" $(ls "$users" 2>/dev/null); do
  [ -n "$u" ] && [ "$u" != "Public" ] && [ -d "$users/$u" ] && { user_dir="$users/$u"; break; }
done
[ -n "$user_dir" ] || { echo "prepare-prefix: no user profile in $users" >&2; exit 1; }
if [ -d "$user_dir/AppData/Roaming" ]; then appdata="$user_dir/AppData/Roaming"
elif [ -d "$user_dir/Application Data" ]; then appdata="$user_dir/Application Data"
else appdata="$user_dir/AppData/Roaming"; fi

data="$appdata/DideZuvurudARA"
mkdir -p "$data"
for f in "$here"/packaging/definitions/*.txt; do
  name=$(basename "$f" .txt)
  "$enc" "$f" "$data/$name.dat"
done
# The definitions date of this set, when given (KESTRIX_DEFINITIONS_DATE, "M/D/YYYY h:mm:ss AM"):
# Live Update then asks the server only for what is newer. Without it the date is the
# program's default, and Live Update asks for everything since then.
if [ -n "${KESTRIX_DEFINITIONS_DATE:-}" ]; then
  printf '%s\r\n' "$KESTRIX_DEFINITIONS_DATE" > "$data/date.dat"
else
  rm -f "$data/date.dat"
fi
echo "sample definitions in $data"

# Unless KESTRIX_SEEN_BEFORE=0: record that the program has run once, so it starts straight
# into its main window instead of the first-start questions.
if [ "${KESTRIX_SEEN_BEFORE:-1}" = 1 ]; then
  export WINEPREFIX="$prefix" WINEDEBUG=-all
  key='HKCU\Software\Kestrix Labs\Kestrix\Settings'
  wine reg add "$key" /v Language /t REG_SZ /d English /f /reg:32 >/dev/null
  wine reg add "$key" /v showHelp /t REG_SZ /d 0 /f /reg:32 >/dev/null
  wine reg add 'HKLM\SOFTWARE\Kestrix Labs\Kestrix\Settings' /v FirstTime /t REG_SZ /d Yes /f /reg:32 >/dev/null
  wineserver -w
fi

# Unless KESTRIX_PLANT_SAMPLES=0: plant the sample threats that the definitions name, so a
# scan of this prefix has something to find (harmless empty files and registry entries).
if [ "${KESTRIX_PLANT_SAMPLES:-1}" = 1 ]; then
  export WINEPREFIX="$prefix" WINEDEBUG=-all
  c="$prefix/drive_c"
  # The program is 32-bit: on a 64-bit prefix its [progfil] is "Program Files (x86)", and
  # the registry entries go to the 32-bit view (/reg:32) that it sees.
  progfil="$c/Program Files"; [ -d "$c/Program Files (x86)" ] && progfil="$c/Program Files (x86)"
  expand() {
    local p=$1
    p=${p//\[system\]/$c/windows/system32/}; p=${p//\[windir\]/$c/windows/}
    p=${p//\[progfil\]/$progfil/}; p=${p//\[appdata\]/$appdata/}; p=${p//\[drive\]/$c/}
    p=${p//\\//}; echo "$p" | sed 's#//*#/#g'
  }
  while IFS= read -r line; do
    line=${line%$'\r'}; [ -n "$line" ] || continue
    name=${line%%=*}; rest=${line#*=}; folder=$(echo "$rest" | cut -d'|' -f2)
    dir=$(expand "$folder"); mkdir -p "$dir"
    printf 'Kestrix sample threat\r\n' > "$dir/$name"
  done < "$here/packaging/definitions/FileDefinition.txt"
  while IFS= read -r line; do
    line=${line%$'\r'}; [ -n "$line" ] || continue
    folder=$(echo "${line#*=}" | cut -d'|' -f2); mkdir -p "$(expand "$folder")"
  done < "$here/packaging/definitions/DirectoryDefinition.txt"
  while IFS= read -r line; do
    line=${line%$'\r'}; [ -n "$line" ] || continue
    spec=${line%%=*}; hive=${spec%%^*}; rest=${spec#*^}; key=${rest%%^*}; value=${rest#*^}
    case "$hive" in 1) root=HKCU ;; 2) root=HKLM ;; *) continue ;; esac
    key=${key%\\}
    if [ -n "$value" ]; then
      wine reg add "$root\\$key" /v "$value" /t REG_SZ /d "sample" /f /reg:32 >/dev/null 2>&1 || true
    else
      wine reg add "$root\\$key" /f /reg:32 >/dev/null 2>&1 || true
    fi
  done < "$here/packaging/definitions/RegistryDefinition.txt"
  # Tracking cookies for the blocked sites, as Internet Explorer names and writes them:
  # user@site[1].txt holding the name, value and host/path lines.
  if [ -d "$user_dir/AppData" ]; then cookies="$user_dir/AppData/Local/Microsoft/Windows/INetCookies"
  else cookies="$user_dir/Cookies"; fi
  mkdir -p "$cookies"
  while IFS= read -r line; do
    line=${line%$'\r'}; domain=${line#\*}; [ -n "$domain" ] || continue
    site=${domain%%.*}
    printf 'id\n1\n%s/\n1024\n' "$domain" > "$cookies/user@$site[1].txt"
  done < "$here/packaging/definitions/BlockedCookies.txt"
  wineserver -w
  echo "sample threats planted in $prefix"
fi
