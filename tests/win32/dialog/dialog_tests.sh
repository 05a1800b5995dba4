#!/usr/bin/env bash
# Runs DEKVANTO.EXE's test driver under Wine in a virtual X server of its own (xvfb), with a
# simulated phone on COM<n> when asked.
# Usage: dialog_tests.sh --prefix DIR [--phone SIM --com N [PHONE-OPTIONS...]] -- DRIVER [ARGS...]
#   PHONE-OPTIONS go to tools/wine/with-phone.sh (--compare, --any-end) and on to the simulator.
# Exit status: the driver's, or the phone's verdict (see with-phone.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
wine_tools=$top/tools/wine
. "$wine_tools/wine-env.sh"

prefix= sim=
phone_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --phone) sim=$2; shift 2 ;;
    --) shift; break ;;
    *) phone_args+=("$1"); shift ;;
  esac
done
if [ -z "$prefix" ] || [ $# -eq 0 ]; then
  sed -n '4,5p' "$0" >&2
  exit 2
fi
run=("$wine_tools/run.sh" --prefix "$prefix" "$@")
if [ -n "$sim" ]; then
  run=("$wine_tools/with-phone.sh" --sim "$sim" --prefix "$prefix" "${phone_args[@]}" -- "${run[@]}")
fi

# Under the X server the harness takes the drawing twin of the prefix (prefix.sh). Its Wine
# processes, the desktop among them, end before the X server does.
export DIALOG_PREFIX=$prefix DIALOG_TOOLS=$wine_tools DIALOG_WINESERVER=$WINESERVER
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  drawing_prefix=$("$DIALOG_TOOLS/prefix.sh" "$DIALOG_PREFIX")
  status=0
  "$@" || status=$?
  WINEPREFIX=$drawing_prefix "$DIALOG_WINESERVER" -w
  exit $status' _ "${run[@]}"
