#!/usr/bin/env bash
# The window programs' command line: --start-check opens and closes the window (0), or ends with
# 1 and the start-up's reason when the engine library is missing, instead of a box that nobody
# closes; --help and --version answer without a display; options it does not know are left to Qt
# (-platform) or ignored, as the window has always ignored its command line.
# Usage: start_check_test.sh <dekvanto> <dekvanto-bench> <version>
set -uo pipefail
dekvanto=$1
bench=$2
version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # expect <what> <expected status> <command...>
  local what=$1 want=$2 got
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  got=$?
  if [ "$got" -ne "$want" ]; then
    echo "FAIL: $what: status $got, expected $want"; cat "$work/out" "$work/err"
    failures=$((failures + 1))
  fi
}

export QT_QPA_PLATFORM=offscreen
expect "dekvanto starts and closes" 0 "$dekvanto" --start-check
expect "dekvanto-bench starts and closes" 0 "$bench" --start-check
expect "dekvanto-bench takes one set-up file" 2 "$bench" a.setup b.setup
expect "a Qt option's value is no set-up file" 0 "$bench" -style fusion one.setup --start-check

cp "$dekvanto" "$work/dekvanto"
expect "dekvanto without its engine library" 1 "$work/dekvanto" --start-check
grep -q "^dekvanto: Sorry libDLL_MX40.so doesn't exist !$" "$work/err" ||
  { echo "FAIL: the missing library's message: $(cat "$work/err")"; failures=$((failures + 1)); }

unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY
expect "dekvanto --version" 0 "$dekvanto" --version
[ "$(cat "$work/out")" = "dekvanto $version" ] ||
  { echo "FAIL: --version printed: $(cat "$work/out")"; failures=$((failures + 1)); }
expect "dekvanto --help" 0 "$dekvanto" --help
grep -q "^Usage: dekvanto \[options\]" "$work/out" ||
  { echo "FAIL: --help printed: $(cat "$work/out")"; failures=$((failures + 1)); }
expect "Qt's own options still reach Qt" 0 "$dekvanto" -platform offscreen --start-check
expect "an option it does not know is ignored" 0 "$dekvanto" --no-such-option --version
expect "a value given to --version" 2 "$dekvanto" --version=1
exit $((failures > 0))
