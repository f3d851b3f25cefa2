# shellcheck shell=bash
# Sourced by end-to-end scripts: the scratch folder, stopping what a test started, and a
# private sound server with a null sink, reachable only through the environment set here:
# PulseAudio, or with E2E_SOUND_SERVER=pipewire the server of today's desktops, PipeWire with
# WirePlumber and pipewire-pulse.

# Exits with CTest's skip code unless every named tool is installed.
e2e_require() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed"
            exit 77
        fi
    done
}

# Makes the scratch folder $work and the array pids; every process whose PID goes into pids is
# stopped, and the folder removed, when the script ends for any reason.
e2e_begin() {
    work=$(mktemp -d)
    pids=()
    trap e2e_cleanup EXIT
    trap 'exit 143' TERM INT HUP
}

# Takes a PID out of pids once its process has been waited for, so it is never signalled again.
e2e_forget() {
    local pid kept=()
    for pid in "${pids[@]}"; do [ "$pid" = "$1" ] || kept+=("$pid"); done
    pids=("${kept[@]}")
}

e2e_cleanup() {
    local pid f
    # Processes started by helper scripts of a test tell their PIDs through files.
    for f in "$work"/*.pid; do
        [[ -f $f ]] && pids+=("$(cat "$f")")
    done
    # A process a test left standing still (SIGSTOP) would not act on SIGTERM.
    for pid in "${pids[@]}"; do kill -CONT "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}

# Waits until the sink named $1 runs with a short latency.
pulse_wait_for_sink() {
    local latency
    for _ in $(seq 100); do
        latency=$(pactl list sinks | awk -v n="Name: $1" '$0 ~ n"$" {on = 1}
            on && /Latency:/ {print $2; exit}')
        [[ -n "$latency" && "$latency" -lt 200000 ]] && return 0
        sleep 0.1
    done
}

# Starts the server and a sink named $1 as the default, with the late start of a fresh null
# sink cured; the sink's module number is left in pulse_sink_module, and the PID of the
# process that answers libpulse (pulseaudio, or pipewire-pulse) in sound_server_pid. Returns
# non-zero (after printing the server's log) when the server never answers.
pulse_server_start() {
    local sink=$1
    export HOME=$work/home XDG_RUNTIME_DIR=$work/run PULSE_CLIENTCONFIG=$work/client.conf
    unset PULSE_SERVER PULSE_SINK PULSE_SOURCE QUORVELA_AUDIO_OUTPUT
    mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    echo "autospawn = no" >"$PULSE_CLIENTCONFIG"

    if [[ ${E2E_SOUND_SERVER:-pulseaudio} == pipewire ]]; then
        # WirePlumber links streams to sinks only with a session bus; this one is theirs alone.
        dbus-daemon --session --nofork --address="unix:path=$work/pipewire-bus" \
            >"$work/pipewire-bus.log" 2>&1 &
        pids+=($!)
        for _ in $(seq 100); do
            [[ -S $work/pipewire-bus ]] && break
            sleep 0.05
        done
        local bus=unix:path=$work/pipewire-bus
        DBUS_SESSION_BUS_ADDRESS=$bus pipewire >"$work/pipewire.log" 2>&1 &
        pids+=($!)
        for _ in $(seq 100); do
            [[ -S $XDG_RUNTIME_DIR/pipewire-0 ]] && break
            sleep 0.05
        done
        DBUS_SESSION_BUS_ADDRESS=$bus wireplumber >"$work/wireplumber.log" 2>&1 &
        pids+=($!)
        DBUS_SESSION_BUS_ADDRESS=$bus pipewire-pulse >"$work/pulseaudio.log" 2>&1 &
        pids+=($!)
    else
        pulseaudio --daemonize=no --exit-idle-time=-1 >"$work/pulseaudio.log" 2>&1 &
        pids+=($!)
    fi
    sound_server_pid=${pids[-1]}
    for _ in $(seq 100); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.1
    done
    if ! pactl info >/dev/null 2>&1; then
        cat "$work/pulseaudio.log"
        echo "FAIL: the sound server did not start"
        return 1
    fi
    pactl info | grep '^Server Name'
    pulse_sink=$sink
    pulse_sink_module=$(pactl load-module module-null-sink sink_name="$sink")
    pactl set-default-sink "$sink"

    # A fresh null sink starts streams late; a silent stream with a short latency cures that.
    pacat --latency-msec=20 /dev/zero &
    pids+=($!)
    pulse_wait_for_sink "$sink"
}

# Has the server drop the stream of the sink input numbered $1, as it does when a device goes
# for good: pacmd on PulseAudio, the stream's own node on PipeWire.
pulse_kill_stream() {
    if [[ ${E2E_SOUND_SERVER:-pulseaudio} == pipewire ]]; then
        local node
        node=$(pactl list sink-inputs | awk -v n="Sink Input #$1" '$0 == n {on = 1; next}
            /^Sink Input #/ {on = 0} on && /object.id = / {gsub(/"/, "", $3); print $3; exit}')
        pw-cli destroy "$node" >/dev/null
    else
        pacmd kill-sink-input "$1"
    fi
}

# Starts a private X server and exports its DISPLAY. Returns non-zero (after printing its log)
# when it never answers.
x_server_start() {
    unset WAYLAND_DISPLAY
    # Xvfb picks a free display number and writes it to the pipe.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    pids+=($!)
    for _ in $(seq 100); do
        [[ -s "$work/display" ]] && break
        sleep 0.1
    done
    if [[ ! -s "$work/display" ]]; then
        cat "$work/xvfb.log"
        echo "FAIL: the X server did not start"
        return 1
    fi
    export DISPLAY=":$(head -n1 "$work/display")"
}

# Starts metacity on $DISPLAY and waits until it manages the screen.
window_manager_start() {
    metacity --replace >"$work/metacity.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    cat "$work/metacity.log"
    echo "FAIL: the window manager did not start"
    return 1
}

# Starts a session bus of our own, so that nothing on the desktop's bus sees the test, nor the
# test it, and exports its address.
session_bus_start() {
    dbus-daemon --session --nofork --address="unix:path=$work/bus" --print-address \
        >"$work/bus.address" 2>"$work/dbus.log" &
    pids+=($!)
    for _ in $(seq 100); do
        [ -s "$work/bus.address" ] && break
        sleep 0.05
    done
    if [ ! -s "$work/bus.address" ]; then
        cat "$work/dbus.log"
        echo "FAIL: the session bus did not start"
        return 1
    fi
    DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus.address")
    export DBUS_SESSION_BUS_ADDRESS
}

# Says what went wrong, with what the window last showed if a driver wrote it, and ends the
# script.
fail() {
    echo "FAIL: $*"
    [ -f "$work/state" ] && { echo "-- the window showed:"; cat "$work/state"; }
    exit 1
}

# What the window last showed for the key $1, from the file $work/state that a test's driver
# keeps writing as key=value lines.
shown() { sed -n "s/^$1=//p" "$work/state" 2>/dev/null; }

# Waits up to $3 seconds (default 3) for the window to show $2 for the key $1.
await_shown() {
    for _ in $(seq $((${3:-3} * 20))); do
        [ "$(shown "$1")" = "$2" ] && return 0
        sleep 0.05
    done
    fail "$1 shows '$(shown "$1")', expected '$2'"
}

# Records the sink pulse_server_start made for a second; sox's figures for one channel go to
# $heard, and figure NAME reads one of them.
listen() {
    local raw=$work/rec.raw pid
    parec --raw --device="$pulse_sink.monitor" --format=s16le --rate=48000 --channels=2 >"$raw" &
    pid=$!
    pids+=("$pid")
    sleep 1
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    e2e_forget "$pid"
    heard=$(sox -t raw -r 48000 -e signed -b 16 -c 2 "$raw" -n remix 1 stat 2>&1)
}
figure() { awk -F: -v k="$1" '$1 ~ k {gsub(/ /, "", $2); print $2}' <<<"$heard"; }

# Expects a loud tone of $2 Hz (default 440), within 2 %, on the sink; $1 says when.
expect_tone() {
    local rms frequency want=${2:-440}
    listen
    rms=$(figure 'RMS[[:space:]]+amplitude')
    frequency=$(figure 'Rough[[:space:]]+frequency')
    echo "$1: RMS ${rms:-?}, ${frequency:-?} Hz"
    awk -v r="${rms:-0}" -v f="${frequency:-0}" -v want="$want" \
        'BEGIN { exit (r > 0.2 && f > want * 0.98 && f < want * 1.02) ? 0 : 1 }' ||
        fail "$1: no $want Hz tone on the sink"
}
