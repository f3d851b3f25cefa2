#!/usr/bin/env bash
# Opens files as a desktop does, into the real window already running (kept by a driver that
# writes what it holds to a file): a second launch of the program with files, which ends the
# launcher's start-up notice, and "gio launch" of the installed desktop entry; with none
# running, the program opens its own. Two launches at once make one window; a window that does
# not answer in time loses the files to a window of the launch's own. The null sink's monitor
# tells which tone is heard. The real program runs on X11 and then natively on Wayland.
# Usage: e2e_desktop.sh PATH_TO_E2E_DESKTOP BUILD_FOLDER CMAKE
set -euo pipefail
driver=$1
build=$2
cmake=$3
quorvela=$build/src/quorvela
# shellcheck source=tests/scripts/e2e-common.sh
source "$(dirname "$0")/e2e-common.sh"
e2e_require Xvfb xdotool xprop metacity weston dbus-daemon gio pulseaudio pactl parec pacat sox lame
/usr/bin/python3 -c 'import Xlib' 2>/dev/null || { echo "SKIP: python3-xlib is missing"; exit 77; }
[ -x "$quorvela" ] || { echo "FAIL: $quorvela is not built"; exit 1; }
e2e_begin

pulse_server_start e2e || exit 1
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
export QT_QPA_PLATFORM=xcb
x_server_start || exit 1
window_manager_start || exit 1
session_bus_start || exit 1

music=$work/music
mkdir -p "$music"
tone() { # name, frequency
    sox -n -r 44100 -c 2 -b 16 "$work/$1.wav" synth 60 sine "$2" vol 0.5
    lame --quiet -b 128 "$work/$1.wav" "$music/$1.mp3"
}
tone a 440
tone b 660
tone c 880
printf '#EXTM3U\nb.mp3\nc.mp3\n' >"$music/list.m3u"

windows() { xdotool search --onlyvisible --name '^Quorvela$' 2>/dev/null | wc -l; }
# Runs a launch of the real program and expects it to hand its files over and end in time.
expect_hand_over() { # what, command...
    local what=$1 pid status=0
    shift
    "$@" >"$work/launch.log" 2>&1 &
    pid=$!
    pids+=("$pid")
    # A launch that opened a window of its own would run on.
    for _ in $(seq 200); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$pid" 2>/dev/null && fail "$what: the launch still runs after 10 s"
    wait "$pid" || status=$?
    e2e_forget "$pid"
    [ "$status" -eq 0 ] || { cat "$work/launch.log"; fail "$what: the launch ended with $status"; }
    echo "$what: the launch handed its files over and ended"
}

"$driver" "$music" "$work/state" >"$work/driver.log" 2>&1 &
driver_pid=$!
pids+=("$driver_pid")
await_shown serving 1 10
xdotool search --sync --onlyvisible --name '^Quorvela$' >/dev/null
[ "$(windows)" -eq 1 ] || fail "$(windows) windows before the second launch"

# Collects the start-up notices sent to the root window, one message a line.
/usr/bin/python3 - "$work/notices" <<'EOF' &
import sys
from Xlib import X, display
d = display.Display()
d.screen().root.change_attributes(event_mask=X.PropertyChangeMask)
begin, more = d.intern_atom('_NET_STARTUP_INFO_BEGIN'), d.intern_atom('_NET_STARTUP_INFO')
d.sync()
open(sys.argv[1], 'w').close()
pieces = {}
while True:
    e = d.next_event()
    if e.type == X.ClientMessage and e.client_type in (begin, more):
        text = (b'' if e.client_type == begin else pieces.get(e.window.id, b'')) + e.data[1]
        pieces[e.window.id] = text
        if b'\0' in text:
            with open(sys.argv[1], 'ab') as f:
                f.write(text.split(b'\0')[0] + b'\n')
EOF
pids+=($!)
for _ in $(seq 100); do [ -f "$work/notices" ] && break; sleep 0.05; done

# A second launch from the music folder, naming its files relatively as a shell user would,
# from a launcher that shows start-up feedback.
(cd "$music" && DESKTOP_STARTUP_ID=launcher-1_TIME0 expect_hand_over \
    "quorvela a.mp3 list.m3u" "$quorvela" a.mp3 list.m3u)
await_shown entries "$music/a.mp3|$music/b.mp3|$music/c.mp3" 5
await_shown file "$music/a.mp3"
await_shown playing 1
await_shown label1 Playlist
expect_tone "after the second launch" 440
[ "$(windows)" -eq 1 ] || fail "$(windows) windows after the second launch"
grep -qx 'remove: ID=launcher-1_TIME0' "$work/notices" ||
    fail "the start-up notice did not end: $(cat "$work/notices")"
echo "one window, three entries, a.mp3 heard, the start-up notice ended"

# The desktop entry as installed, launched by GLib as a file manager launches it, while the
# window is minimised: the window comes back and plays the file.
"$cmake" --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "the build does not install"; }
entry=$work/prefix/share/applications/io.github.quorvela.Quorvela.desktop
grep -qx 'Exec=quorvela %F' "$entry" || fail "the installed entry does not take files"
window=$(xdotool search --onlyvisible --name '^Quorvela$' | head -n1)
minimised() { xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN; }
xdotool windowminimize --sync "$window"
for _ in $(seq 40); do minimised && break; sleep 0.05; done
minimised || fail "the window would not minimise"
PATH="$work/prefix/bin:$PATH" gio launch "$entry" "$music/c.mp3" >"$work/gio.log" 2>&1 ||
    { cat "$work/gio.log"; fail "gio launch failed"; }
await_shown file "$music/c.mp3" 5
await_shown entries "$music/a.mp3|$music/b.mp3|$music/c.mp3|$music/c.mp3"
expect_tone "after gio launch" 880
# GLib does not say which process it started; its command line names the file.
for _ in $(seq 100); do
    launched=$(pgrep -f "^quorvela $music/c.mp3\$" || true)
    [ -z "$launched" ] && break
    sleep 0.05
done
[ -z "$launched" ] || { pids+=($launched); fail "the program gio launched still runs"; }
[ "$(windows)" -eq 1 ] || fail "$(windows) windows after gio launch"
minimised && fail "the window stayed minimised"
[ "$(shown messages)" = 0 ] || fail "the window showed a message"
echo "gio launch: one window, shown again, c.mp3 heard"

touch "$work/state.quit"
wait "$driver_pid" || fail "the driver ended with $?"
e2e_forget "$driver_pid"

# With no window running, the real program opens its own and plays the file; a later launch
# hands its file to that one.
"$quorvela" "$music/b.mp3" >"$work/first.log" 2>&1 &
first=$!
pids+=("$first")
xdotool search --sync --onlyvisible --name '^Quorvela$' >/dev/null
expect_tone "quorvela b.mp3 with no window running" 660
expect_hand_over "quorvela file://.../a.mp3" "$quorvela" "file://$music/a.mp3"
expect_tone "after handing a.mp3 to it" 440
[ "$(windows)" -eq 1 ] || fail "$(windows) windows with the real program"
# Docks tie a window to its entry by the window's class and the entry's StartupWMClass.
startup=$(sed -n 's/^StartupWMClass=//p' "$entry")
xprop -id "$(xdotool search --onlyvisible --name '^Quorvela$')" WM_CLASS |
    grep -qxF "WM_CLASS(STRING) = \"$startup\", \"$startup\"" || fail "WM_CLASS is not $startup"
echo "WM_CLASS is the entry's StartupWMClass, $startup"

kill "$first"
wait "$first" || true
e2e_forget "$first"

# Runs the driver, given a state file and files, in the background; its PID is $!.
driver() { "$driver" "$music" "$@" >>"$work/drivers.log" 2>&1 & pids+=($!); }
sorted_entries() { shown entries | tr '|' '\n' | sort | paste -sd'|'; }
# Two launches at the same moment, with no window open: one window takes both files.
for round in 1 2 3; do
    rm -f "$work/state" "$work/state.quit"
    driver "$work/state" "$music/a.mp3"
    one=$!
    driver "$work/state" "$music/b.mp3"
    two=$!
    for _ in $(seq 100); do
        [ "$(sorted_entries)" = "$music/a.mp3|$music/b.mp3" ] && break
        sleep 0.1
    done
    [ "$(sorted_entries)" = "$music/a.mp3|$music/b.mp3" ] || fail "round $round: two windows"
    [ "$(windows)" -eq 1 ] || fail "round $round: $(windows) windows"
    touch "$work/state.quit"
    wait "$one" "$two" || fail "round $round: a launch failed"
    e2e_forget "$one"
    e2e_forget "$two"
    echo "launched together, round $round: one window with both files"
done

# A window that does not answer in time is taken for gone: the launch opens its own and takes
# the name, and the first, woken, does not open the file too.
rm -f "$work/state" "$work/state.quit"
driver "$work/state"
stopped=$!
await_shown serving 1 10
kill -STOP "$stopped"
driver "$work/late" "$music/c.mp3"
late=$!
for _ in $(seq 300); do
    grep -qx "entries=$music/c.mp3" "$work/late" 2>/dev/null && break
    sleep 0.1
done
grep -qx "entries=$music/c.mp3" "$work/late" || fail "no window of the launch's own took c.mp3"
kill -CONT "$stopped"
sleep 1
[ "$(shown entries)" = "" ] || fail "the window that woke late opened the file too"
grep -qx "serving=1" "$work/late" || fail "the launch's window did not take the name over"
echo "a window that did not answer: the launch's own window took c.mp3, once"
touch "$work/state.quit" "$work/late.quit"
wait "$stopped" "$late" || true
e2e_forget "$stopped"
e2e_forget "$late"

# Natively on Wayland, under a headless weston: the real program names its window by the id,
# plays its file and takes a later launch's.
weston --backend=headless-backend.so --use-pixman --socket=wayland-e2e --width=1280 \
    --height=1024 --no-config >"$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/wayland-e2e" ] && break; sleep 0.05; done
export WAYLAND_DISPLAY=wayland-e2e QT_QPA_PLATFORM=wayland
WAYLAND_DEBUG=1 "$quorvela" "$music/c.mp3" >"$work/wayland.log" 2>&1 &
pids+=($!)
app_id() { sed -n 's/.*xdg_toplevel@[0-9]*\.set_app_id("\(.*\)").*/\1/p' "$work/wayland.log"; }
for _ in $(seq 100); do [ -n "$(app_id)" ] && break; sleep 0.1; done
[ "$(app_id)" = io.github.quorvela.Quorvela ] || fail "the app_id on Wayland is '$(app_id)'"
expect_tone "on Wayland, quorvela c.mp3 with app_id $(app_id)" 880
expect_hand_over "on Wayland, quorvela b.mp3" "$quorvela" "$music/b.mp3"
expect_tone "on Wayland, after handing b.mp3 to it" 660
echo "PASS"
