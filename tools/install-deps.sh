#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
# Usage: tools/install-deps.sh [--fuzz] [--app] [--windows] [--deb]
set -euo pipefail

# libpq-dev: every build links PostgreSQL's client library; postgresql: the tests start servers.
packages=(build-essential cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev
          clang-format python3 libcli11-dev nlohmann-json3-dev libssl-dev libpq-dev postgresql)
for arg in "$@"; do
  case "$arg" in
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;
    --app) packages+=(qt6-base-dev qt6-base-dev-tools libgl-dev xvfb xauth) ;;
    # The Windows cross build (MinGW-w64 with standard threads), Wine to run its tests, and zip
    # for its bundle (tools/windows-bundle.sh).
    --windows) packages+=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine xvfb xauth zip
                          unzip) ;;
    # The Debian package's tooling (tools/make-deb.sh) and its check (tools/check-deb.sh).
    --deb) packages+=(debhelper dpkg-dev fakeroot help2man lintian git debootstrap) ;;
    *) echo "install-deps: unknown option $arg" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
