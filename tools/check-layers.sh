#!/usr/bin/env bash
# Checks that no source file includes a header of a layer above its own. The layers, lowest
# first: the C interface header (shared/); the machine's platform library (platform/); the
# engine, whose parts sit below its stages and its stages below its interface; the application
# core (app/core/); and the front ends over it (app/qt/, app/win32/, cli/). The phone simulator
# (sim/) stands beside the engine, never on it: it plays the phone from its own side.
#
# Three checks:
# - the build's targets (the file the build writes, layer-targets.tsv): which target links or
#   depends on which, from what CMake really builds. The product (shared/, platform/, engine/,
#   sim/, app/, cli/) never stands on the tools, the performance benchmark, the fuzzers or the
#   tests; each layer stands only on layers below it.
# - includes, where one target holds several layers: the engine's parts, stages and interface.
# - OS headers: the core and the front ends reach the system through the platform library only.
#   OS code by nature keeps its own: the Win32 dialogs (app/win32), the engine's line and window
#   backends (the engine library must stay free of the application's dependencies, so it keeps
#   its own serial line code rather than the platform's), and the simulator's pseudo-terminal.
# Usage: tools/check-layers.sh [top directory] [layer-targets.tsv]; prints each breach, exit
# status 1 if any. Without the targets file only the include checks run.
set -uo pipefail
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}
targets_file=${2:-}
cd "$top"
found=0

# The layer of a folder, lowest first; the tools, the benchmark and the fuzzers over the product,
# the tests over everything.
layer_of() {
  case $1 in
    .) echo -1 ;; # the build's own options (warnings, sanitizers)
    shared | shared/*) echo 0 ;;
    platform | platform/*) echo 1 ;;
    engine | engine/* | sim | sim/*) echo 2 ;;
    app/core | app/core/*) echo 3 ;;
    app/qt | app/qt/* | app/win32 | app/win32/* | cli | cli/*) echo 4 ;;
    tools/* | perf | perf/* | fuzz | fuzz/*) echo 5 ;;
    tests/*) echo 6 ;;
    *) echo 9 ;;
  esac
}

# The module of a folder: the front end, engine, simulator... that a target belongs to.
module_of() {
  case $1 in
    app/*) cut -d/ -f1-2 <<<"$1" ;;
    *) echo "${1%%/*}" ;;
  esac
}

# check_targets <file>: every dependency of every target runs down the layers.
check_targets() {
  local -A folder_of type_of
  local target type folder depends hits="" dependency
  while IFS=$'\t' read -r target type folder depends; do
    folder_of[$target]=$folder
    type_of[$target]=$type
  done <"$1"
  while IFS=$'\t' read -r target type folder depends; do
    [ -z "$folder" ] && continue
    local from from_module
    from=$(layer_of "$folder")
    from_module=$(module_of "$folder")
    [ "$from" -ge 6 ] && continue
    IFS=';' read -ra list <<<"$depends"
    for dependency in "${list[@]}"; do
      local there=${folder_of[$dependency]:-}
      [ -z "$there" ] && continue
      local to to_module
      to=$(layer_of "$there")
      to_module=$(module_of "$there")
      [ "$to_module" = "$from_module" ] && continue
      # vanto ships the simulator as its "simulate" command: the one front end that may use it.
      [ "$from_module" = cli ] && [ "$to_module" = sim ] && continue
      # The benchmark and the fuzzers drive the engine and the windows on the tests' doubles.
      [ "$from" -eq 5 ] && [[ $dependency == *_test_support ]] && continue
      # A front end may run another's program as a child process (the bench window runs vanto).
      [ "$from" -eq 4 ] && [ "$to" -eq 4 ] && [ "${type_of[$dependency]}" = EXECUTABLE ] && continue
      if [ "$to" -ge "$from" ] || { [ "$to_module" = sim ] && [ "$from" -lt 5 ]; }; then
        hits+="$target ($folder) stands on $dependency ($there)"$'\n'
      fi
    done
  done <"$1"
  if [ -n "$hits" ]; then
    echo "targets stand only on layers below them, never on tools, benchmark or tests:"
    printf '%s' "$hits" | sed 's/^/  /'
    found=1
  fi
}

if [ -n "$targets_file" ]; then
  if [ -r "$targets_file" ]; then
    check_targets "$targets_file"
  else
    echo "layers: cannot read the build's targets ($targets_file)"
    found=1
  fi
fi

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

engine_parts=(engine/line engine/frames engine/report engine/files engine/mapcheck engine/clock
              engine/window)
refuse "the C interface header includes nothing of ours" shared -- core/ qt/ win32/ cli/ sim/ line/ \
  frames/ stages/ interface/ dekvanto/platform/
refuse "the platform library sits below everything" platform -- core/ qt/ win32/ cli/ sim/ line/ \
  frames/ stages/ interface/ report/ mapcheck/ clock/ window/
refuse "the engine knows no application, front end or simulator" engine -- core/ qt/ win32/ cli/ sim/
refuse "the engine's parts sit below its stages and its interface" "${engine_parts[@]}" -- \
  stages/ interface/
refuse "the engine's stages sit below its interface" engine/stages -- interface/
refuse "the application core knows no front end" app/core -- qt/ win32/ cli/
refuse "the simulator plays the phone without the engine or the application" sim -- line/ frames/ \
  stages/ interface/ report/ mapcheck/ clock/ window/ core/ qt/ win32/ cli/
refuse "the front ends do not reach into each other" app/qt app/win32 -- cli/
refuse "the front ends do not reach into each other" cli -- qt/ win32/

# No OS header in the core or the front ends that stand on the platform library.
os_headers=$(grep -rnE '#include <(termios|unistd|fcntl|windows|winsock2?|poll|signal|spawn|dlfcn|pwd|grp|dirent|pty|sched|pthread|io)\.h>|#include <sys/' \
  app/core app/qt cli --include='*.c' --include='*.h' --include='*.cpp' 2>/dev/null)
if [ -n "$os_headers" ]; then
  echo "the core and the front ends reach the system through the platform library:"
  printf '%s\n' "$os_headers" | sed 's/^/  /'
  found=1
fi

if [ "$found" -eq 0 ]; then
  echo "layers: no target or include runs back up a layer, no OS header outside the platform library"
fi
exit "$found"
