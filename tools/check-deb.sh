#!/usr/bin/env bash
# Checks the Debian package made by tools/make-deb.sh (made first when dist/ lacks it):
#   full (default): installs it with apt into a clean Debian 12 root (debootstrap, minimal
#     variant; needs root and Debian's package servers), runs the installed programs there as
#     a technician's account and as root (installed-check.sh), removes it (the product list
#     stays), then purges it with the dependencies it brought and checks that nothing of it is
#     left but the users' own files.
#   --fast: no network: installs it with dpkg into an empty root (dependencies not checked),
#     runs the programs from there, removes and purges it alike and checks that only dpkg's own
#     records are left.
# Usage: tools/check-deb.sh [--fast] [package.deb]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
fast=false
if [ "${1:-}" = --fast ]; then
  fast=true
  shift
fi
version=$(bash "$top/tools/project-version.sh")
deb=${1:-$top/dist/dekvanto_${version}_$(dpkg --print-architecture).deb}
[ -f "$deb" ] || bash "$top/tools/make-deb.sh"
deb=$(realpath "$deb")
root=$(mktemp -d "${TMPDIR:-/tmp}/dekvanto-root.XXXXXX")
mounted=()
cleanup() {
  local m
  for m in "${mounted[@]}"; do umount -l "$m" 2>/dev/null || true; done
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT

fail() {
  echo "check-deb: $*" >&2
  exit 1
}

# The files (not folders) under the root, as sorted paths, leaving out what the check and the
# package tools keep for themselves.
root_files() {
  (cd "$root" && find . -xdev \( -type f -o -type l \) -printf '/%P\n') |
    grep -vE '^/(proc|sys|dev|run|tmp|home|root|var/(lib|log|cache)/)' |
    grep -vE '^/etc/(passwd|group|shadow|gshadow|subuid|subgid)-?$|^/etc/ld\.so\.cache$' |
    sort || true
}

if $fast; then
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
  touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
  # The dependencies are not in the empty root: dpkg names each, as it was told to let them be.
  dpkg --root="$root" --force-depends --force-script-chrootless -i "$deb" >"$root.log" 2>&1 ||
    { cat "$root.log"; rm -f "$root.log"; fail "dpkg could not install the package"; }
  rm -f "$root.log"
  [ "$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' dekvanto)" = \
    "install ok installed" ] || fail "dpkg did not install the package"
  # The record forwarder's service runs the installed vanto's "records follow".
  unit=$root/lib/systemd/system/dekvanto-forward@.service
  [ -f "$unit" ] || fail "the record forwarder's unit dekvanto-forward@.service is missing"
  grep -q '^ExecStart=/usr/bin/vanto records follow %f --db ' "$unit" ||
    fail "the forwarder's unit does not run vanto records follow"
  "$root/usr/bin/vanto" records follow --help >/dev/null || fail "vanto has no records follow"
  home=$(mktemp -d "${TMPDIR:-/tmp}/dekvanto-home.XXXXXX")
  HOME=$home bash "$top/tools/deb/installed-check.sh" "$root/usr/bin" \
    "$root/usr/share/dekvanto/samples" "$version"
  rm -rf "$home"
  dpkg --root="$root" --remove dekvanto >/dev/null
  [ -f "$root/etc/dekvanto/dekvanto.cfg" ] || fail "the removal took the product list"
  [ ! -e "$root/usr/bin/vanto" ] || fail "the removal left the programs"
  dpkg --root="$root" --purge dekvanto >/dev/null
  left=$(root_files)
  [ -z "$left" ] || fail "left after the purge: $left"
  echo "check-deb: installed, ran, removed, purged; nothing left ($(basename "$deb"))"
  exit 0
fi

[ "$(id -u)" -eq 0 ] || fail "the full check needs root (debootstrap, chroot); --fast does not"
echo "== a clean Debian 12 root ($root)"
chmod 755 "$root"
debootstrap --variant=minbase bookworm "$root" "${DEBIAN_MIRROR:-http://deb.debian.org/debian}" \
  >"$root.debootstrap.log" 2>&1 || { tail -n 20 "$root.debootstrap.log"; fail "debootstrap failed"; }
rm -f "$root.debootstrap.log"
for m in proc dev dev/pts; do
  case $m in
    proc) mount -t proc proc "$root/proc" ;;
    dev) mount --bind /dev "$root/dev" ;;
    dev/pts) mount --bind /dev/pts "$root/dev/pts" ;;
  esac
  mounted=("$root/$m" "${mounted[@]}")
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }
in_root useradd --create-home tech
before=$(root_files)

echo "== apt install ./$(basename "$deb")"
cp "$deb" "$top/tools/deb/installed-check.sh" "$root/tmp/"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "/tmp/$(basename "$deb")" >/dev/null
for file in /usr/bin/vanto /usr/bin/dekvanto /usr/bin/dekvanto-bench /usr/lib/dekvanto/dekvanto.cfg \
            /usr/share/man/man1/vanto.1.gz /usr/share/applications/dekvanto.desktop \
            /usr/share/bash-completion/completions/vanto /usr/share/icons/hicolor/48x48/apps/dekvanto.png; do
  in_root test -e "$file" || fail "$file is missing after the install"
done

package_folder() { ls -lA --full-time "$root/usr/lib/dekvanto"; }
installed=$(package_folder)

echo "== the installed programs, as the account tech"
in_root su tech -c "bash /tmp/installed-check.sh /usr/bin /usr/share/dekvanto/samples $version"
in_root su tech -c "vanto products" | grep -q "VANTO 16 bits" || fail "vanto products does not see /etc's list"
in_root su tech -c "bash -c 'source /usr/share/bash-completion/completions/vanto && complete -p vanto'" \
  >/dev/null || fail "the bash completion does not load"
# A file of the user's own, made by vanto in the user's configuration folder: the purge keeps it.
in_root su tech -c "vanto ports --assign COM7=/dev/ttyS0" >/dev/null
[ -L "$root/home/tech/.config/dekvanto/ports/COM7" ] || fail "vanto ports --assign wrote no link"
echo "== the installed programs, as root"
in_root bash /tmp/installed-check.sh /usr/bin /usr/share/dekvanto/samples "$version"
[ "$(package_folder)" = "$installed" ] || fail "running the programs changed the package's folder"

echo "== apt remove, then apt purge with the dependencies it brought"
rm -f "$root/tmp/$(basename "$deb")" "$root/tmp/installed-check.sh"
in_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq dekvanto >/dev/null
[ -f "$root/etc/dekvanto/dekvanto.cfg" ] || fail "the removal took the product list"
[ ! -e "$root/usr/bin/vanto" ] || fail "the removal left the programs"
in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq --autoremove dekvanto >/dev/null
after=$(root_files)
left=$(comm -13 <(echo "$before") <(echo "$after"))
[ -z "$left" ] || fail "left after the purge: $left"
[ -L "$root/home/tech/.config/dekvanto/ports/COM7" ] || fail "the purge took the user's port link"
echo "check-deb: installed, ran as a user and as root, removed, purged; only the users' files are left"
