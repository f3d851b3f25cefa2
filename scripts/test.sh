#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite headless.
# The suite is a series of steps in scripts/test-steps, run in the order of their names;
# the first that fails stops the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"

export QT_QPA_PLATFORM=offscreen
unset QT_FONT_DPI QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS

for step in "$root"/scripts/test-steps/*.sh; do
    echo "== $(basename "$step" .sh)"
    start=$SECONDS
    bash "$step"
    echo "== $(basename "$step" .sh) passed in $((SECONDS - start)) s"
done
