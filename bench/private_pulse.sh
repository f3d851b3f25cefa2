#!/usr/bin/env bash
# Runs a command against a PulseAudio server of its own, with one null sink as the default
# device, and stops the server afterwards: for benchmarks that play to the sound device
# without disturbing (or depending on) the desktop's sound.
#   bench/private_pulse.sh build/bench/bench_memory --device
set -euo pipefail
(($# > 0)) || { echo "usage: private_pulse.sh COMMAND [ARGS...]" >&2; exit 2; }

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

export HOME=$work/home XDG_RUNTIME_DIR=$work/run PULSE_CLIENTCONFIG=$work/client.conf
unset PULSE_SERVER PULSE_SINK PULSE_SOURCE QUORVELA_AUDIO_OUTPUT
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
echo "autospawn = no" >"$PULSE_CLIENTCONFIG"

pulseaudio -n --daemonize=no --exit-idle-time=-1 --realtime=no --high-priority=no \
    -L "module-native-protocol-unix auth-anonymous=1" -L "module-null-sink sink_name=bench" \
    >"$work/pulseaudio.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
done
pactl set-default-sink bench || { cat "$work/pulseaudio.log" >&2; exit 1; }

"$@" &
pids+=($!)
status=0
wait "${pids[-1]}" || status=$?
exit "$status"
