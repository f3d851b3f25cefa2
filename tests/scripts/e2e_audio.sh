#!/usr/bin/env bash
# The real window plays a 440 Hz MP3 through the sound device into a private PulseAudio
# server's null sink; the sink's monitor is recorded and checked:
# - the stream tells the server who it is (application name, icon, media role);
# - a pause as the elapsed label turns "00:01" is heard where the player says it paused, and
#   the tone is whole across the pause, to its last samples;
# - unloading the sink while playing, and then the server dropping the stream, neither crash
#   nor hang the window, whose labels then read stopped; the next track plays on a new
#   default sink, whole and at its pitch;
# - the server standing still (SIGSTOP) never stalls the window, which then says
#   that the server did not answer; once it goes on (SIGCONT), a track plays again.
# E2E_SOUND_SERVER=pipewire runs it all on PipeWire instead of PulseAudio.
# Usage: e2e_audio.sh PATH_TO_E2E_PLAY
set -euo pipefail
driver=$1
# shellcheck source=tests/scripts/e2e-common.sh
source "$(dirname "$0")/e2e-common.sh"
if [[ ${E2E_SOUND_SERVER:-pulseaudio} == pipewire ]]; then
    e2e_require pipewire wireplumber pipewire-pulse pw-cli dbus-daemon pactl parec pacat sox lame
else
    e2e_require pulseaudio pactl pacmd parec pacat sox lame
fi
export E2E_SOUND_SERVER=${E2E_SOUND_SERVER:-pulseaudio}
e2e_begin
mkdir -p "$work/music"
pulse_server_start e2e || exit 1
module=$pulse_sink_module

tone_seconds=3
sox -R -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth "$tone_seconds" sine 440 vol 0.5
lame --quiet -b 128 "$work/tone.wav" "$work/music/tone.mp3"

parec --raw --device=e2e.monitor --format=s16le --rate=48000 --channels=2 >"$work/rec.raw" &
recorder=$!
pids+=("$recorder")
sleep 0.3

# Taking the device away while playing: the sink goes, and the server moves the stream to the
# sink it falls back to; then the server drops the stream, as when no device is left.
export -f pulse_kill_stream
cat >"$work/lose.sh" <<'EOS'
set -euo pipefail
pactl unload-module "$1"
sleep 0.5
id=$(pactl list sink-inputs | awk '/^Sink Input #/ {id = substr($3, 2)}
    /application.name = "Quorvela"/ {print id}')
if [[ -n $id ]]; then
    echo "the stream moved on by itself; now the server drops it"
    pulse_kill_stream "$id"
fi
EOS

# The new device the driver asks for once the first is gone: a sink with its own keep-alive
# stream and recorder.
export -f pulse_wait_for_sink
cat >"$work/restore.sh" <<'EOS'
set -euo pipefail
work=$1
pactl load-module module-null-sink sink_name=e2e2 >/dev/null
pactl set-default-sink e2e2
pacat --device=e2e2 --latency-msec=20 /dev/zero &
echo $! >"$work/keep2.pid"
pulse_wait_for_sink e2e2
# Short fragments: PipeWire's monitor of a sink made late hands larger ones out late.
parec --latency-msec=20 --raw --device=e2e2.monitor --format=s16le --rate=48000 --channels=2 \
    >"$work/rec2.raw" &
echo $! >"$work/rec2.pid"
sleep 0.3
EOS

# Who the stream says it is, looked at while it plays.
(
    for _ in $(seq 200); do
        pactl list sink-inputs >"$work/inputs.txt" 2>/dev/null || true
        grep -q 'application.name = "Quorvela"' "$work/inputs.txt" && exit 0
        sleep 0.05
    done
) &
watcher=$!
pids+=("$watcher")

"$driver" "$work/music" tone.mp3 "bash $work/lose.sh $module" "bash $work/restore.sh $work" \
    "kill -STOP $sound_server_pid" "kill -CONT $sound_server_pid" >"$work/driver.log" &
player=$!
pids+=("$player")
status=0
wait "$player" || status=$?
cat "$work/driver.log"
sleep 0.3
kill "$recorder" 2>/dev/null || true
[[ -f $work/rec2.pid ]] && kill "$(cat "$work/rec2.pid")" 2>/dev/null || true
wait "$watcher" 2>/dev/null || true
if [[ $status -ne 0 ]]; then
    echo "FAIL: the player exited with $status"
    exit 1
fi

ok=1
fail() {
    echo "FAIL: $*"
    ok=0
}

# The stream's identity.
for property in 'application.name = "Quorvela"' 'application.icon_name = "quorvela"' \
    'media.role = "music"'; do
    grep -qF "$property" "$work/inputs.txt" || fail "the stream lacks $property"
done
if grep -q 'application.name = "QtPulseAudio' "$work/inputs.txt"; then
    fail "a stream is named QtPulseAudio"
fi
echo "stream: $(grep -E 'application.name|application.icon_name|media.role' "$work/inputs.txt" |
    tr -s ' \t' ' ' | tr '\n' ';')"

# Stretches of tone in a recording, in 5 ms steps: "start end" in seconds, one a line. A
# silence of one or two steps inside a stretch does not end it: PipeWire's graph, when one of
# its clients misses a 5.3 ms cycle (on a busy machine without realtime scheduling), mixes
# that cycle without it, whichever client it is; the recording then holds one cycle of
# silence, with the tone on either side in step.
segments() {
    sox -t raw -r 48000 -e signed -b 16 -c 2 "$1" -t dat - remix 1 2>/dev/null | awk '
        /^;/ {next}
        {sum += $2 * $2; n++}
        n == 240 {
            t += 0.005; loud = sqrt(sum / n) > 0.05; sum = 0; n = 0
            if (loud && !on) {on = 1; start = t - 0.005}
            if (loud) {quiet = 0; end = t}
            if (!loud && on && ++quiet > 2) {on = 0; printf "%.3f %.3f\n", start, end}
        }
        END {if (on) printf "%.3f %.3f\n", start, end}'
}

# The pause: heard up to where the player said, no further; the tone whole across it.
paused_at=$(awk '/^PAUSED_AT/ {print $2}' "$work/driver.log")
mapfile -t parts < <(segments "$work/rec.raw")
echo "first sink, tone heard from-to: ${parts[*]}"
if ((${#parts[@]} < 2)); then
    fail "expected the tone in two parts around the pause"
else
    read -r s1 e1 <<<"${parts[0]}"
    read -r s2 e2 <<<"${parts[1]}"
    awk -v p="$paused_at" -v s1="$s1" -v e1="$e1" -v s2="$s2" -v e2="$e2" -v t="$tone_seconds" 'BEGIN {
        first = e1 - s1; whole = first + e2 - s2
        printf "heard %.3f s before the pause (the player said %.3f s), %.3f s in all\n", first, p, whole
        ok = 1
        # 30 ms for the position, 5 ms for the steps of this measure.
        if (first - p > 0.035 || p - first > 0.035) { print "FAIL: the heard position is off"; ok = 0 }
        # The label rounds to the nearest second.
        if (p < 0.5 || p > 0.8) { print "FAIL: paused at " p " s, not as the label turned 00:01"; ok = 0 }
        if (whole < t - 0.02 || whole > t + 0.02) { print "FAIL: expected " t " s of tone in all"; ok = 0 }
        exit ok ? 0 : 1
    }' || ok=0
fi

# The new device: the whole tone again, at its pitch; then what played once the server
# went on after standing still.
grep -q "after losing the device" "$work/driver.log" || fail "the device-loss step did not run"
grep -q "server slow to answer: played" "$work/driver.log" || fail "the server-hang step did not run"
if [[ ! -s $work/rec2.raw ]]; then
    fail "nothing was recorded on the new sink"
else
    mapfile -t parts2 < <(segments "$work/rec2.raw")
    echo "new sink, tone heard from-to: ${parts2[*]}"
    read -r s1 _ <<<"${parts2[0]:-0 0}"
    sox -t raw -r 48000 -e signed -b 16 -c 2 "$work/rec2.raw" "$work/tone-heard.wav" remix 1 \
        trim "$s1" "$tone_seconds"
    stats=$(sox "$work/tone-heard.wav" -n stat 2>&1)
    frequency=$(awk -F: '/Rough[[:space:]]+frequency/ {gsub(/ /, "", $2); print $2}' <<<"$stats")
    rms=$(awk -F: '/RMS[[:space:]]+amplitude/ {gsub(/ /, "", $2); print $2}' <<<"$stats")
    # The whole track, then (a server that stands still plays nothing) a little more of it from
    # the play the slow server answered; a monitor that records nothing while the sink is idle
    # may join the two.
    heard=$(printf '%s\n' "${parts2[@]}" | awk '{sum += $2 - $1} END {printf "%.3f", sum}')
    first=$(awk '{printf "%.3f", $2 - $1}' <<<"${parts2[0]:-0 0}")
    echo "new sink: ${frequency:-?} Hz, RMS ${rms:-?}; the first part ${first} s, ${heard} s in all"
    awk -v f="${frequency:-0}" -v r="${rms:-0}" -v first="$first" -v all="$heard" \
        -v t="$tone_seconds" 'BEGIN {
        ok = 1
        if (f < 431 || f > 449) { print "FAIL: expected 440 Hz"; ok = 0 }
        if (r < 0.2) { print "FAIL: the tone is too quiet"; ok = 0 }
        if (first < t - 0.1) { print "FAIL: expected " t " s of tone"; ok = 0 }
        if (all < t + 0.2 || all > t + 1.5) {
            print "FAIL: expected the tone once more after the server went on"; ok = 0
        }
        exit ok ? 0 : 1
    }' || ok=0
fi
((ok)) || exit 1
echo "PASS"
