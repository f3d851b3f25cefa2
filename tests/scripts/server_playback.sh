#!/usr/bin/env bash
# Runs a program against a private sound server (PulseAudio, or PipeWire with
# E2E_SOUND_SERVER=pipewire) that it may stop and resume: QUORVELA_TEST_SERVER_PID names the
# process that answers libpulse. Stops every process it started.
# Usage: server_playback.sh PROGRAM [ARGS...]
set -euo pipefail
# shellcheck source=tests/scripts/e2e-common.sh
source "$(dirname "$0")/e2e-common.sh"
if [[ ${E2E_SOUND_SERVER:-pulseaudio} == pipewire ]]; then
    e2e_require pipewire wireplumber pipewire-pulse dbus-daemon pactl pacat sox lame
else
    e2e_require pulseaudio pactl pacat sox lame
fi
e2e_begin
pulse_server_start e2e || exit 1
QUORVELA_TEST_SERVER_PID=$sound_server_pid "$@" &
program=$!
pids+=("$program")
status=0
wait "$program" || status=$?
exit "$status"
