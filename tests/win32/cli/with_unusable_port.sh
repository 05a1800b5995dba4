#!/usr/bin/env bash
# Runs a Windows program under Wine with COM<N> of the prefix linked to /dev/null: a port that
# opens but is no serial line, so setting it up fails. The program finds N in
# $DEKVANTO_UNUSABLE_COM. Usage: with_unusable_port.sh WINEPREFIX N PROGRAM.exe [ARGS...]
set -euo pipefail
prefix=$1 com=$2
shift 2
wine_tools=$(cd "$(dirname "$0")/../../../tools/wine" && pwd)
prefix=$("$wine_tools/prefix.sh" "$prefix")
link=$prefix/dosdevices/com$com
ln -sfn /dev/null "$link"
trap 'rm -f "$link"' EXIT
status=0
DEKVANTO_UNUSABLE_COM=$com "$wine_tools/run.sh" --prefix "$prefix" "$@" || status=$?
exit "$status"
