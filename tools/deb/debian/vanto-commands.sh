#!/usr/bin/env bash
# Prints vanto's commands, one a line, as its help lists them.
# Usage: vanto-commands.sh <vanto>
set -euo pipefail
"$1" --help | sed -n '/^Subcommands:/,/^$/p' | sed -nE 's/^  ([a-z][a-z-]*) .*/\1/p'
