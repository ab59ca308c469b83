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
# Windows are made and drawn without a display: Wine's null graphics driver. The prefix's
# first start runs a desktop process with the default driver; waiting for the server to
# end lets the tests start afresh with the null one.
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
"$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || true
"$WINESERVER" -w || true

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

# The test host as a person runs it: zorvik-host.exe loads the module with LoadLibraryW and
# keeps its callbook in a TSV file. Each check reads the program's output and files; the
# program's last line or its files decide, as Wine's exit code alone says nothing.
host=build-win64/bin/zorvik-host.exe
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
checks=0 check_failed=0
check() { # NAME CONDITION-COMMAND...
  local name=$1
  shift
  checks=$((checks + 1))
  if "$@"; then
    echo "windows-host: $name: ok"
  else
    echo "windows-host: $name: FAILED; output:" >&2
    cat "$data/out" "$data/err" >&2 2>/dev/null || true
    check_failed=$((check_failed + 1))
  fi
}
run_host() { # ARGS... ; output in $data/out and $data/err, CR removed
  local rc=0
  timeout 300 "$WINE" "$host" --data "Z:$data/host" "$@" >"$data/out.raw" 2>"$data/err.raw" || rc=$?
  echo "$rc" >"$data/rc"
  tr -d '\r' <"$data/out.raw" >"$data/out"
  tr -d '\r' <"$data/err.raw" >"$data/err"
}
if [ -e "$host" ]; then
  run_host plugins
  check "plugins lists the module's identity and its menu item" \
    grep -q '^Menu items: 1$' "$data/out"
  run_host callbook import "Z:$PWD/examples/sample-callbook.tsv"
  check "callbook import fills the TSV callbook" grep -q 'the callbook holds 13 rows' "$data/err"
  run_host callbook show Q0ABC
  check "callbook show reads the row back from the file" \
    grep -qP '^Q0ABC\tAl\t\\N\tLO00AA\tNY\t\\N\t0$' "$data/out"
  run_host callbook export
  check "callbook export gives every row" test "$(wc -l <"$data/out")" -eq 14
  check "the data folder holds the callbook and no temporary file" \
    test "$(cd "$data/host" && ls -A | grep -v -x -e callbook.tsv -e zorvik-host.log -e Download | wc -l)" -eq 0

  # The whole click: the update command drives the module's real dialog windows. Wine has
  # no Jet provider, so each run opens the package, extracts its database and ends on the
  # error that names the provider, leaving nothing in the download folder.
  provider="Microsoft.Jet.OLEDB.4.0"
  downloads_empty() { test -z "$(ls -A "$data/host/Download")"; }
  run_host update
  check "update with the sample package reaches the package's database" \
    grep -q '^ *Update package dated ' "$data/out"
  check "update ends on the missing provider, named" grep -q "$provider" "$data/err"
  check "update reports the failed run" grep -q '^Result: *the update run failed$' "$data/out"
  check "update exits non-zero" test "$(cat "$data/rc")" -ne 0
  check "update leaves no temporary file in the download folder" downloads_empty

  # An Internet source: the package from a loopback web server, through Windows Sockets.
  mkdir -p "$data/www/download/other"
  cp examples/sample-package.zip "$data/www/download/other/DB.zip"
  python3 - "$data/www" "$data/port" "$data/requests" <<'PY' &
import http.server, os, sys
root, port_file, log_file = sys.argv[1:4]
os.chdir(root)
class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, fmt, *args):
        with open(log_file, "a") as f:
            f.write(self.requestline + "\n")
server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(port_file + ".tmp", port_file)
server.serve_forever()
PY
  server=$!
  for _ in $(seq 50); do [ -s "$data/port" ] && break; sleep 0.1; done
  url="http://127.0.0.1:$(cat "$data/port")/download/other/DB.zip"
  run_host update --internet "$url" --fields name,qth
  kill "$server" 2>/dev/null || true
  check "update --internet fetches the package over loopback" \
    grep -qE '^GET /download/other/DB.zip HTTP/1\.[01]$' "$data/requests"
  check "update --internet uses the downloaded package" grep -qF "* Use: $url" "$data/out"
  check "update --internet reaches the package's database" grep -q '^ *Update package dated ' "$data/out"
  check "update --internet ends on the missing provider" grep -q "$provider" "$data/err"
  check "update --internet leaves no temporary file" downloads_empty
  ini="$data/host/zorvik-host.ini"
  check "the dialog's settings are in the host's INI file" \
    grep -qF -e "Location=Internet" "$ini"
  check "the INI file holds the source and the fields" \
    sh -c 'tr -d "\r" <"$1" | grep -qxF "Resource=$2" && tr -d "\r" <"$1" | grep -qx "Name=1" &&
           tr -d "\r" <"$1" | grep -qx "Grid=0"' _ "$ini" "$url"
  # A run with a local source: the file chosen in the system's file dialog is opened, and
  # the settings are written again.
  run_host update --local "Z:$PWD/examples/sample-package.zip" --fields grid
  check "update --local opens the file chosen in the file dialog" grep -q '^ *Update package dated ' "$data/out"
  check "the next run's settings replace the last ones" \
    sh -c 'tr -d "\r" <"$1" >"$1.txt" && grep -qx "Location=Local" "$1.txt" && grep -q "^Resource=.*sample-package.zip$" "$1.txt" &&
           grep -qx "Grid=1" "$1.txt" && grep -qx "Name=0" "$1.txt"' _ "$ini"
else
  echo "windows-host: $host was not built" >&2
  check_failed=$((check_failed + 1))
fi
echo "windows-host: $((checks - check_failed)) passed, $check_failed failed"

[ "$programs" -gt 0 ] && [ "$total" -gt 0 ] && [ "$failed" -eq 0 ] && [ "$check_failed" -eq 0 ]
