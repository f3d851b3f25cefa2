#!/usr/bin/env bash
# Builds the program and runs every Qt Test and script test through CTest.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/scripts/build.sh" build
cd "$root/build"
ctest --output-on-failure -j"$(nproc)" --timeout 600
