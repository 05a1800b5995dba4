#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build, the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, each fuzz target's seeds plus a short run, the
# Windows cross build with its tests under Wine, and the Debian package (built with Debian's
# tooling, lintian-clean, installed into an empty root, run from there and purged).
#
# Every stage runs even when an earlier one failed. The screen shows progress and failures; the
# compilers' and fuzzers' output goes to log files under build-logs/. The last lines are one
# summary per stage and the total; the exit status is 0 only when everything passed.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

logs=$top/build-logs
mkdir -p "$logs"

# The tests' PostgreSQL servers (tools/test-postgres.sh, one folder per build tree) are stopped at
# the end whatever happened, Ctrl-C included: ctest's cleanup test stops them, but not when ctest
# itself is interrupted or killed.
stop_test_servers() {
  local root
  for root in "$top"/build*/test-database; do
    if [ -d "$root" ]; then
      bash "$top/tools/test-postgres.sh" stop-all "$root" || true
    fi
  done
}
trap stop_test_servers EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
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
# When $alongside names a function, it runs in the background while the tests run (the tests
# mostly wait on lines and pauses, so a build or a fuzzer fits beside them); it must leave its
# results in log files, since nothing it records reaches this shell.
alongside=
ctest_stage() {
  local stage=$1 dir=$2
  shift 2
  local build_log=$logs/$stage-build.log test_log=$logs/$stage-test.log
  echo "== $stage: building ($build_log)"
  if ! bash tools/build.sh "$dir" "$@" >"$build_log" 2>&1; then
    echo "!! $stage: the build failed"
    show_tail "$build_log"
    record "$stage" 0 1 " (build failed)"
    [ -n "$alongside" ] && "$alongside"
    return
  fi
  local beside=
  if [ -n "$alongside" ]; then
    "$alongside" &
    beside=$!
  fi
  echo "== $stage: testing ($test_log)"
  ctest --test-dir "$dir" --output-on-failure --timeout 900 -j2 >"$test_log" 2>&1
  [ -n "$beside" ] && wait "$beside"
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

fuzz_targets=(map_check ini_text product_list version_file record_reader)

# Replays the seeds of each fuzz target and fuzzes it briefly; each target's log ends in
# build-logs/fuzz-<target>.log and its outcome in fuzz-<target>.status.
fuzz_run() {
  local target
  for target in "${fuzz_targets[@]}"; do
    echo "== fuzz $target ($logs/fuzz-$target.log)"
    if env -u ASAN_OPTIONS -u UBSAN_OPTIONS FUZZ_TARGETS=$target bash tools/run-fuzz.sh >"$logs/fuzz-$target.log" 2>&1; then
      echo passed >"$logs/fuzz-$target.status"
    else
      echo failed >"$logs/fuzz-$target.status"
    fi
  done
}

# Counts the fuzz targets' outcomes; each target counts as one test.
fuzz_collect() {
  local target passed=0 failed=0
  for target in "${fuzz_targets[@]}"; do
    if [ "$(cat "$logs/fuzz-$target.status" 2>/dev/null)" = passed ]; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
      echo "!! fuzz $target failed"
      show_tail "$logs/fuzz-$target.log" 40
    fi
  done
  record fuzzing "$passed" "$failed"
}

# The Windows cross build, made while the normal build's tests run.
windows_build() {
  echo "== windows: cross build ($logs/windows-build.log)"
  bash tools/run-windows-tests.sh --build-only --build-dir build-windows --host-bin build/bin \
    >"$logs/windows-build.log" 2>&1
}

# The Windows tests under Wine, with the normal build's phone simulator.
windows_stage() {
  local log=$logs/windows.log line
  if ! grep -q '^windows build: done' "$logs/windows-build.log" 2>/dev/null; then
    echo "!! windows: the cross build failed"
    show_tail "$logs/windows-build.log" 40
    record windows 0 1 " (build failed)"
    return
  fi
  echo "== windows: tests under Wine ($log)"
  bash tools/run-windows-tests.sh --tests-only --build-dir build-windows --host-bin build/bin \
    >"$log" 2>&1
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

# The Debian package: its build with lintian, then its fast install check (no network; the full
# check in a clean Debian root is tools/check-deb.sh). Each counts as one test.
package_stage() {
  local passed=0 failed=0 deb
  echo "== package: building the Debian package ($logs/package.log)"
  if bash tools/make-deb.sh "$top/build-package" >"$logs/package.log" 2>&1; then
    passed=$((passed + 1))
    deb=$(sed -n 's/^package: //p' "$logs/package.log")
    echo "== package: install, run, purge ($logs/package-check.log)"
    if bash tools/check-deb.sh --fast "$deb" >"$logs/package-check.log" 2>&1; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
      echo "!! package: the install check failed"
      show_tail "$logs/package-check.log"
    fi
  else
    failed=$((failed + 2))
    echo "!! package: the package build or lintian failed"
    show_tail "$logs/package.log" 40
  fi
  record package "$passed" "$failed"
}

echo "== installing what is missing ($logs/install.log)"
if ! bash tools/install-deps.sh --fuzz --app --windows --deb >"$logs/install.log" 2>&1; then
  show_tail "$logs/install.log"
  echo "tests: 0 passed, 1 failed"
  exit 1
fi

rm -f "$logs"/fuzz-*.status "$logs/windows-build.log"
alongside=windows_build
ctest_stage build build -DDEKVANTO_BUILD_APP=ON
alongside=fuzz_run
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
ctest_stage sanitizers build-asan -DDEKVANTO_BUILD_APP=ON -DDEKVANTO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
unset ASAN_OPTIONS UBSAN_OPTIONS
alongside=
fuzz_collect
windows_stage
package_stage

echo
for line in "${summaries[@]}"; do
  echo "$line"
done
echo "tests: $passed_total passed, $failed_total failed"
[ "$failed_total" -eq 0 ]
