#!/usr/bin/env bash
# Builds the fuzz targets with clang in their own build directory, replays each target's
# committed seed inputs, then fuzzes each target for a bounded time. Exits non-zero when an input
# crashes a target, trips a sanitizer or a target's own check, or runs longer than the time-out.
#
# Targets: map_check (the engine's mapping check), ini_text (the settings file's reader and
# writer), product_list (the product list parser and restore search), version_file (the version
# file reader and window title rule), record_reader (the bench's record file: the reader, the
# totals and selection of `vanto records`, and the search for a station's last unit). Seeds are
# in fuzz/corpus/<target>/.
#
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_TARGETS (default: all five, separated by
# spaces), FUZZ_SECONDS (time per target, default 15), FUZZ_RUNS (runs per target, default
# 30000000; each run ends at whichever bound comes first).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
targets=${FUZZ_TARGETS:-map_check ini_text product_list version_file record_reader}
seconds=${FUZZ_SECONDS:-15}
runs=${FUZZ_RUNS:-30000000}

generator=()
if command -v ninja >/dev/null 2>&1; then
    generator=(-G Ninja)
fi
CC=clang CXX=clang++ cmake -S "$root" -B "$build" "${generator[@]}" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DDEKVANTO_BUILD_FUZZERS=ON -DDEKVANTO_BUILD_TESTS=OFF
build_targets=()
for target in $targets; do
    build_targets+=("${target}_fuzzer")
done
cmake --build "$build" --target "${build_targets[@]}"

artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"
for target in $targets; do
    fuzzer=$build/bin/${target}_fuzzer
    seeds=$root/fuzz/corpus/$target

    echo "== $target: replaying $(find "$seeds" -type f | wc -l) seed inputs"
    find "$seeds" -type f -print0 | xargs -0 "$fuzzer" -timeout=10

    # One unit's start and end lines in a record file take about 2.5 KB: room for a few units.
    max_len=4096
    if [ "$target" = record_reader ]; then
        max_len=8192
    fi
    echo "== $target: fuzzing for at most ${seconds}s / ${runs} runs"
    work=$build/fuzz-corpus/$target
    mkdir -p "$work"
    "$fuzzer" -max_total_time="$seconds" -runs="$runs" -timeout=10 -max_len="$max_len" \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
        "$work" "$seeds"
done
