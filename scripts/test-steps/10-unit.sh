#!/usr/bin/env bash
# Builds the program and runs every Qt Test and script test through CTest. The build is
# configured for the prefix a distribution uses (/usr), so that the package step packs this
# very program instead of compiling it again.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/scripts/build.sh" build -DCMAKE_INSTALL_PREFIX=/usr
cd "$root/build"
ctest --output-on-failure -j"$(nproc)" --timeout 600
