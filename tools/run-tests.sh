#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz target's seeds plus a short run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash tools/install-deps.sh --fuzz

echo "== build and test"
bash tools/build.sh build
ctest --test-dir build --output-on-failure --timeout 600 -j2

echo "== sanitizer build and test"
bash tools/build.sh build-asan -DDEKVANTO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure --timeout 900 -j2

if [ -f tools/run-fuzz.sh ]; then
  echo "== fuzzing the mapping check"
  bash tools/run-fuzz.sh
fi
