#!/usr/bin/env bash
# Makes the package's files that come from the built programs themselves, so that none of them
# can drift from the programs: the icon at the desktop's sizes (the window's own artwork code),
# the manual pages (from the real --help texts, with help2man), the bash completion for vanto
# (from vanto's help texts), the AppStream metadata with this release, and a sample firmware set
# that agrees with itself.
# Usage: make-generated.sh <build folder> <package folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
package=$2
bin=$package/usr/lib/dekvanto
version=$("$bin/vanto" --version | cut -d' ' -f2)

QT_QPA_PLATFORM=offscreen "$build/tools/artwork/dekvanto-export-artwork" \
  --icons "$package/usr/share/icons/hicolor"

# vanto's manual page takes every command's own help as a section of its own.
commands=$(mktemp)
trap 'rm -f "$commands"' EXIT
{
  echo "[COMMANDS]"
  for command in $(bash "$here/vanto-commands.sh" "$bin/vanto"); do
    "$bin/vanto" "$command" --help | awk -v command="$command" -f "$here/help-to-man.awk"
  done
} >"$commands"
man=$package/usr/share/man/man1
mkdir -p "$man"
help2man --no-info --version-string="$version" \
  --name="download firmware into VANTO phones from the command line" \
  --include="$here/vanto.h2m" --include="$commands" --output="$man/vanto.1" "$bin/vanto"
help2man --no-info --name="DEK VANTO firmware downloader window" \
  --include="$here/dekvanto.h2m" --output="$man/dekvanto.1" "$bin/dekvanto"
help2man --no-info --name="production bench window of the DEK VANTO downloader" \
  --include="$here/dekvanto-bench.h2m" --output="$man/dekvanto-bench.1" "$bin/dekvanto-bench"

completions=$package/usr/share/bash-completion/completions
mkdir -p "$completions"
bash "$here/vanto-completion.sh" "$bin/vanto" >"$completions/vanto"

# The release: the programs' version, dated by the package's changelog (SOURCE_DATE_EPOCH, which
# dpkg-buildpackage sets from it).
released=$(date -u -d "@${SOURCE_DATE_EPOCH:-$(date +%s)}" +%F)
mkdir -p "$package/usr/share/metainfo"
sed "s|^</component>|  <releases>\n    <release version=\"$version\" date=\"$released\"/>\n  </releases>\n</component>|" \
  "$here/org.example.dekvanto.metainfo.xml" >"$package/usr/share/metainfo/org.example.dekvanto.metainfo.xml"

"$build/bin/vanto-image" sample-set "$package/usr/share/dekvanto/samples" >/dev/null
