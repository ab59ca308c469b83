#!/usr/bin/env bash
# Whole-run benchmark: one update run of the million-row package against a callbook of
# 1,000,000 rows on the reference host, next to the script a power user would write
# instead (unzip -p into mdb-export, then sqlite3 importing the rows and applying the
# same merge rules with one UPDATE ... FROM). Both start from copies of the same callbook
# file, and their end states are compared before any figure counts.
# It also runs the same job through the command line a user types (zorvik-host update,
# which journals the run), the same without the journal and as a preview, and a
# hand-written C program with the same libraries (bench/floor.c), each on its own copy of
# the callbook; all end states must agree, and the preview must leave its file as it was.
# Usage: bench/update-run.sh [package.zip] [--qsl]
# The last two lines are "run/peer <ratio>" and "run/floor <ratio>", where the run is the
# zorvik-host update command line.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
ZIP=$ROOT/../shared/fixtures/packages/huge.zip
QSL=
for a in "$@"; do
  case $a in
    --qsl) QSL=--qsl ;;
    *) ZIP=$a ;;
  esac
done
BUILD=$ROOT/build-bench

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZORVIK_SANITIZE=OFF -DZORVIK_BENCH=ON >/dev/null
cmake --build "$BUILD" --target update_run zorvik-host UpdZorvik -j2 >/dev/null
# The floor: plain C, the same libraries, nothing in between.
cc -O2 -o "$BUILD/bin/floor" "$ROOT/bench/floor.c" $(pkg-config --cflags --libs libmdb sqlite3 zlib)

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
mkdir -p "$TMP/run" "$TMP/peer" "$TMP/cli" "$TMP/floor" "$TMP/plain" "$TMP/preview"

# The callbook, built once from the package's own callsigns.
unzip -p "$ZIP" DB.mdb >"$TMP/gen.mdb"
"$BUILD/bin/update_run" make-callbook "$TMP/gen.mdb" "$TMP/run"
rm -f "$TMP/gen.mdb"
for side in peer cli floor plain preview; do cp "$TMP/run/callbook.db" "$TMP/$side/callbook.db"; done
cp "$TMP/run/callbook.db" "$TMP/original.db"
cat "$ZIP" "$TMP/run/callbook.db" >/dev/null  # warm the page cache for both sides

seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }
now() { date +%s.%N; }

# --- the run -------------------------------------------------------------------------
echo "== run: RunUpdate on the reference host"
/usr/bin/time -f "%e %M" -o "$TMP/run.time" "$BUILD/bin/update_run" run "$ZIP" "$TMP/run" $QSL | tee "$TMP/run.out"
read -r RUN_S RUN_KB <"$TMP/run.time"
OPEN_INDEX=$(awk '/^open\+index/ { print $2 }' "$TMP/run.out")

# --- the command line a user runs ------------------------------------------------------
FIELDS=name,qth,grid,state
[[ -n $QSL ]] && FIELDS=$FIELDS,qsl
echo "== cli: zorvik-host update --local $(basename "$ZIP") --fields $FIELDS"
/usr/bin/time -f "%e %M" -o "$TMP/cli.time" "$BUILD/bin/zorvik-host" --data "$TMP/cli" update --local "$ZIP" \
  --fields "$FIELDS" 2>&1 | tail -8
read -r CLI_S CLI_KB <"$TMP/cli.time"

# The same command line without the journal, and as a preview that writes nothing.
echo "== cli without journal: zorvik-host update --no-journal"
/usr/bin/time -f "%e %M" -o "$TMP/plain.time" "$BUILD/bin/zorvik-host" --data "$TMP/plain" update --local "$ZIP" \
  --fields "$FIELDS" --no-journal 2>&1 | tail -3
read -r PLAIN_S PLAIN_KB <"$TMP/plain.time"
echo "== cli preview: zorvik-host update --preview"
/usr/bin/time -f "%e %M" -o "$TMP/preview.time" "$BUILD/bin/zorvik-host" --data "$TMP/preview" update --local "$ZIP" \
  --fields "$FIELDS" --preview --preview-file "$TMP/preview.tsv" 2>&1 | grep -E '^(Statements|Elapsed|Result|Preview)'
read -r PREVIEW_S PREVIEW_KB <"$TMP/preview.time"
if ! cmp -s "$TMP/preview/callbook.db" "$TMP/original.db"; then
  echo "the preview changed the callbook file" >&2
  exit 1
fi

# --- the floor ---------------------------------------------------------------------------
echo "== floor: bench/floor.c"
/usr/bin/time -f "%e %M" -o "$TMP/floor.time" "$BUILD/bin/floor" "$ZIP" "$TMP/floor/callbook.db" "$TMP/floor" $QSL
read -r FLOOR_S FLOOR_KB <"$TMP/floor.time"

# --- the peer ------------------------------------------------------------------------
echo "== peer: unzip -p | mdb-export | sqlite3 UPDATE ... FROM"
# Blanks for trim(): every character up to U+0020 except NUL.
WS="char($(seq -s, 1 32))"
set_rule() {  # host column, package column: the length rule
  echo "$1 = CASE WHEN length(trim(p.$2, $WS)) > 0 AND (CALLBOOK.$1 IS NULL OR
        length(trim(CALLBOOK.$1, $WS)) < length(trim(p.$2, $WS))) THEN p.$2 ELSE CALLBOOK.$1 END"
}
need_rule() {
  echo "(length(trim(p.$2, $WS)) > 0 AND (CALLBOOK.$1 IS NULL OR
        length(trim(CALLBOOK.$1, $WS)) < length(trim(p.$2, $WS))))"
}
SETS="$(set_rule OMNAME Name), $(set_rule OMQTH QTH), $(set_rule GRIDSQUARE Grid), $(set_rule STATE State)"
NEED="$(need_rule OMNAME Name) OR $(need_rule OMQTH QTH) OR $(need_rule GRIDSQUARE Grid) OR $(need_rule STATE State)"
if [[ -n $QSL ]]; then
  MGR="length(trim(p.Manager, $WS)) > 0"
  SETS="$SETS,
    Use_BUREAU = CASE WHEN $MGR AND instr(upper(p.Manager), 'BUREAU') > 0 THEN 1 ELSE Use_BUREAU END,
    QSLMANAGER = CASE WHEN $MGR AND instr(upper(p.Manager), 'BUREAU') = 0 THEN p.Manager ELSE QSLMANAGER END"
  NEED="$NEED OR $MGR"
fi
cat >"$TMP/peer.sql" <<EOF
PRAGMA journal_mode=WAL;
PRAGMA synchronous=NORMAL;
PRAGMA cache_size=-262144;
PRAGMA temp_store=MEMORY;
CREATE TEMP TABLE p (CALL TEXT, Name TEXT, QTH TEXT, Grid TEXT, State TEXT, Manager TEXT);
.import --csv --skip 1 $TMP/peer.csv p
CREATE INDEX temp.p_call ON p (CALL);
BEGIN;
-- Walking the callbook in file order and looking the package up is much faster than
-- the planner's choice of looking each package row up in the callbook.
UPDATE CALLBOOK NOT INDEXED SET $SETS
  FROM p WHERE CALLBOOK.OMCALL = p.CALL AND ($NEED);
SELECT 'peer statements ' || changes();
COMMIT;
EOF
T0=$(now)
/usr/bin/time -f "%e %M" -o "$TMP/unzip.time" unzip -p "$ZIP" DB.mdb >"$TMP/peer.mdb"
T1=$(now)
/usr/bin/time -f "%e %M" -o "$TMP/export.time" mdb-export "$TMP/peer.mdb" CALLBOOK >"$TMP/peer.csv"
T2=$(now)
/usr/bin/time -f "%e %M" -o "$TMP/sqlite.time" sqlite3 "$TMP/peer/callbook.db" <"$TMP/peer.sql"
T3=$(now)
read -r _ EXPORT_KB <"$TMP/export.time"
read -r _ SQLITE_KB <"$TMP/sqlite.time"
UNZIP_S=$(seconds "$T0" "$T1")
EXPORT_S=$(seconds "$T1" "$T2")
SQLITE_S=$(seconds "$T2" "$T3")
PEER_S=$(seconds "$T0" "$T3")
printf 'peer unzip -p          %6.2f s\n' "$UNZIP_S"
printf 'peer mdb-export        %6.2f s  peak %d MB\n' "$EXPORT_S" $((EXPORT_KB / 1024))
printf 'peer sqlite3 import+update %6.2f s  peak %d MB\n' "$SQLITE_S" $((SQLITE_KB / 1024))
printf 'peer whole             %6.2f s\n' "$PEER_S"

# --- the two end states must agree ----------------------------------------------------
sum() {
  sqlite3 "$1" "SELECT OMCALL, OMNAME, OMQTH, GRIDSQUARE, STATE, QSLMANAGER, Use_BUREAU FROM CALLBOOK ORDER BY OMCALL, rowid" |
    md5sum | cut -d' ' -f1
}
RUN_SUM=$(sum "$TMP/run/callbook.db")
for side in peer cli floor plain; do
  SIDE_SUM=$(sum "$TMP/$side/callbook.db")
  if [[ $RUN_SUM != "$SIDE_SUM" ]]; then
    echo "the run and the $side left different callbooks ($RUN_SUM vs $SIDE_SUM)" >&2
    exit 1
  fi
done
echo "callbooks agree: $RUN_SUM"

echo "== summary"
printf 'update_run whole       %6.2f s  peak %d MB (target < 600 MB)\n' "$RUN_S" $((RUN_KB / 1024))
printf 'run (zorvik-host)      %6.2f s  peak %d MB\n' "$CLI_S" $((CLI_KB / 1024))
printf 'floor                  %6.2f s  peak %d MB\n' "$FLOOR_S" $((FLOOR_KB / 1024))
printf 'run without journal    %6.2f s  peak %d MB\n' "$PLAIN_S" $((PLAIN_KB / 1024))
printf 'preview                %6.2f s  peak %d MB (%d changes listed)\n' "$PREVIEW_S" $((PREVIEW_KB / 1024)) \
  $(($(wc -l <"$TMP/preview.tsv") - 1))
awk -v a="$CLI_S" -v b="$PLAIN_S" 'BEGIN { printf "journal run/plain run %.2f (target <= 1.15)\n", a / b }'
awk -v a="$PREVIEW_S" -v b="$CLI_S" 'BEGIN { printf "preview/run %.2f (target <= 1.0)\n", a / b }'

printf 'peer whole             %6.2f s\n' "$PEER_S"
awk -v a="$OPEN_INDEX" -v b="$EXPORT_S" 'BEGIN { printf "open+index/mdb-export %.2f (target <= 1.5)\n", a / b }'
awk -v a="$CLI_KB" -v b="$FLOOR_KB" 'BEGIN { printf "peak run/floor %.2f (target <= 1.5)\n", a / b }'
awk -v a="$CLI_S" -v b="$PEER_S" 'BEGIN { printf "run/peer %.2f\n", a / b }'
awk -v a="$CLI_S" -v b="$FLOOR_S" 'BEGIN { printf "run/floor %.2f\n", a / b }'
