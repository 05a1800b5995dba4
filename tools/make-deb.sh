#!/usr/bin/env bash
# Builds the Debian package dist/dekvanto_<version>_<arch>.deb with Debian's own tooling
# (dpkg-buildpackage and debhelper, the packaging in tools/deb/debian/), then checks it with
# lintian, which must report no error and no warning. The version is the project's (CMakeLists).
# Installs what is missing first (as root; see tools/install-deps.sh --deb).
# Usage: tools/make-deb.sh [output folder]   (default dist/)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$top/dist}")
bash "$top/tools/install-deps.sh" --app --deb

version=$(bash "$top/tools/project-version.sh")
arch=$(dpkg --print-architecture)
work=$(mktemp -d "${TMPDIR:-/tmp}/dekvanto-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
source_dir=$work/dekvanto-$version

# The sources as the repository holds them (with changes not yet committed), no build folders.
mkdir -p "$source_dir"
(cd "$top" && git ls-files -z -co --exclude-standard -- . ':!:dist' |
  tar --null --ignore-failed-read -T - -cf -) | tar -xf - -C "$source_dir"
cp -r "$top/tools/deb/debian" "$source_dir/debian"
when=$(cd "$top" && git log -1 --format=%aD 2>/dev/null || date -R)
cat >"$source_dir/debian/changelog" <<CHANGES
dekvanto ($version) unstable; urgency=medium

  * DEK VANTO downloader $version.

 -- DEK VANTO downloader team <dekvanto@example.org>  $when
CHANGES

launcher=
command -v ccache >/dev/null && launcher="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
echo "== building the package ($work/build.log)"
if ! (cd "$source_dir" && DEB_BUILD_OPTIONS="parallel=$(nproc)" DEKVANTO_CMAKE_OPTIONS="$launcher" \
      dpkg-buildpackage -b -us -uc) >"$work/build.log" 2>&1; then
  tail -n 40 "$work/build.log"
  echo "make-deb: the package build failed" >&2
  exit 1
fi
package=dekvanto_${version}_${arch}.deb
mkdir -p "$out"
cp "$work/$package" "$out/"

echo "== lintian"
if ! lintian --fail-on error,warning --info "$out/$package"; then
  echo "make-deb: lintian reports errors or warnings" >&2
  exit 1
fi
echo "package: $out/$package"
