#!/usr/bin/env bash
# Renders the plug-in's update dialog under a virtual X server to a PNG for review, with
# pictures of the dialog after a run (FILE-run.png), the host's main window
# (FILE-main.png) and the window of a previewed update (FILE-preview.png) beside it.
#   scripts/screenshot.sh [FILE]        (default: screenshots/update-dialog.png)
# Uses the build in BUILD_DIR (default: build), building zorvik-host and the module there
# when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=${1:-screenshots/update-dialog.png}
BUILD=${BUILD_DIR:-build}
if [ ! -x "$BUILD/bin/zorvik-host" ] || [ ! -f "$BUILD/bin/UpdZorvik.ext" ]; then
  cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZORVIK_TESTS=OFF >/dev/null
  cmake --build "$BUILD" --target zorvik-host UpdZorvik -j"$(nproc)"
fi
mkdir -p "$(dirname "$OUT")"
DATA=$(mktemp -d)
trap 'rm -rf "$DATA"' EXIT
# A small callbook, so that the main window shows rows.
if [ -f examples/sample-callbook.tsv ]; then
  "$BUILD/bin/zorvik-host" --data "$DATA" callbook import examples/sample-callbook.tsv 2>/dev/null || true
fi
# 96 dpi, as the dialog is designed.
xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" \
  "$BUILD/bin/zorvik-host" gui --data "$DATA" --screenshot "$OUT"
