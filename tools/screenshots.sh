#!/usr/bin/env bash
# Pictures of the DEKVANTO window for the documentation, made under a virtual X server: the main
# window after a whole download into the simulated phone, and the Settings dialog. They are saved
# as docs/main-window.png and docs/settings-dialog.png. The bench window, running vanto bench on
# four simulated lines, is saved as docs/bench-window.png.
# Usage: tools/screenshots.sh [build dir]     (default: build-screenshots)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$top/build-screenshots}

bash "$top/tools/install-deps.sh" --app
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S "$top" -B "$dir" "${generator[@]}" -DDEKVANTO_BUILD_APP=ON >/dev/null
cmake --build "$dir" --target window_screenshots bench_screenshot
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb \
  "$dir/bin/window_screenshots" "$top/docs"
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb \
  "$dir/bin/bench_screenshot" "$top/docs"
echo "screenshots: $top/docs/main-window.png $top/docs/settings-dialog.png $top/docs/bench-window.png"
