#!/usr/bin/env bash
# Drives the real player window with a real MPRIS client (playerctl) over a private session
# bus, while it plays a 440 Hz tone to a private PulseAudio server's null sink: the sink's
# monitor tells tone from silence, and the window's labels are read from a file its driver
# keeps writing. Usage: e2e_mpris.sh PATH_TO_E2E_MPRIS
set -euo pipefail
driver=$1
# shellcheck source=tests/scripts/e2e-common.sh
source "$(dirname "$0")/e2e-common.sh"
e2e_require pulseaudio pactl parec pacat sox lame dbus-daemon dbus-send dbus-monitor playerctl
e2e_begin

pulse_server_start e2e || exit 1
export XDG_CACHE_HOME=$work/cache
mkdir -p "$work/music"

session_bus_start || exit 1
# Playing asks the portal to hold off the suspend, then the screen saver; neither is on this bus.
dbus-monitor --session "type='method_call',member='Inhibit'" >"$work/bus.log" 2>&1 &
pids+=($!)
inhibits() { grep -c "$1; member=Inhibit\$" "$work/bus.log"; }

tone_seconds=40
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth "$tone_seconds" sine 440 vol 0.5
lame --quiet -b 128 --tt "Forty Seconds of A" --ta "Quorvela Tests" "$work/tone.wav" \
    "$work/music/tone.mp3"

mpris() { playerctl --player=quorvela "$@"; }
await_status() {
    for _ in $(seq 60); do
        [ "$(mpris status 2>/dev/null)" = "$1" ] && return 0
        sleep 0.05
    done
    fail "playerctl status says '$(mpris status 2>&1)', expected '$1'"
}
expect_silence() {
    local rms
    listen
    rms=$(figure 'RMS[[:space:]]+amplitude')
    echo "$1: RMS ${rms:-?}"
    awk -v r="${rms:-1}" 'BEGIN { exit r < 0.01 ? 0 : 1 }' || fail "$1: the sink is not silent"
}

"$driver" "$work/music" tone.mp3 "$work/state" >"$work/driver.log" 2>&1 &
player=$!
pids+=("$player")

for _ in $(seq 100); do
    mpris status >/dev/null 2>&1 && break
    sleep 0.1
done
players=$(playerctl -l 2>&1 || true)
echo "playerctl -l: $players"
grep -qx quorvela <<<"$players" || { cat "$work/driver.log"; fail "playerctl does not list quorvela"; }
await_status Stopped
echo "status before playing: Stopped"

touch "$work/state.doubleclick"
await_status Playing
echo "status after the double-click: Playing"
await_shown label1 tone.mp3

title=$(mpris metadata xesam:title)
url=$(mpris metadata xesam:url)
length=$(mpris metadata mpris:length)
echo "metadata: title '$title', url '$url', length $length µs"
[ "$title" = "Forty Seconds of A" ] || fail "the title is '$title'"
[ "$url" = "file://$work/music/tone.mp3" ] || fail "the URL is '$url'"
[[ "$length" =~ ^[0-9]+$ ]] || fail "the length is '$length'"
off=$((length - tone_seconds * 1000000))
(( off >= -50000 && off <= 50000 )) || fail "the length is $length µs"
for _ in $(seq 60); do [ "$(inhibits ScreenSaver)" = 1 ] && break; sleep 0.05; done
[ "$(inhibits ScreenSaver)" = 1 ] && grep -q '"Playing music"' "$work/bus.log" &&
    grep -A4 'portal.Inhibit; member=Inhibit$' "$work/bus.log" | grep -q 'uint32 4' ||
    fail "playing did not ask the portal, then the screen saver, to hold off the suspend"
expect_tone "playing"

mpris pause
await_status Paused
sleep 0.3
held=$(shown elapsed)
expect_silence "paused"
[ "$(shown elapsed)" = "$held" ] || fail "the elapsed label moved from $held to $(shown elapsed) while paused"
echo "paused: the elapsed label stays at $held"
[ "$(inhibits portal.Inhibit) $(inhibits ScreenSaver)" = "1 1" ] || fail "pausing asked for Inhibit"

mpris play
await_status Playing
expect_tone "playing again"

mpris position 30
await_shown elapsed 00:30
echo "position 30: the elapsed label shows 00:30"
expect_tone "playing from 30 s"

mpris stop
await_status Stopped
await_shown elapsed 00:00
expect_silence "stopped"
echo "stopped: the elapsed label shows 00:00"

mpris volume 0.5
await_shown volume 50
echo "volume 0.5: the volume control shows $(shown volume)"
[ "$(mpris volume)" = "0.500000" ] || fail "playerctl reads the volume as $(mpris volume)"

open_uri() {
    dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.quorvela \
        /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Player.OpenUri string:"$1" 2>&1 || true
}
mpris volume 1.0
await_shown volume 100
# OpenUri does what "quorvela FILE" does: the file goes on the playlist and plays from there.
opened=$(open_uri "file://$work/music/tone.mp3")
echo "OpenUri of the MP3 file: ${opened:-no answer}"
grep -q '^Error ' <<<"$opened" && fail "OpenUri refused the MP3 file"
await_status Playing
await_shown label1 Playlist
await_shown entries 1
expect_tone "opened through OpenUri"
echo "not music" >"$work/notes.txt"
for uri in "file://$work/notes.txt" "file://$work/music" "https://example.org/a.mp3"; do
    refused=$(open_uri "$uri")
    echo "OpenUri of $uri: $refused"
    grep -q '^Error ' <<<"$refused" || fail "OpenUri took $uri"
done
refused=$(open_uri "file://$work/gone%20away.mp3")
grep -q "^Error org.freedesktop.DBus.Error.FileNotFound: $work/gone away.mp3 does not" \
    <<<"$refused" || fail "OpenUri of a missing file said: $refused"
sleep 0.3
[ "$(shown entries)" = 1 ] || fail "a refused URI changed the playlist"
[ "$(shown messages)" = 0 ] || fail "the window showed a message"
# Next and Previous move through the playlist the track was opened into.
open_uri "file://$work/music/tone.mp3" >/dev/null
await_shown row 1
mpris previous
await_shown row 0
mpris next
await_shown row 1
echo "playerctl previous and next: the playlist's selection went to entry 0 and back to 1"

# The desktop's mixer sets the stream to 20 % and mutes it: the window and MPRIS show it, and
# the next track keeps it.
id=$(pactl list sink-inputs | awk '/^Sink Input #/ {id = substr($3, 2)}
    /application.name = "Quorvela"/ {print id; exit}')
[ -n "$id" ] || fail "no stream of ours on the server"
pactl set-sink-input-volume "$id" 20%
pactl set-sink-input-mute "$id" 1
await_shown volume 20
await_shown muted 1
[ "$(mpris volume)" = "0.200000" ] || fail "playerctl reads the volume as $(mpris volume)"
echo "the mixer set 20 % and muted: the window shows $(shown volume) and muted, MPRIS $(mpris volume)"
mpris stop
await_status Stopped
mpris play
await_status Playing
sleep 0.3
id=$(pactl list sink-inputs | awk '/^Sink Input #/ {id = substr($3, 2)}
    /application.name = "Quorvela"/ {print id; exit}')
stream=$(pactl list sink-inputs | awk -v n="Sink Input #$id" '$0 == n {on = 1; next}
    /^Sink Input #/ {on = 0} on && /Mute:|^[[:space:]]*Volume:/')
echo "the next stream: $(tr -s ' \t\n' ' ' <<<"$stream")"
grep -q 'Mute: yes' <<<"$stream" && grep -q ' 20%' <<<"$stream" ||
    fail "the next stream did not keep the mixer's volume"
expect_silence "muted by the mixer"

touch "$work/state.minimize"
await_shown minimized 1
dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.quorvela \
    /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Raise >/dev/null || fail "Raise failed"
await_shown minimized 0
echo "Raise: the minimised window is shown again"

# Quit ends the program as File > Exit does: the window unloads and saves its settings.
dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.quorvela \
    /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit failed"
status=0
for _ in $(seq 100); do
    kill -0 "$player" 2>/dev/null || break
    sleep 0.05
done
kill -0 "$player" 2>/dev/null && fail "the program still runs after Quit"
wait "$player" || status=$?
e2e_forget "$player"
cat "$work/driver.log"
[ "$status" -eq 0 ] || fail "the program ended with $status after Quit"
echo "PASS"
