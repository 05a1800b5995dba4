#!/usr/bin/env bash
# Checks that no source file includes a header of a layer above its own. The layers, lowest
# first: the C interface header (shared/); the machine's platform library (platform/); the
# engine, whose parts sit below its stages and its stages below its interface; the application
# core (app/core/); and the front ends over it (app/qt/, app/win32/, cli/). The phone simulator
# (sim/) stands beside the engine, never on it: it plays the phone from its own side.
# Usage: tools/check-layers.sh [top directory]; prints each upward include, exit status 1 if any.
set -uo pipefail
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$top"
found=0

# refuse <what> <folders...> -- <include patterns...>: no file in the folders includes a header
# whose quoted path starts with one of the patterns.
refuse() {
  local what=$1 folders=() patterns=()
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do folders+=("$1"); shift; done
  shift
  patterns=("$@")
  local regex
  regex="#include \"($(IFS='|'; echo "${patterns[*]}"))"
  local hits="" line file included module
  while IFS= read -r line; do
    file=${line%%:*}
    included=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$line")
    # A header of the including module's own (cli/win32/... from cli/) is no layer above it.
    module=${file%%/*}
    [ "$module" = app ] && module=$(cut -d/ -f1-2 <<<"$file")
    [ "$module" != engine ] && [ -e "$module/$included" ] && continue
    hits+="$line"$'\n'
  done < <(grep -rnE "$regex" "${folders[@]}" --include='*.c' --include='*.h' --include='*.cpp' 2>/dev/null)
  if [ -n "$hits" ]; then
    echo "$what:"
    printf '%s' "$hits" | sed 's/^/  /'
    found=1
  fi
}

engine_parts=(engine/line engine/frames engine/report engine/files engine/mapcheck engine/platform)
refuse "the C interface header includes nothing of ours" shared -- core/ qt/ win32/ cli/ sim/ line/ \
  frames/ stages/ interface/ dekvanto/platform/
refuse "the platform library sits below everything" platform -- core/ qt/ win32/ cli/ sim/ line/ \
  frames/ stages/ interface/ report/ mapcheck/
refuse "the engine knows no application, front end or simulator" engine -- core/ qt/ win32/ cli/ sim/
refuse "the engine's parts sit below its stages and its interface" "${engine_parts[@]}" -- \
  stages/ interface/
refuse "the engine's stages sit below its interface" engine/stages -- interface/
refuse "the application core knows no front end" app/core -- qt/ win32/ cli/
refuse "the simulator plays the phone without the engine or the application" sim -- line/ frames/ \
  stages/ interface/ report/ mapcheck/ core/ qt/ win32/ cli/
refuse "the front ends do not reach into each other" app/qt app/win32 -- cli/
refuse "the front ends do not reach into each other" cli -- qt/ win32/

if [ "$found" -eq 0 ]; then
  echo "layers: no include runs back up a layer"
fi
exit "$found"
