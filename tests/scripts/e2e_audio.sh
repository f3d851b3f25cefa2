#!/usr/bin/env bash
# Plays a 440 Hz MP3 through the real window and the sound device into a private PulseAudio
# server's null sink, records the sink's monitor and checks that the tone arrived, whole and
# at the right pitch. Usage: e2e_audio.sh PATH_TO_E2E_PLAY
set -euo pipefail
driver=$1
NEEDED_TOOLS=(pulseaudio pactl parec pacat sox lame)
# shellcheck source=private-session.sh
source "$(dirname "$0")/private-session.sh"

# A server of our own, reachable only through these settings.
export HOME=$work/home XDG_RUNTIME_DIR=$work/run PULSE_CLIENTCONFIG=$work/client.conf
unset PULSE_SERVER PULSE_SINK PULSE_SOURCE QUORVELA_AUDIO_OUTPUT
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/music"
chmod 700 "$XDG_RUNTIME_DIR"
echo "autospawn = no" >"$PULSE_CLIENTCONFIG"

pulseaudio --daemonize=no --exit-idle-time=-1 >"$work/pulseaudio.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
    cat "$work/pulseaudio.log"
    echo "FAIL: the sound server did not start"
    exit 1
fi
pactl load-module module-null-sink sink_name=e2e >/dev/null
pactl set-default-sink e2e

# A fresh null sink starts streams late; a silent stream with a short latency cures that.
pacat --latency-msec=20 /dev/zero &
pids+=($!)
for _ in $(seq 100); do
    latency=$(pactl list sinks | sed -n 's/^[[:space:]]*Latency: \([0-9]*\) usec.*/\1/p' | head -n1)
    [[ -n "$latency" && "$latency" -lt 200000 ]] && break
    sleep 0.1
done

tone_seconds=2
sox -R -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth "$tone_seconds" sine 440 vol 0.5
lame --quiet -b 128 "$work/tone.wav" "$work/music/tone.mp3"

parec --raw --device=e2e.monitor --format=s16le --rate=48000 --channels=2 >"$work/rec.raw" &
recorder=$!
pids+=("$recorder")
sleep 0.3

"$driver" "$work/music" tone.mp3 &
player=$!
pids+=("$player")
status=0
wait "$player" || status=$?
sleep 0.3
kill "$recorder" 2>/dev/null || true
wait "$recorder" 2>/dev/null || true
if [[ $status -ne 0 ]]; then
    echo "FAIL: the player exited with $status"
    exit 1
fi

sox -t raw -r 48000 -e signed -b 16 -c 2 "$work/rec.raw" "$work/rec.wav"
# Only the tone itself: the silence around it would dilute both figures.
sox "$work/rec.wav" "$work/tone-heard.wav" remix 1 silence 1 0.01 1% reverse silence 1 0.01 1% reverse
stats=$(sox "$work/tone-heard.wav" -n stat 2>&1)
echo "$stats"
frequency=$(awk -F: '/Rough[[:space:]]+frequency/ {gsub(/ /, "", $2); print $2}' <<<"$stats")
rms=$(awk -F: '/RMS[[:space:]]+amplitude/ {gsub(/ /, "", $2); print $2}' <<<"$stats")
length=$(awk -F: '/Length \(seconds\)/ {gsub(/ /, "", $2); print $2}' <<<"$stats")
echo "heard: ${length:-?} s at ${frequency:-?} Hz, RMS ${rms:-?}"
awk -v f="${frequency:-0}" -v r="${rms:-0}" -v l="${length:-0}" -v t="$tone_seconds" 'BEGIN {
    ok = 1
    if (f < 431 || f > 449) { print "FAIL: expected 440 Hz"; ok = 0 }
    if (r < 0.2) { print "FAIL: the tone is too quiet"; ok = 0 }
    if (l < t - 0.1 || l > t + 0.2) { print "FAIL: expected " t " s of tone"; ok = 0 }
    exit ok ? 0 : 1
}'
echo "PASS"
