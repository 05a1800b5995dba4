#!/usr/bin/env bash
# Runs one Windows program under Wine in a private prefix and exits with its exit status.
# Usage: tools/wine/run.sh [--prefix DIR] [--report] PROGRAM.exe [ARGS...]
# The prefix is DIR, else $WINEPREFIX, else ./wine-prefix; it is created on first use. This is
# the cross build's CMAKE_CROSSCOMPILING_EMULATOR, so ctest runs the Windows tests through it.
# --report (as ctest runs it) names the program and its status on stderr when it fails: a
# program that crashes before its buffered output is written leaves nothing else to go by.
# Without it Wine replaces this script, so a signal sent to its process reaches the program.
set -euo pipefail
here=$(dirname "$0")
. "$here/wine-env.sh"

prefix=${WINEPREFIX:-$PWD/wine-prefix}
report=0
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --report) report=1; shift ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] || { echo "usage: $0 [--prefix DIR] [--report] PROGRAM [ARGS...]" >&2; exit 2; }
WINEPREFIX=$("$here/prefix.sh" "$prefix") ||
  { echo "wine run: the prefix $prefix could not be set up" >&2; exit 1; }
export WINEPREFIX
if [ "$report" -eq 0 ]; then
  exec "$WINE" "$@"
fi
status=0
"$WINE" "$@" || status=$?
if [ "$status" -ne 0 ]; then
  echo "wine run: $(basename "$1") ended with status $status" >&2
fi
exit "$status"
