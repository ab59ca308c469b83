#!/usr/bin/env bash
# Installs what the project needs, builds everything optimised (as users run it) with
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${BUILD_DIR:-build-asan}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVIK_SANITIZE=ON -DZORVIK_TESTS=ON >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)"
# Every parser under libFuzzer for a short, fixed time; any finding fails.
bash scripts/fuzz.sh
# The same sources built for Windows, their tests run under Wine.
bash scripts/test-windows.sh
