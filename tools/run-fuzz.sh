#!/usr/bin/env bash
# Builds the mapping check fuzzer with clang in its own build directory, replays the committed
# seed inputs, then fuzzes for a bounded time. Exits non-zero when an input crashes the check,
# trips a sanitizer, or runs longer than the time-out.
#
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_SECONDS (default 60), FUZZ_RUNS
# (default 30000000; the run ends at whichever bound comes first).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
runs=${FUZZ_RUNS:-30000000}
seeds=$root/fuzz/corpus/map_check

generator=()
if command -v ninja >/dev/null 2>&1; then
    generator=(-G Ninja)
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$build" "${generator[@]}" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DDEKVANTO_BUILD_FUZZERS=ON -DDEKVANTO_BUILD_TESTS=OFF
cmake --build "$build" --target map_check_fuzzer
fuzzer=$build/bin/map_check_fuzzer

echo "== replaying $(find "$seeds" -type f | wc -l) seed inputs"
find "$seeds" -type f -print0 | xargs -0 "$fuzzer" -timeout=10

echo "== fuzzing for at most ${seconds}s / ${runs} runs"
work=$build/fuzz-corpus/map_check
artifacts=$build/fuzz-artifacts
mkdir -p "$work" "$artifacts"
"$fuzzer" -max_total_time="$seconds" -runs="$runs" -timeout=10 -max_len=4096 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "$seeds"
