#!/usr/bin/env bash
# A picture of DEKVANTO.EXE's main window for the documentation, made under Wine on a virtual X
# server: the window in a Wine desktop of its own (which draws the caption bar), with a sample
# code file chosen and a product selected. Saved as docs/windows-main-window.png.
# Usage: app/win32/screenshot.sh BUILD-DIR     (a cross build holding bin/DEKVANTO.EXE and
#        bin/DLL_MX40.DLL; its Wine prefix is used). Needs xvfb and imagemagick's import.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: $0 BUILD-DIR}" && pwd)
. "$top/tools/wine/wine-env.sh"

folder=$(mktemp -d "${TMPDIR:-/tmp}/dekvanto-shot.XXXXXX")
trap 'rm -rf "$folder"' EXIT
cp "$build/bin/DEKVANTO.EXE" "$build/bin/DLL_MX40.DLL" "$folder/"
# The product list, its loader and the version file, as the bundle has them; a sample code file.
cat >"$folder/dekvanto.cfg" <<'CFG'
"VANTO 16 bits"      vanto_loader.bin  16  1  1
"VANTO 8 bits lite"  vanto_loader.bin   8  0  0
CFG
head -c 2048 /dev/zero >"$folder/vanto_loader.bin"
printf '\013A-000-01-00\011DEK VANTO\000' >"$folder/DEKVANTO.VRS"
head -c 65536 /dev/urandom >"$folder/code.bin"
code_path="Z:${folder//\//\\}\\code.bin"
printf '[Setting]\r\nProduct=VANTO 16 bits\r\n[PathOption]\r\nAppFilePath=%s\r\n' "$code_path" \
  >"$folder/MX40.ini"

export SHOT_FOLDER=$folder SHOT_PREFIX=$build/wine-prefix SHOT_TOOLS=$top/tools/wine
export SHOT_OUT=$top/docs/windows-main-window.png SHOT_WINE=$WINE SHOT_WINESERVER=$WINESERVER
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -e
  prefix=$("$SHOT_TOOLS/prefix.sh" "$SHOT_PREFIX")
  WINEPREFIX=$prefix "$SHOT_WINE" explorer /desktop=DEKVANTO,480x590 "$SHOT_FOLDER/DEKVANTO.EXE" &
  # The window is up once its caption carries the release number read from the version file.
  for _ in $(seq 1 120); do
    sleep 0.5
    import -window root -crop 468x556+0+0 +repage "$SHOT_OUT.tmp.png"
    [ "$(stat -c %s "$SHOT_OUT.tmp.png")" -gt 20000 ] && break
  done
  sleep 2
  import -window root -crop 468x556+0+0 +repage "$SHOT_OUT"
  rm -f "$SHOT_OUT.tmp.png"
  WINEPREFIX=$prefix "$SHOT_WINESERVER" -k || true'
echo "screenshot: $SHOT_OUT"
