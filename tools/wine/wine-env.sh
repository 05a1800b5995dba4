# Sourced by the Wine harness scripts: where Wine is, and the environment every Windows program
# of the tests runs in (no debug output, no offer to install Mono or Gecko).
WINE_DIR=${WINE_DIR:-/usr/lib/wine}
WINE=${WINE:-$WINE_DIR/wine64}
WINESERVER=${WINESERVER:-$WINE_DIR/wineserver}
if [ ! -x "$WINE" ]; then
  echo "wine harness: $WINE not found (tools/install-deps.sh --windows)" >&2
  exit 127
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
