#!/usr/bin/env bash
# The settings store's differential test: runs one script of reads and writes (settings_script)
# through IniFile on Linux and through the private-profile calls under Wine, each on a fresh
# "MX40.ini", and compares the two transcripts (every value read, the file's bytes where the
# script shows them).
#
# Usage: settings_differential.sh --linux PROGRAM --windows PROGRAM.exe [--prefix WINEPREFIX]
#                                 [--expect DIFFERENCES] SCRIPT
# Without --expect the transcripts must be equal. With it, `diff` of the two transcripts (Linux
# first) must be exactly the file DIFFERENCES: the known ways in which Wine's calls differ. Exit
# status 0 when so, 1 otherwise (the difference is printed), 2 on bad usage.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_tools=$here/../../../tools/wine

linux= windows= prefix=${WINEPREFIX:-} expect=
while [ $# -gt 1 ]; do
  case $1 in
    --linux) linux=$2; shift 2 ;;
    --windows) windows=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --expect) expect=$2; shift 2 ;;
    *) break ;;
  esac
done
[ $# -eq 1 ] && [ -n "$linux" ] && [ -n "$windows" ] || {
  echo "usage: $0 --linux PROGRAM --windows PROGRAM.exe [--prefix DIR] [--expect FILE] SCRIPT" >&2
  exit 2
}
script=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/linux" "$work/windows"
cp "$script" "$work/windows/sequence.script"

"$linux" "$script" "$work/linux/MX40.ini" > "$work/linux.txt"
winpath() { echo "Z:$1" | tr / '\\'; }
prefix_args=()
[ -n "$prefix" ] && prefix_args=(--prefix "$prefix")
"$wine_tools/run.sh" "${prefix_args[@]}" "$windows" "$(winpath "$work/windows/sequence.script")" \
  "$(winpath "$work/windows/MX40.ini")" | tr -d '\r' > "$work/windows.txt"

diff "$work/linux.txt" "$work/windows.txt" > "$work/differences.txt" || true
if [ -z "$expect" ]; then
  expect=/dev/null
fi
if diff -u "$expect" "$work/differences.txt"; then
  echo "settings differential: $(grep -c -- ' -> ' "$work/linux.txt") results compared," \
       "$(grep -c '^[<>]' "$work/differences.txt" || true) known differing lines"
  exit 0
fi
echo "settings differential: the transcripts differ other than expected (above: - expected," \
     "+ found; diff of Linux < and Windows >)" >&2
exit 1
