#!/usr/bin/env bash
# Ctrl-C during a download with vanto.exe under Wine: started by with-phone.sh with the phone on
# COM$DEKVANTO_PHONE_COM, the download is interrupted by SIGINT once its progress reaches 10 %;
# vanto must then end with status 3 (stopped) and the log's cancel line.
# Usage: vanto_ctrl_c.sh WINEPREFIX VANTO.EXE
set -euo pipefail
prefix=$1 vanto=$2
wine_tools=$(cd "$(dirname "$0")/../../../tools/wine" && pwd)
: "${DEKVANTO_PHONE_COM:?needs a phone (tools/wine/with-phone.sh)}"
work=${DEKVANTO_PHONE_WORK:-$(mktemp -d)}
head -c 1000 /dev/urandom > "$work/loader.bin"
head -c 200000 /dev/urandom > "$work/code.bin"
winpath() { echo "Z:$1" | tr / '\\'; }

out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$wine_tools/run.sh" --prefix "$prefix" "$vanto" download --port "COM$DEKVANTO_PHONE_COM" \
  --loader "$(winpath "$work/loader.bin")" --code "$(winpath "$work/code.bin")" --bus 16 \
  > "$out" 2>&1 &
pid=$!
# Waits for the line (or the end of vanto) without polling the clock.
timeout 120 tail -n +1 --pid="$pid" -f "$out" | grep -q -m1 "progress  10%" || true
kill -INT "$pid" 2>/dev/null || true
status=0
wait "$pid" || status=$?
cat "$out"
if [ "$status" -ne 3 ]; then
  echo "vanto_ctrl_c: vanto ended with status $status, not 3 (stopped)" >&2
  exit 1
fi
grep -q "DOWNLOAD CANCELED" "$out" || { echo "vanto_ctrl_c: no cancel line" >&2; exit 1; }
echo "vanto_ctrl_c: stopped by Ctrl-C with status 3 and the cancel line"
