#!/usr/bin/env bash
# Builds the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer and runs
# it; any report fails the run. Leaks are checked by the scripted session of a later step,
# where the toolkit's own one-time allocations can be told apart from ours.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/scripts/build.sh" build-asan -DCMAKE_BUILD_TYPE=Debug -DQUORVELA_SANITIZE=ON \
    -DQUORVELA_BUILD_BENCH=OFF
cd "$root/build-asan"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --output-on-failure -j"$(nproc)" --timeout 900 -LE e2e
