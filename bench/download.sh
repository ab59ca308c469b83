#!/usr/bin/env bash
# Downloads the 23 MB package from a loopback HTTP server with zorvik-fetch and with curl,
# several times each in the same run, and compares the mean times and zorvik-fetch's peak
# memory. The last line is "download/curl <ratio>".
#
#   bench/download.sh [RUNS]
#
# FETCH names a built zorvik-fetch; without it the script builds one (Release) in BUILD.
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(dirname "$HERE")"
RUNS="${1:-5}"
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

zorvik_total=0
curl_total=0
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
  zorvik_total=$(( zorvik_total + z ))
  curl_total=$(( curl_total + c ))
done

echo "body: $(( SIZE / 1024 )) KiB; zorvik-fetch peak memory: ${peak_kb} KiB"
echo "mean: zorvik-fetch $(( zorvik_total / RUNS )) ms, curl $(( curl_total / RUNS )) ms"
awk -v z="$zorvik_total" -v c="$curl_total" 'BEGIN { printf "download/curl %.2f\n", (c > 0 ? z / c : 0) }'
