#!/usr/bin/env bash
# Builds the Windows side (scripts/build-windows.sh) and runs the Windows tests under
# wine64. Wine's exit code says nothing about a test program's result, so each program's
# own output decides: its summary line must be there, and no test may have failed.
# Prints the number of tests that ran and passed; fails when any failed or none ran.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build-windows.sh

WINE=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:-$PWD/build-win64/wineprefix}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$WINEPREFIX"

bash scripts/check-windows-dll.sh build-win32/bin/UpdZorvik.ext build-win64/bin/UpdZorvik.ext

total=0 passed=0 failed=0 skipped=0 programs=0
log_dir=build-win64/test-logs
mkdir -p "$log_dir"
for exe in build-win64/bin/*_tests.exe; do
  [ -e "$exe" ] || continue
  name=$(basename "$exe" .exe)
  log="$log_dir/$name.log"
  programs=$((programs + 1))
  # Windows programs end their lines with CR LF.
  timeout 600 "$WINE" "$exe" --gtest_brief=1 2>&1 | tr -d '\r' >"$log" || true
  ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' "$log" | tail -1)
  ok=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$log" | tail -1)
  skip=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\{0,1\}, listed below:.*/\1/p;s/^\[  SKIPPED \] \([0-9]*\) tests\{0,1\}\.$/\1/p' "$log" | tail -1)
  bad=$( (grep '^\[  FAILED  \] [A-Za-z_]' "$log" || true) | sed 's/ (.*//' | sort -u | wc -l)
  if [ -z "$ran" ]; then
    echo "windows-tests: $name did not finish (no summary line); its output:" >&2
    tail -40 "$log" >&2
    failed=$((failed + 1))
    continue
  fi
  total=$((total + ran)) passed=$((passed + ${ok:-0})) skipped=$((skipped + ${skip:-0}))
  if [ "$bad" -gt 0 ]; then
    echo "windows-tests: $name: failures:" >&2
    grep -B20 '^\[  FAILED  \] [A-Za-z_]' "$log" | head -80 >&2
    failed=$((failed + bad))
  fi
  echo "windows-tests: $name: ${ran} ran, ${ok:-0} passed, ${skip:-0} skipped"
done

echo "windows-tests: $programs programs under Wine, $total tests ran, $passed passed, $skipped skipped, $failed failed"
[ "$programs" -gt 0 ] && [ "$total" -gt 0 ] && [ "$failed" -eq 0 ]
