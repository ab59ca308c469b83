#!/usr/bin/env bash
# Downloads the 23 MB package from a loopback HTTP server with zorvik-fetch and with curl,
# in alternating rounds (15 by default) in the same run, and compares the median times and
# zorvik-fetch's peak memory. Medians, because a mean hides a bimodal side. The last line
# is "download/curl <ratio>" of the medians.
#
#   bench/download.sh [RUNS]
#
# FETCH names a built zorvik-fetch; without it the script builds one (Release) in BUILD.
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(dirname "$HERE")"
RUNS="${1:-15}"
PACKAGE="${PACKAGE:-$ROOT/../shared/fixtures/packages/huge.zip}"
BUILD="${BUILD:-$ROOT/build-http/release}"
FETCH="${FETCH:-}"

if [ -z "$FETCH" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZORVIK_BENCH=ON -DZORVIK_TESTS=OFF >/dev/null
  cmake --build "$BUILD" --target zorvik-fetch -j2 >/dev/null
  FETCH="$BUILD/bin/zorvik-fetch"
fi

WORK="$(mktemp -d)"
SERVER_PID=""
cleanup() {
  if [ -n "$SERVER_PID" ]; then kill "$SERVER_PID" 2>/dev/null || true; wait "$SERVER_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

mkdir "$WORK/www"
cp "$PACKAGE" "$WORK/www/huge.zip"
SIZE=$(stat -c %s "$WORK/www/huge.zip")

# The server picks a free port and names it on its first line.
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$WORK/www" >"$WORK/server.log" 2>&1 &
SERVER_PID=$!
PORT=""
for _ in $(seq 1 100); do
  PORT=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$WORK/server.log" | head -1)
  [ -n "$PORT" ] && break
  sleep 0.1
done
[ -n "$PORT" ] || { echo "download: the server did not start" >&2; exit 1; }
URL="http://127.0.0.1:$PORT/huge.zip"

now_ns() { date +%s%N; }

# One warm-up round each, not counted: the first start of each program pays for loading.
"$FETCH" "$URL" "$WORK/z.zip" >/dev/null
curl -s -o "$WORK/c.zip" "$URL"

zorvik_ms=()
curl_ms=()
peak_kb=0
for i in $(seq 1 "$RUNS"); do
  t0=$(now_ns)
  /usr/bin/time -f "%M" -o "$WORK/mem" "$FETCH" "$URL" "$WORK/z.zip" >/dev/null
  t1=$(now_ns)
  /usr/bin/time -f "%M" -o "$WORK/cmem" curl -s -o "$WORK/c.zip" "$URL"
  t2=$(now_ns)
  cmp -s "$WORK/z.zip" "$WORK/www/huge.zip" || { echo "download: zorvik-fetch copy differs" >&2; exit 1; }
  cmp -s "$WORK/c.zip" "$WORK/www/huge.zip" || { echo "download: curl copy differs" >&2; exit 1; }
  z=$(( (t1 - t0) / 1000000 )); c=$(( (t2 - t1) / 1000000 ))
  kb=$(cat "$WORK/mem")
  [ "$kb" -gt "$peak_kb" ] && peak_kb=$kb
  echo "run $i: zorvik-fetch ${z} ms (peak ${kb} KiB), curl ${c} ms"
  zorvik_ms+=("$z")
  curl_ms+=("$c")
done

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
zorvik_med=$(median "${zorvik_ms[@]}")
curl_med=$(median "${curl_ms[@]}")

echo "body: $(( SIZE / 1024 )) KiB; zorvik-fetch peak memory: ${peak_kb} KiB"
echo "zorvik-fetch ms: $(printf '%s\n' "${zorvik_ms[@]}" | sort -n | tr '\n' ' ')"
echo "curl ms:         $(printf '%s\n' "${curl_ms[@]}" | sort -n | tr '\n' ' ')"
echo "median: zorvik-fetch ${zorvik_med} ms, curl ${curl_med} ms"
awk -v z="$zorvik_med" -v c="$curl_med" 'BEGIN { printf "download/curl %.2f\n", (c > 0 ? z / c : 0) }'
