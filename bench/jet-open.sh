#!/usr/bin/env bash
# Stage benchmark of the package database layer on the 1,000,000-row package: times
# open + load + sort + index against mdb-export of the same table, in the same run, and
# prints peak memory of both. Builds zorvik_jet optimised in build-jet-bench.
# Usage: bench/jet-open.sh [package.zip]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
ZIP=${1:-$ROOT/../shared/fixtures/packages/huge.zip}
BUILD=$ROOT/build-jet-bench

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZORVIK_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target zorvik_jet -j2 >/dev/null
g++ -std=c++20 -O2 -I"$ROOT" "$ROOT/bench/jet_open.cpp" -o "$BUILD/jet_open" \
  "$BUILD/jet/libzorvik_jet.a" "$BUILD/platform/libzorvik_platform.a" \
  -L"$BUILD/bin" -lzorvikole -Wl,-rpath,"$BUILD/bin" $(pkg-config --libs libmdb) -ldl

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
unzip -p "$ZIP" DB.mdb >"$TMP/DB.mdb"
cat "$TMP/DB.mdb" >/dev/null  # warm the page cache for both readers

measure() {  # label, command...
  local label=$1
  shift
  /usr/bin/time -f "%e %M" -o "$TMP/time" "$@" >"$TMP/out" 2>/dev/null
  read -r secs kb <"$TMP/time"
  printf '%-28s %6.2f s  peak %6d MB\n' "$label" "$secs" $((kb / 1024))
}

measure "mdb-export CALLBOOK" mdb-export "$TMP/DB.mdb" CALLBOOK
measure "jet open+load+sort+index" "$BUILD/jet_open" "$TMP/DB.mdb"
cat "$TMP/out"
measure "jet, then 1M locates" "$BUILD/jet_open" "$TMP/DB.mdb" CALLBOOK CALL --locates
cat "$TMP/out"
