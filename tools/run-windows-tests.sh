#!/usr/bin/env bash
# Builds the Windows cross build (MinGW-w64) and runs every Windows test under Wine, with the
# host's phone simulator on the COM ports that need one.
#
# Usage: tools/run-windows-tests.sh [--build-dir DIR] [--host-bin DIR] [--host-build-dir DIR] [-j N]
#   --build-dir DIR       the cross build (default build-windows)
#   --host-bin DIR        the bin folder of a host build that holds vanto-phone-sim and
#                         settings_script (the Linux side of the settings file's differential
#                         test); without it both are built in --host-build-dir
#   --host-build-dir DIR  host build for those two programs (default build-windows-host)
#   -j N                  parallel build jobs and tests (default 2)
#   --build-only          build, and leave the tests for a later call with --tests-only
#   --tests-only          run the tests of a cross build made before
# The build's output goes to DIR/build.log, the tests' to DIR/test.log. The last line is
# "windows tests: N passed, M failed"; the exit status is 0 only when the build worked and every
# test passed.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

build=build-windows host_build=build-windows-host host_bin= jobs=2 build_step=1 test_step=1
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build=$2; shift 2 ;;
    --host-bin) host_bin=$2; shift 2 ;;
    --host-build-dir) host_build=$2; shift 2 ;;
    -j) jobs=$2; shift 2 ;;
    --build-only) test_step=0; shift ;;
    --tests-only) build_step=0; shift ;;
    *) echo "run-windows-tests: unknown option $1" >&2; exit 2 ;;
  esac
done
build=$(realpath -m "$build")
mkdir -p "$build"
build_log=$build/build.log test_log=$build/test.log
[ "$build_step" -eq 1 ] && : >"$build_log"

fail() {
  echo "!! $1"
  [ -n "${2:-}" ] && tail -n 40 "$2"
  echo "windows tests: 0 passed, 1 failed"
  exit 1
}

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || [ ! -x /usr/lib/wine/wine64 ]; then
  fail "MinGW-w64 or Wine is missing (tools/install-deps.sh --windows)"
fi

# The phone simulator and the settings file's Linux side run on the host.
host_programs=(vanto-phone-sim settings_script)
if [ -z "$host_bin" ]; then
  echo "== windows: building the host's programs ($host_build)"
  cmake -S "$top" -B "$host_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >>"$build_log" 2>&1 &&
    cmake --build "$host_build" --target "${host_programs[@]}" -j "$jobs" >>"$build_log" 2>&1 ||
    fail "the host's programs did not build" "$build_log"
  host_bin=$host_build/bin
fi
host_bin=$(realpath "$host_bin")
for program in "${host_programs[@]}"; do
  [ -x "$host_bin/$program" ] || fail "$host_bin/$program is missing"
done

if [ "$build_step" -eq 1 ]; then
  echo "== windows: cross build ($build_log)"
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
    -DDEKVANTO_PHONE_SIM="$host_bin/vanto-phone-sim" \
    -DDEKVANTO_HOST_SETTINGS_SCRIPT="$host_bin/settings_script" >>"$build_log" 2>&1 &&
    cmake --build "$build" -j "$jobs" >>"$build_log" 2>&1 ||
    fail "the cross build failed" "$build_log"
fi
if [ "$test_step" -eq 0 ]; then
  echo "windows build: done"
  exit 0
fi

# Headless: the prefix uses Wine's null display driver (tests that draw start their own X
# server). One wine server stays up for the whole run, so that each program starts in about a
# second instead of several.
unset DISPLAY
prefix=$("$top/tools/wine/prefix.sh" "$build/wine-prefix") || fail "the Wine prefix could not be set up"
export WINEPREFIX=$prefix
/usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
# Wine's own services start with the first program and stay with the server: started here, they
# hold no test's output open (ctest would wait for them to close it).
WINEDEBUG=-all /usr/lib/wine/wine64 cmd /c exit 0 </dev/null >/dev/null 2>&1 || true

echo "== windows: testing under Wine ($test_log)"
ctest --test-dir "$build" --output-on-failure --timeout 600 -j "$jobs" >"$test_log" 2>&1
line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$test_log" | tail -n 1)
if [ -z "$line" ]; then
  fail "ctest ended without its summary" "$test_log"
fi
failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
if [ "$failed" -ne 0 ]; then
  echo "!! windows: $failed of $total tests failed:"
  sed -n '/The following tests FAILED/,$p' "$test_log"
fi
echo "windows tests: $((total - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
