#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: a whole download of generated sample
# firmware (loader, code file, personalization file) into the simulated phone.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

bash tools/install-deps.sh
bash tools/build.sh build-demo -DDEKVANTO_BUILD_TESTS=OFF
exec build-demo/bin/vanto-demo "$@"
