#!/usr/bin/env bash
# Runs a command (usually tools/wine/run.sh PROGRAM.exe) with a simulated phone on COM<n> of a
# Wine prefix: the Linux simulator's pseudo-terminal is linked as $WINEPREFIX/dosdevices/com<n>.
#
# Usage: tools/wine/with-phone.sh --sim PATH --com N [--prefix DIR] [--record DIR] [--compare]
#                                 [--any-end] [SIMULATOR-OPTIONS...] -- COMMAND [ARGS...]
#   --sim PATH    the host's vanto-phone-sim
#   --com N       the COM number the phone appears on (1..255; give parallel runs their own)
#   --prefix DIR  the Wine prefix (default $WINEPREFIX, else ./wine-prefix); created when missing
#   --record DIR  the simulator's record folder (default: a temporary one)
#   --compare     after the run, loader.bin, code.bin and perso.bin of $DEKVANTO_PHONE_WORK must
#                 equal what the phone received (each one the command wrote)
#   --any-end     the phone's verdict (0 or 1) does not count (for runs that never finish a
#                 download); the simulator must still end normally
# The command sees DEKVANTO_PHONE_COM (the number), DEKVANTO_PHONE_WORK (an empty Unix folder
# for the files it sends; Windows programs reach it as Z:<path>) and DEKVANTO_PHONE_RECORD.
# Exit status: the command's when it failed, else the phone's (0 = a complete and consistent
# download), else 1 when a comparison failed.
set -euo pipefail
here=$(dirname "$0")

sim= com= prefix=${WINEPREFIX:-$PWD/wine-prefix} record= compare=0 any_end=0
sim_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sim) sim=$2; shift 2 ;;
    --com) com=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --record) record=$2; shift 2 ;;
    --compare) compare=1; shift ;;
    --any-end) any_end=1; shift ;;
    --) shift; break ;;
    *) sim_args+=("$1"); shift ;;
  esac
done
if [ -z "$sim" ] || [ -z "$com" ] || [ $# -eq 0 ]; then
  sed -n '5,8p' "$0" >&2
  exit 2
fi

prefix=$("$here/prefix.sh" "$prefix")
scratch=$(mktemp -d "${TMPDIR:-/tmp}/dekvanto-phone.XXXXXX")
[ -n "$record" ] || record=$scratch/record
mkdir -p "$scratch/ports" "$scratch/work" "$record"
link=$prefix/dosdevices/com$com
sim_pid=
finish() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -f "$link"
  rm -rf "$scratch"
}
trap finish EXIT

# The simulator runs in a session of its own with the line as its terminal, so that Wine's
# server cannot take the line as its controlling terminal (and hang it up when it leaves).
mkfifo "$scratch/out"
"$sim" --port "$com" --ports-dir "$scratch/ports" --record "$record" --own-terminal \
  "${sim_args[@]}" >"$scratch/out" 2>"$scratch/err" &
sim_pid=$!
exec 3<"$scratch/out"
ready=
if ! read -r -t 20 -u 3 ready || [[ "$ready" != READY* ]]; then
  echo "with-phone: the simulator did not start: $ready" >&2
  cat "$scratch/err" >&2
  exit 1
fi
cat <&3 >"$scratch/out.txt" &
device=${ready##* }
ln -sfn "$device" "$link"

export DEKVANTO_PHONE_COM=$com DEKVANTO_PHONE_WORK=$scratch/work DEKVANTO_PHONE_RECORD=$record
status=0
"$@" || status=$?
rm -f "$link"

# The phone ends once the PC has let go of its port; a phone still waiting after that is told
# to stop.
phone_status=0
for _ in $(seq 1 300); do
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.1
done
kill -TERM "$sim_pid" 2>/dev/null || true
wait "$sim_pid" || phone_status=$?
sim_pid=
wait || true

if [ "$status" -ne 0 ]; then
  echo "with-phone: the command failed with status $status" >&2
  exit "$status"
fi
# With --any-end only the phone's two verdicts count as an end; a bad command line, a failed
# set-up or a crash of the simulator do not.
if { [ "$any_end" -eq 0 ] && [ "$phone_status" -ne 0 ]; } || [ "$phone_status" -gt 1 ]; then
  echo "with-phone: the phone's verdict: status $phone_status" >&2
  cat "$scratch/out.txt" "$scratch/err" >&2
  exit "$phone_status"
fi
if [ "$compare" -eq 1 ]; then
  for file in loader.bin code.bin perso.bin; do
    [ -f "$scratch/work/$file" ] || continue
    if ! cmp -s "$scratch/work/$file" "$record/$file"; then
      echo "with-phone: $file as received by the phone differs from the file sent" >&2
      exit 1
    fi
  done
fi
exit 0
