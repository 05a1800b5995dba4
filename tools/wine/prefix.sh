#!/usr/bin/env bash
# Creates a private Wine prefix when it does not exist yet, and prints its path.
# Usage: tools/wine/prefix.sh DIR
# Without an X display (DISPLAY unset or empty) the prefix is DIR itself, set up with Wine's null
# display driver: windows, message queues and message boxes work, nothing is drawn. With a
# display (xvfb-run) it is DIR-x11, which draws on that display. The first start of a prefix
# takes 10-20 s; later calls return at once. A program that crashes ends at once (no debugger). Several callers at a time are fine: the first one
# sets the prefix up, the others wait for it.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"

[ $# -eq 1 ] || { echo "usage: $0 PREFIX-DIR" >&2; exit 2; }
prefix=$(realpath -m "$1")
if [ -n "${DISPLAY:-}" ]; then
  prefix=$prefix-x11
fi
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.dekvanto-prefix-3" ]; then
    export WINEPREFIX=$prefix
    "$WINE" wineboot --init </dev/null >/dev/null 2>&1
    if [ -z "${DISPLAY:-}" ]; then
      "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    fi
    # No debugger at a crash: Wine's would wait for someone to look. With a debugger that cannot
    # be started the program ends at once, with a failing exit status.
    "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
      /d no-debugger /f </dev/null >/dev/null 2>&1
    touch "$prefix/.dekvanto-prefix-3"
  fi
) 9>"$prefix.lock"
echo "$prefix"
