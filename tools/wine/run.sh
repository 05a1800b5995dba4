#!/usr/bin/env bash
# Runs one Windows program under Wine in a private prefix and exits with its exit status.
# Usage: tools/wine/run.sh [--prefix DIR] PROGRAM.exe [ARGS...]
# The prefix is DIR, else $WINEPREFIX, else ./wine-prefix; it is created on first use. This is
# the cross build's CMAKE_CROSSCOMPILING_EMULATOR, so ctest runs the Windows tests through it.
set -euo pipefail
here=$(dirname "$0")
. "$here/wine-env.sh"

prefix=${WINEPREFIX:-$PWD/wine-prefix}
if [ "${1:-}" = --prefix ]; then
  prefix=$2
  shift 2
fi
[ $# -ge 1 ] || { echo "usage: $0 [--prefix DIR] PROGRAM [ARGS...]" >&2; exit 2; }
WINEPREFIX=$("$here/prefix.sh" "$prefix")
export WINEPREFIX
exec "$WINE" "$@"
