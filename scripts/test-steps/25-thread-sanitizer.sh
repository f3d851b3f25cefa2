#!/usr/bin/env bash
# Builds the sound engine's tests under ThreadSanitizer and runs them: through the null and WAV
# outputs, whose threads pace themselves, and through the sound device against a private sound
# server, where libpulse's threaded main loop meets the window's thread. Any report of a data
# race fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cmake -S "$root" -B "$root/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
    -DQUORVELA_SANITIZE_THREAD=ON -DQUORVELA_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/build-tsan" -j"$(nproc)" --target tst_playbackengine server_playback
cd "$root/build-tsan"
# The tests list the server's streams with pactl through QProcess, whose children exec at once
# and run nothing of ours; the sanitizer would otherwise stop the test at its next thread.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$root/tests/tsan.supp"
export QT_QPA_PLATFORM=offscreen
echo "-- the engine's tests, null and WAV outputs"
QUORVELA_AUDIO_OUTPUT=null ./tests/tst_playbackengine
echo "-- the engine through the sound device, against a private server"
(unset QUORVELA_AUDIO_OUTPUT; bash "$root/tests/scripts/server_playback.sh" ./tests/server_playback)
echo "no data races found"
