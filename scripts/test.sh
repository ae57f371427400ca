#!/usr/bin/env bash
# Builds everything and runs every test: the native core under ASan/UBSan, short fuzz
# runs, then the Windows executables under Wine (windows that open, under Xvfb).
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" || exit 1
fuzz_seconds=${KESTRIX_FUZZ_SECONDS:-30}
status=0

"$here/scripts/build.sh" native || exit 1
"$here/scripts/build.sh" windows || exit 1

echo "== native tests (ASan/UBSan) =="
(cd "$here/build/native" && ctest --output-on-failure -j2) || status=1

echo "== fuzzers (${fuzz_seconds}s each) =="
mkdir -p "$here/build/native/fuzz-corpus"
for f in "$here"/build/native/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  corpus="$here/build/native/fuzz-corpus/$name"; mkdir -p "$corpus"
  seeds="$here/fuzz/seeds/$name"; [ -d "$seeds" ] || seeds=""
  if "$f" -max_total_time="$fuzz_seconds" -rss_limit_mb=1024 -timeout=10 "$corpus" $seeds \
      >"$here/build/native/$name.log" 2>&1; then
    echo "$name: clean ($(grep -c '' "$corpus"/* 2>/dev/null | wc -l) corpus files)"
  else
    echo "$name: FAILED"; tail -30 "$here/build/native/$name.log"; status=1
  fi
done

echo "== Windows tests under Wine =="
wine_tests="cd '$here/build/windows' && ctest --output-on-failure"
if [ -n "${DISPLAY:-}" ]; then
  bash -c "$wine_tests" || status=1
else
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "$wine_tests" || status=1
fi

if [ $status -eq 0 ]; then echo "ALL TESTS PASSED"; else echo "SOME TESTS FAILED"; fi
exit $status
