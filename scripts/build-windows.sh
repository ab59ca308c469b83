#!/usr/bin/env bash
# Builds the Windows module and the Windows tests with MinGW-w64:
#   build-win32/bin/UpdZorvik.ext   the product, a 32-bit DLL (i686)
#   build-win64/                    the same sources for x86_64, with the tests, which
#                                   scripts/test-windows.sh runs under Wine
# Arguments are passed to the build of both (e.g. --target UpdZorvik).
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DZORVIK_TESTS=OFF -DZORVIK_SKIP_DIRS= >/dev/null
cmake --build build-win32 -j"$JOBS" "$@"
cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVIK_TESTS=ON -DZORVIK_SKIP_DIRS= >/dev/null
cmake --build build-win64 -j"$JOBS" "$@"
