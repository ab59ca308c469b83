#!/usr/bin/env bash
# Renders the plug-in's update dialog as Windows shows it, under wine64 and a virtual X
# server, to PNG pictures for review: FILE (idle) and FILE-run.png (after a run of the
# bundled sample package; under Wine the run ends at the package database, as Wine has no
# Jet provider, and the error box's text is printed).
#   scripts/screenshot-windows.sh [FILE]   (default: screenshots/update-dialog-windows.png)
# Uses the x86_64 Windows build in BUILD_DIR (default: build-win64), building the module
# and the picture taker there when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=${1:-screenshots/update-dialog-windows.png}
BUILD=${BUILD_DIR:-build-win64}
if [ ! -f "$BUILD/bin/zorvik_win32_screenshot.exe" ] || [ ! -f "$BUILD/bin/UpdZorvik.ext" ]; then
  cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVIK_TESTS=ON -DZORVIK_SKIP_DIRS= >/dev/null
  cmake --build "$BUILD" --target zorvik_win32_screenshot UpdZorvik -j"$(nproc)"
fi
mkdir -p "$(dirname "$OUT")"

WINE=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# A prefix of its own, so that the X11 graphics driver and the fonts set here touch no
# other run.
export WINEPREFIX=${WINEPREFIX:-$PWD/$BUILD/wineprefix-screenshot}
mkdir -p "$WINEPREFIX"
# The dialog's font is Tahoma, as on Windows: Wine's own Tahoma, where it is installed.
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
for f in /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf; do
  [ -f "$f" ] && cp -f "$f" "$WINEPREFIX/drive_c/windows/Fonts/"
done

# Windows paths on Wine's drive Z:, which is the root of this machine.
win() { printf 'Z:%s' "$(realpath -m "$1")" | tr '/' '\\'; }
# 96 dpi, as the dialog is designed. Wine's desktop starts with the first program and
# keeps the display it found, so the prefix is made under the X server too, and the
# server is waited for before the X server goes.
WINESERVER=${WINESERVER:-$(dirname "$WINE")/wineserver}
xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" bash -c '
  "$0" wineboot -i >/dev/null 2>&1 || true
  "$0" "$2" "$3" "$4" "$5"
  "$1" -w' "$WINE" "$WINESERVER" "$BUILD/bin/zorvik_win32_screenshot.exe" "$(win "$OUT")" \
  "$(win "$BUILD/bin/UpdZorvik.ext")" "$(win examples/sample-package.zip)" 2>&1 | tr -d '\r' |
  tee "$BUILD/screenshot-windows.log"
# Wine's exit code says nothing about the program's: the pictures must be there.
run="${OUT%.*}-run.png"
[ -s "$OUT" ] && [ -s "$run" ] || { echo "screenshot-windows: the pictures were not written" >&2; exit 1; }
