#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz target's seeds plus a short run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash tools/install-deps.sh --fuzz

passed=0
# Runs the tests of one build tree and adds them to the total; a failure ends the script.
run_ctest() {
  local log
  log=$(mktemp)
  ctest --test-dir "$1" --output-on-failure --timeout 900 -j2 | tee "$log"
  passed=$((passed + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log")))
  rm -f "$log"
}

echo "== build and test"
bash tools/build.sh build
run_ctest build

echo "== sanitizer build and test"
bash tools/build.sh build-asan -DDEKVANTO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
run_ctest build-asan
unset ASAN_OPTIONS UBSAN_OPTIONS

echo "== fuzzing the mapping check"
bash tools/run-fuzz.sh
passed=$((passed + 1))

echo "tests: $passed passed, 0 failed"
