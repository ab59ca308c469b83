#!/usr/bin/env bash
# Builds the libFuzzer targets of every parser with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each over its seed corpus for a fixed time.
# Fails on the first crash, leak, hang or sanitizer report; the input that caused it is
# left in the build folder as crash-*, leak-*, timeout-* or oom-*.
#
#   scripts/fuzz.sh              build, then 20 s per target
#   FUZZ_SECONDS=600 scripts/fuzz.sh zip http    longer runs of some targets
#
# New inputs the runs find go to a scratch corpus under the build folder, never into
# tests/fuzz/corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
SECONDS_EACH=${FUZZ_SECONDS:-20}
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(zip jet http ini zipsig jetsql quote)

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVIK_FUZZ=ON -DZORVIK_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target fuzz -j"$(nproc)"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for t in "${TARGETS[@]}"; do
  work="$BUILD/fuzz-run/$t"
  rm -rf "$work"
  mkdir -p "$work/corpus"
  cp tests/fuzz/corpus/"$t"/* "$work/corpus/"
  dict=()
  [ -f "tests/fuzz/$t.dict" ] && dict=(-dict="tests/fuzz/$t.dict")
  echo "fuzz: $t for ${SECONDS_EACH}s"
  if ! "$BUILD/bin/fuzz_$t" "$work/corpus" "${dict[@]}" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 \
       -timeout=10 -artifact_prefix="$work/" -print_final_stats=1 >"$work/log" 2>&1; then
    tail -n 60 "$work/log" >&2
    echo "fuzz: $t found a fault; the input is in $work/" >&2
    exit 1
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE' "$work/log" | sed "s/^/fuzz: $t /" || true
done
