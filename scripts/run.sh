#!/usr/bin/env bash
# Installs what the project needs, builds it, and runs the main job: an update run
# through the plug-in's dialog on the reference host.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZORVIK_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
# With no arguments: an update run of the sample callbook from the sample package, in the
# default data folder. Arguments are passed on, e.g. --local FILE --fields name,qth.
exec "$BUILD/bin/zorvik-host" update "$@"
