#!/usr/bin/env bash
# Redraws app/win32/art/dekvanto.ico and banner.bmp from the Qt window's artwork code, after a
# change there. Builds dekvanto-export-artwork in a build folder with the window (default build/,
# configured with -DDEKVANTO_BUILD_APP=ON when it is not yet; needs Qt 6, see
# tools/install-deps.sh --app). The Windows build itself only reads the two files.
# Usage: tools/artwork/make_artwork.sh [build folder]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
art=$top/app/win32/art
if [ ! -f "$build/CMakeCache.txt" ]; then
  generator=()
  command -v ninja >/dev/null && generator=(-G Ninja)
  cmake -S "$top" -B "$build" "${generator[@]}" -DDEKVANTO_BUILD_APP=ON >/dev/null
fi
cmake --build "$build" --target dekvanto-export-artwork >/dev/null
QT_QPA_PLATFORM=offscreen "$build/tools/artwork/dekvanto-export-artwork" "$art"
echo "written: $art/dekvanto.ico $art/banner.bmp"
