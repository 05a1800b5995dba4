#!/usr/bin/env bash
# The benchmark, one command:   bash perf/run.sh [label] [options]
# Builds the programs it needs in ${DEKVANTO_PERF_BUILD:-/work/build-perf} (configured with the
# window when Qt 6 is there) and prints three tables (see docs/benchmark.md): the download, the
# production bench's stations and the line's database (on a private PostgreSQL server in the
# build folder). The raw figures go to <build>/perf-<label>.json, <build>/perf-<label>-stations.json
# and <build>/perf-<label>-database.json.
# Options: --virtual-only (the download in virtual time alone), --no-database (no line's
# database), --database-only (the line's database alone); the others go to perf/download.py.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$(dirname "$here")"
build="${DEKVANTO_PERF_BUILD:-/work/build-perf}"
label="${1:-run}"
download=yes stations=yes database=yes
download_options=()
for option in "${@:2}"; do
  case $option in
    --virtual-only) stations=no database=no download_options+=("$option") ;;
    --no-database) database=no ;;
    --database-only) download=no stations=no ;;
    *) download_options+=("$option") ;;
  esac
done
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$source_dir" -B "$build" -G Ninja -DDEKVANTO_BUILD_APP=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
targets=(vanto vanto-phone-sim vanto-image)
if [ $download = yes ]; then
  targets+=(mx40 vanto-virtual-download)
  if grep -q "vanto-window-download" "$build/build.ninja"; then
    targets+=(vanto-window-download)
  fi
fi
cmake --build "$build" --target "${targets[@]}" >/dev/null
if [ $download = yes ]; then
  python3 "$here/download.py" --bin "$build/bin" --label "$label" --json "$build/perf-$label.json" \
    "${download_options[@]}"
fi
if [ $stations = yes ]; then
  [ $download = no ] || echo
  python3 "$here/stations.py" --bin "$build/bin" --label "$label" \
    --json "$build/perf-$label-stations.json"
fi
if [ $database = yes ]; then
  [ $stations = no ] || echo
  python3 "$here/line_database.py" --bin "$build/bin" --work "$build" --label "$label" \
    --json "$build/perf-$label-database.json"
fi
