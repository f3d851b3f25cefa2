#!/usr/bin/env bash
# Static analysis of our own sources with the checks in .clang-tidy; any finding fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
[ -f build/compile_commands.json ] || "$root/scripts/build.sh" build
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
find src -name '*.cpp' -print0 |
    xargs -0 -n 4 -P "$(nproc)" clang-tidy -p build --quiet >"$log" 2>&1 || status=$?
if grep -E 'warning:|error:' "$log"; then
    echo "clang-tidy found the problems above"
    exit 1
fi
if [ "$status" -ne 0 ]; then
    cat "$log"
    exit 1
fi
echo "clang-tidy: no findings in $(find src -name '*.cpp' | wc -l) files"
