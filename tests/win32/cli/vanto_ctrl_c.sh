#!/usr/bin/env bash
# Ctrl-C with vanto.exe under Wine, started by with-phone.sh with the phone on
# COM$DEKVANTO_PHONE_COM; vanto must end with status 3 (stopped).
#   download: interrupted once the progress reaches 10 %; the log shows the cancel line.
#   bench: a one-station bench interrupted once its unit has started (give the phone
#          --wire-timed, so that the unit is still running); the station gets the Ctrl-C from
#          the bench's own process, its unit ends as STOPPED and its end line in the record says
#          so.
#   bench-killed: the same bench, killed instead (SIGKILL to the bench's own process): its
#          station, left without its bench, stops its unit as at Ctrl-C and records it STOPPED.
# Usage: vanto_ctrl_c.sh WINEPREFIX VANTO.EXE [download|bench|bench-killed]
set -euo pipefail
prefix=$1 vanto=$2 mode=${3:-download}
wine_tools=$(cd "$(dirname "$0")/../../../tools/wine" && pwd)
: "${DEKVANTO_PHONE_COM:?needs a phone (tools/wine/with-phone.sh)}"
work=${DEKVANTO_PHONE_WORK:-$(mktemp -d)}
head -c 1000 /dev/urandom > "$work/loader.bin"
head -c 200000 /dev/urandom > "$work/code.bin"
winpath() { echo "Z:$1" | tr / '\\'; }
port=COM$DEKVANTO_PHONE_COM
args=(--port "$port" --loader "$(winpath "$work/loader.bin")" --code "$(winpath "$work/code.bin")"
      --bus 16)
record=$work/units.jsonl
if [ "$mode" != download ]; then
  args=(bench "${args[@]}" --record "$(winpath "$record")" --events)
  started='"event":"unit-start"'
else
  args=(download "${args[@]}")
  started="progress  10%"
fi

out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$wine_tools/run.sh" --prefix "$prefix" "$vanto" "${args[@]}" > "$out" 2>&1 &
pid=$!
# Waits for the line (or the end of vanto) without polling the clock.
timeout 120 tail -n +1 --pid="$pid" -f "$out" | grep -q -m1 "$started" || true
fail() { echo "vanto_ctrl_c: $1" >&2; exit 1; }
# The Linux processes of the bench's vanto.exe and of its station: the program vanto.exe, the
# command bench, and for the station its --station-port.
processes() {
  local p command
  for p in $(pgrep -f 'vanto\.exe' || true); do
    command=$(tr '\0' '\n' < "/proc/$p/cmdline" 2>/dev/null | head -n 2 | tr '\n' ' ') || continue
    case "$command" in
      *vanto.exe\ bench\ ) ;;
      *) continue ;;
    esac
    if tr '\0' '\n' < "/proc/$p/cmdline" | grep -qx -- "--station-port"; then
      [ "$1" = station ] && echo "$p"
    else
      [ "$1" = bench ] && echo "$p"
    fi
  done
  return 0
}
if [ "$mode" = bench-killed ]; then
  station=$(processes station | head -n 1)
  bench=$(processes bench | head -n 1)
  [ -n "$station" ] && [ -n "$bench" ] || fail "no bench and station processes found"
  kill -KILL "$bench"
  wait "$pid" || true
  # The station ends by itself once it has stopped its unit and written its end line.
  timeout 120 tail --pid="$station" -f /dev/null || fail "the station went on without its bench"
  cat "$out"
  grep '"event":"end"' "$record" | grep -q '"status":"stopped"' ||
    fail "the record has no end line of a stopped unit"
  echo "vanto_ctrl_c: a killed bench's station stopped its unit and recorded it"
  exit 0
fi
kill -INT "$pid" 2>/dev/null || true
status=0
wait "$pid" || status=$?
cat "$out"
[ "$status" -eq 3 ] || fail "vanto ended with status $status, not 3 (stopped)"
if [ "$mode" = bench ]; then
  grep -q "$port #1 STOPPED" "$out" || fail "no STOPPED line for the unit"
  grep '"event":"end"' "$record" | grep -q '"status":"stopped"' ||
    fail "the record has no end line of a stopped unit"
else
  grep -q "DOWNLOAD CANCELED" "$out" || fail "no cancel line"
fi
echo "vanto_ctrl_c: $mode stopped by Ctrl-C with status 3"
