#!/usr/bin/env bash
# Redraws dekvanto.ico and banner.bmp beside this script from the Qt window's artwork code, after
# a change there. Needs Qt 6 (tools/install-deps.sh --app); the Windows build itself only reads
# the two files.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC2046  # pkg-config's flags are meant to split
g++ -std=c++20 -fPIC -Wall -Wextra -I"$top/app" "$here/export_artwork.cpp" "$top/app/qt/artwork.cpp" \
  $(pkg-config --cflags --libs Qt6Gui) -o "$work/export-artwork"
QT_QPA_PLATFORM=offscreen "$work/export-artwork" "$here"
echo "written: $here/dekvanto.ico $here/banner.bmp"
