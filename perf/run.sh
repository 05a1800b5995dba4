#!/usr/bin/env bash
# The download benchmark, one command:   bash perf/run.sh [label]
# Builds the programs it needs in ${DEKVANTO_PERF_BUILD:-/work/build-perf} (configured with the
# window when Qt 6 is there) and prints two tables (see docs/benchmark.md): the download, then the
# production bench's stations (left out with --virtual-only). The raw figures go to
# <build>/perf-<label>.json and <build>/perf-<label>-stations.json.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$(dirname "$here")"
build="${DEKVANTO_PERF_BUILD:-/work/build-perf}"
label="${1:-run}"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$source_dir" -B "$build" -G Ninja -DDEKVANTO_BUILD_APP=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
targets=(vanto vanto-phone-sim vanto-image mx40 vanto-virtual-download)
if grep -q "vanto-window-download" "$build/build.ninja"; then
  targets+=(vanto-window-download)
fi
cmake --build "$build" --target "${targets[@]}" >/dev/null
python3 "$here/download.py" --bin "$build/bin" --label "$label" --json "$build/perf-$label.json" "${@:2}"
case " ${*:2} " in
  *" --virtual-only "*) ;;
  *)
    echo
    python3 "$here/stations.py" --bin "$build/bin" --label "$label" \
      --json "$build/perf-$label-stations.json"
    ;;
esac
