#!/usr/bin/env bash
# Takes the README's screenshots: builds the program, starts it on a private X server (Xvfb)
# with a private home holding a folder of generated MP3 files, opens each window through the
# menus with xdotool and saves it to docs/screenshots/. Rerun it whenever a window changes.
# Needs: xvfb, xdotool, imagemagick, sox, lame (all in scripts/install-deps.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/docs/screenshots"
# The folder's path shows in the player window, so it is kept short and readable when it can.
scratch=/tmp/quorvela-demo
mkdir "$scratch" 2>/dev/null || scratch=$(mktemp -d /tmp/quorvela-demo.XXXXXX)
xvfb_pid=""
player_pid=""

cleanup() {
    for pid in "$player_pid" "$xvfb_pid"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

"$root/scripts/build.sh" build >/dev/null

# A folder of tracks, made as WAV and encoded with lame so their lengths are exact.
music="$scratch/Music"
mkdir -p "$music"
make_track() { # file name, seconds, sox synth arguments
    sox -R -n -r 44100 -c 2 "$scratch/track.wav" synth "$2" "${@:3}" vol 0.3
    lame --quiet -b 128 "$scratch/track.wav" "$music/$1"
}
make_track "01 Morning Tone.mp3" 185 sine 440
make_track "02 Blue Waves.mp3" 94 sine 523.25
make_track "03 Green Waves.mp3" 242 sine 659.25
make_track "04 Quiet Noise.mp3" 61 pinknoise
rm -f "$scratch/track.wav"

# The remembered folder, so the player opens on the tracks above.
mkdir -p "$scratch/home" "$scratch/config/Quor"
printf '[Settings]\nlastdir=%s\n' "$music" >"$scratch/config/Quor/Quor.ini"

# -displayfd picks a free display and reports it once the server is ready.
mkfifo "$scratch/displayfd"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/displayfd" \
    >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 10 display <"$scratch/displayfd" ||
    { cat "$scratch/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"

unset QT_QPA_PLATFORM QT_FONT_DPI QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS
HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch" \
    QUORVELA_AUDIO_OUTPUT=null "$root/build/src/quorvela" >"$scratch/quorvela.log" 2>&1 &
player_pid=$!

window_named() { # exact title
    timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1
}
capture() { # window id, file name
    sleep 0.8 # let the window paint
    /usr/bin/import -window "$1" "$out/$2"
    echo "saved docs/screenshots/$2"
}
menu() { # keys after focusing the player: the menu's access key, then the item's
    xdotool windowfocus --sync "$player"
    xdotool key "$1"
    sleep 0.4
    xdotool key "$2"
}

mkdir -p "$out"
player=$(window_named Quorvela) || { cat "$scratch/quorvela.log" >&2; exit 1; }
xdotool windowfocus --sync "$player"
sleep 0.5

# The folder list starts 32 pixels below the menu bar (about 22 pixels high), so its first
# row lies near y = 58 whatever the font. Put the first two tracks on the playlist, then play
# the first with a double-click.
first_row_x=60
first_row_y=58
# Pauses longer than the double-click interval keep the single clicks apart.
xdotool mousemove --window "$player" "$first_row_x" "$first_row_y" click 1
sleep 0.6
xdotool key alt+a Down alt+a
sleep 0.6
xdotool mousemove --window "$player" "$first_row_x" "$first_row_y" click --repeat 2 --delay 60 1
sleep 2.2 # a couple of seconds into the track
xdotool mousemove 1279 799 # no hover highlight in the picture
capture "$player" player.png

shoot() { # menu key, item key, window title, file name
    menu "$1" "$2"
    local id
    id=$(window_named "$3") || { echo "no window '$3' opened" >&2; exit 1; }
    capture "$id" "$4"
}
shoot alt+t p Preferences preferences.png
shoot alt+h h Help help.png
shoot alt+h a 'About Quorvela' about.png

# File > Exit ends the program as a user would.
menu alt+f x
for _ in $(seq 50); do
    kill -0 "$player_pid" 2>/dev/null || break
    sleep 0.1
done
