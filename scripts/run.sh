#!/usr/bin/env bash
# Installs what is missing, builds and starts the player.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only the program (and its help page); the tests are built by the test command.
cmake --build "$root/build" -j"$(nproc)" --target quorvela
exec "$root/build/src/quorvela"
