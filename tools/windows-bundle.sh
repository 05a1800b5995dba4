#!/usr/bin/env bash
# Builds the Windows bundle: a zip holding DEKVANTO.EXE, DLL_MX40.DLL and the command-line tool
# vanto.exe, with the files DEKVANTO reads beside itself (the product list dekvanto.cfg, its
# loader vanto_loader.bin, the version file DEKVANTO.VRS), a sample set in samples/ (a loader,
# a code file and a personalization file that agree with each other) and README.txt, the user's
# only document (from tools/bundle/README.txt.in, with vanto's exit statuses as its help gives
# them, in Windows line ends). Unpacked anywhere, the
# folder runs as it stands; "MX40.ini" is created beside DEKVANTO.EXE at the first settings write.
#
# Usage: tools/windows-bundle.sh [OUTPUT.zip]   (default dist/dekvanto-windows-<version>.zip)
# Build folders: build-windows (MinGW cross build) and build-windows-host (the host tools that
# write the product list, the version file and the samples); BUILD_WINDOWS and
# BUILD_WINDOWS_HOST name others. Installs what is missing first (as root; see
# tools/install-deps.sh --app --windows).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/tools/install-deps.sh" --app --windows
cross=${BUILD_WINDOWS:-$top/build-windows}
host=${BUILD_WINDOWS_HOST:-$top/build-windows-host}

version=$(bash "$top/tools/project-version.sh")
IFS=. read -r major minor patch <<<"$version"
version_text="A-000-${major}${minor}-0${patch}"
output=${1:-$top/dist/dekvanto-windows-$version.zip}

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
echo "== host tools ($host)"
cmake -S "$top" -B "$host" "${generator[@]}" -DDEKVANTO_BUILD_TESTS=OFF -DDEKVANTO_BUILD_APP=ON \
  >/dev/null
cmake --build "$host" --target vanto-image dekvanto-bundle-files vanto >/dev/null
echo "== Windows programs ($cross)"
cmake -S "$top" -B "$cross" "${generator[@]}" -DDEKVANTO_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$cross" --target dekvanto_win32 mx40 vanto >/dev/null

stage=$(mktemp -d "${TMPDIR:-/tmp}/dekvanto-bundle.XXXXXX")
trap 'rm -rf "$stage"' EXIT
folder=$stage/DEKVANTO
mkdir -p "$folder/samples"
cp "$cross/bin/DEKVANTO.EXE" "$cross/bin/DLL_MX40.DLL" "$cross/bin/vanto.exe" "$folder/"
# The build keeps its debugging information; the bundle does not need it.
"${MINGW_STRIP:-x86_64-w64-mingw32-strip}" "$folder/DEKVANTO.EXE" "$folder/DLL_MX40.DLL" \
  "$folder/vanto.exe"
"$host/tools/bundle/dekvanto-bundle-files" "$folder" "$version_text"
"$host/bin/vanto-image" sample-set "$folder/samples" >/dev/null
"$host/bin/vanto" --help | sed -n '/^Exit status:/,$p' | sed -e '1d' -e '/^ *$/d' -e 's/^/  /' \
  >"$stage/statuses"
[ -s "$stage/statuses" ] || { echo "windows-bundle: vanto's help lists no exit statuses" >&2; exit 1; }
sed -e "s/@VERSION@/$version/" -e "/@EXIT_STATUSES@/{r $stage/statuses
d}" "$top/tools/bundle/README.txt.in" | sed 's/$/\r/' >"$folder/README.txt"

mkdir -p "$(dirname "$output")"
rm -f "$output"
output=$(realpath -m "$output")
(cd "$stage" && zip -q -r -X "$output" DEKVANTO)
echo "bundle: $output"
unzip -l "$output" | sed -n '4,$p' | head -n -2
