#!/usr/bin/env bash
# Prints the project's version (major.minor.patch), read from its single source: the project()
# line of CMakeLists.txt.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
sed -nE 's/^project\(dekvanto VERSION ([0-9]+\.[0-9]+\.[0-9]+).*/\1/p' "$top/CMakeLists.txt"
