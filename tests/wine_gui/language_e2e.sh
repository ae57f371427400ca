#!/usr/bin/env bash
# "Check for language updates" end to end: the real vendor server on a free loopback port
# (a signer with the build's key, a front without it) serving a language folder, the real
# program under Wine. First a new file (one more
# language, behind a byte-order mark), then nothing at all, which the server answers with
# its 404 page.
#   language_e2e.sh <kestrix-server> <kestrix_gui_tests.exe> <source dir> <signing key>
set -u
server=$1 tests=$2 src=$3 key=$4
here=$(cd "$(dirname "$0")" && pwd)
[ -x "$server" ] || { echo "no vendor server at $server (scripts/build.sh native builds it)"; exit 1; }
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
wait_port() { for _ in $(seq 100); do (exec 3<>/dev/tcp/127.0.0.1/$1) 2>/dev/null && return 0; sleep 0.1; done; return 1; }

mkdir -p "$work/languages"
python3 - "$src/packaging/Localization.txt" "$work/languages/Localization.txt" <<'PY' || exit 1
import sys
text = open(sys.argv[1], 'rb').read()
extra = ('<LANGUAGE_GROUP xml:lang="xx">\r\n\t<LANGUAGE_NAME>Testsprache</LANGUAGE_NAME>\r\n'
         '\t<TRANSLATION_ITEMS>\r\n\t\t<FRMMAIN_CMDSCAN>Pr\u00fcfen!</FRMMAIN_CMDSCAN>\r\n'
         '\t</TRANSLATION_ITEMS>\r\n</LANGUAGE_GROUP>\r\n').encode('utf-8')
end = text.rindex(b'</XML_DIZ_INFO>')
open(sys.argv[2], 'wb').write(b'\xef\xbb\xbf' + text[:end] + extra + text[end:].rstrip(b'\r\n'))
PY
port=$(free_port)
"$server" signer --signer "$work/signer.sock" --db "$work/kestrix.db" --key "$key" --languages "$work/languages" \
  >"$work/signer.log" 2>&1 & pids+=($!)
for _ in $(seq 100); do [ -S "$work/signer.sock" ] && break; sleep 0.1; done
"$server" serve --port "$port" --db "$work/kestrix.db" --signer "$work/signer.sock" >"$work/server.log" 2>&1 & pids+=($!)
wait_port "$port" || { cat "$work/server.log" "$work/signer.log"; exit 1; }
# What the program receives: the file with the signer's last line.
curl -s -o "$work/served.txt" "http://127.0.0.1:$port/Languages/21/Localization.txt"
grep -q '^<!-- KXSIG|' "$work/served.txt" || { echo "the language file is not signed"; exit 1; }

status=0
run() {  # case
  KESTRIX_E2E_SERVER="http://127.0.0.1:$port" KESTRIX_E2E_CASE=$1 KESTRIX_E2E_SERVED="$work/served.txt" \
    "$here/../../cmake/wine-run.sh" "$tests" --gtest_filter="LanguageE2E.*" || { echo "FAILED: $1"; status=1; }
}
run good
rm "$work/languages/Localization.txt"
sleep 11  # the front keeps a signed language file for ten seconds
curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/Languages/21/Localization.txt" | grep -q 404 ||
  { echo "the server still serves a language file"; status=1; }
run error
exit $status
