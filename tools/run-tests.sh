#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, each fuzz target's seeds plus a short run, and
# the Windows cross build with its tests under Wine.
#
# Every stage runs even when an earlier one failed. The screen shows progress and failures; the
# compilers' and fuzzers' output goes to log files under build-logs/. The last lines are one
# summary per stage and the total; the exit status is 0 only when everything passed.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

logs=$top/build-logs
mkdir -p "$logs"
summaries=()
passed_total=0
failed_total=0

# Adds a stage's counts to the totals and keeps its summary line.
record() {
  local stage=$1 passed=$2 failed=$3 note=${4:-}
  passed_total=$((passed_total + passed))
  failed_total=$((failed_total + failed))
  summaries+=("$(printf '%-16s %5d passed, %d failed%s' "$stage:" "$passed" "$failed" "$note")")
}

# Shows the end of a log after a failure.
show_tail() {
  echo "---- last lines of $1"
  tail -n "${2:-30}" "$1"
  echo "----"
}

# Builds one tree and runs its tests. Usage: ctest_stage <stage> <build dir> [cmake options...]
ctest_stage() {
  local stage=$1 dir=$2
  shift 2
  local build_log=$logs/$stage-build.log test_log=$logs/$stage-test.log
  echo "== $stage: building ($build_log)"
  if ! bash tools/build.sh "$dir" "$@" >"$build_log" 2>&1; then
    echo "!! $stage: the build failed"
    show_tail "$build_log"
    record "$stage" 0 1 " (build failed)"
    return
  fi
  echo "== $stage: testing ($test_log)"
  ctest --test-dir "$dir" --output-on-failure --timeout 900 -j2 >"$test_log" 2>&1
  local line failed total
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$test_log" | tail -n 1)
  if [ -z "$line" ]; then
    echo "!! $stage: ctest ended without its summary"
    show_tail "$test_log"
    record "$stage" 0 1 " (no summary)"
    return
  fi
  failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  if [ "$failed" -ne 0 ]; then
    echo "!! $stage: $failed of $total tests failed:"
    sed -n '/The following tests FAILED/,$p' "$test_log"
    grep -E -B2 -A12 'Failure$|ERROR: AddressSanitizer|runtime error' "$test_log" | head -n 120
  fi
  record "$stage" $((total - failed)) "$failed"
}

# Replays the seeds of each fuzz target and fuzzes it briefly; each target counts as one test.
fuzz_stage() {
  local target log passed=0 failed=0
  for target in map_check ini_text product_list version_file; do
    log=$logs/fuzz-$target.log
    echo "== fuzz $target ($log)"
    if FUZZ_TARGETS=$target bash tools/run-fuzz.sh >"$log" 2>&1; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
      echo "!! fuzz $target failed"
      show_tail "$log" 40
    fi
  done
  record fuzzing "$passed" "$failed"
}

# The Windows cross build and its tests under Wine, with the normal build's phone simulator.
windows_stage() {
  local log=$logs/windows.log line
  echo "== windows: cross build and tests under Wine ($log)"
  bash tools/run-windows-tests.sh --build-dir build-windows --host-bin build/bin >"$log" 2>&1
  line=$(grep -E '^windows tests: [0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    echo "!! windows: ended without its summary"
    show_tail "$log" 40
    record windows 0 1 " (no summary)"
    return
  fi
  local passed failed
  passed=$(sed -E 's/^windows tests: ([0-9]+) passed.*/\1/' <<<"$line")
  failed=$(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")
  if [ "$failed" -ne 0 ]; then
    echo "!! windows: $failed failed"
    show_tail "$log" 60
  fi
  record windows "$passed" "$failed"
}

echo "== installing what is missing ($logs/install.log)"
if ! bash tools/install-deps.sh --fuzz --app --windows >"$logs/install.log" 2>&1; then
  show_tail "$logs/install.log"
  echo "tests: 0 passed, 1 failed"
  exit 1
fi

ctest_stage build build -DDEKVANTO_BUILD_APP=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
ctest_stage sanitizers build-asan -DDEKVANTO_BUILD_APP=ON -DDEKVANTO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
unset ASAN_OPTIONS UBSAN_OPTIONS
fuzz_stage
windows_stage

echo
for line in "${summaries[@]}"; do
  echo "$line"
done
echo "tests: $passed_total passed, $failed_total failed"
[ "$failed_total" -eq 0 ]
