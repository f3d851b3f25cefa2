#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite headless.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"

export QT_QPA_PLATFORM=offscreen
unset QT_FONT_DPI QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS

echo "== build and test"
"$root/scripts/build.sh" build
(cd build && ctest --output-on-failure -j"$(nproc)" --timeout 600)
