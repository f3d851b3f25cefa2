#!/usr/bin/env bash
# Builds the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer and runs
# it; any report fails the run. Leaks are checked by the scripted session of a later step,
# where the toolkit's own one-time allocations can be told apart from ours.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# Line tables are all a sanitizer's report needs, and cost far less to build than full
# debugging information.
"$root/scripts/build.sh" build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
    -DQUORVELA_SANITIZE=ON -DQUORVELA_BUILD_BENCH=OFF
cd "$root/build-asan"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The soak watches resident memory, which the sanitizers' shadow memory and quarantine swamp.
ctest --output-on-failure -j"$(nproc)" --timeout 900 -LE "e2e|soak"

# The scripted session (start, list, play, load a playlist, every window, exit) and the window
# tests again, now with the leak checker on.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export QUORVELA_AUDIO_OUTPUT=null QT_QPA_PLATFORM=offscreen
for t in tst_session tst_form1 tst_playlistpanel tst_openfiles tst_form2 tst_about tst_help; do
    echo "-- leak check: $t"
    ./tests/$t >"$root/build-asan/$t-leaks.log" 2>&1 || { cat "$root/build-asan/$t-leaks.log"; exit 1; }
done
echo "no leaks found"
