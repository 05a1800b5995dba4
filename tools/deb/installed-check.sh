#!/usr/bin/env bash
# Runs the installed programs as a technician would: vanto's version, a whole download of the
# package's sample firmware into the simulated phone (vanto simulate), and both windows starting
# offscreen and closing. Run by tools/check-deb.sh, inside the checked root or over an unpacked
# one. Usage: installed-check.sh <folder of the commands> <samples folder> <expected version>
set -euo pipefail
bin=$1
samples=$2
version=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/dekvanto-installed.XXXXXX")
trap 'kill "${phone:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
export DEKVANTO_PORTS=$work/ports QT_QPA_PLATFORM=offscreen

fail() {
  echo "installed check: $*" >&2
  exit 1
}

[ "$("$bin/vanto" --version)" = "vanto $version" ] || fail "vanto --version is not vanto $version"
[ "$("$bin/dekvanto" --version)" = "dekvanto $version" ] || fail "dekvanto --version is wrong"

mkfifo "$work/phone.out"
"$bin/vanto" simulate --record "$work/received" >"$work/phone.out" 2>&1 &
phone=$!
exec 3<"$work/phone.out"
read -r ready port _ <&3 || true
[ "$ready" = READY ] || fail "the simulated phone did not start"
"$bin/vanto" download --port "$port" --loader "$samples/loader.bin" --code "$samples/code.bin" \
  --perso "$samples/perso.psb" >"$work/download.log" 2>&1 ||
  { cat "$work/download.log"; fail "vanto download into the simulated phone failed"; }
cat <&3 >"$work/phone.rest"
wait "$phone" || fail "the simulated phone did not end well: $(cat "$work/phone.rest")"
phone=
grep -q '^END consistent' "$work/phone.rest" || fail "the phone saw: $(cat "$work/phone.rest")"
cmp -s "$samples/code.bin" "$work/received/code.bin" || fail "the phone's code file differs"
cmp -s "$samples/perso.psb" "$work/received/perso.bin" || fail "the phone's personalization differs"
echo "installed check: vanto $version downloaded the samples into the simulated phone"

"$bin/dekvanto" --start-check || fail "dekvanto did not start"
"$bin/dekvanto-bench" --start-check || fail "dekvanto-bench did not start"
echo "installed check: dekvanto and dekvanto-bench started and closed"
