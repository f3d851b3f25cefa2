# Sourced by end-to-end scripts: a private PulseAudio server with a null sink, reachable only
# through the environment this sets. The caller defines $work (a scratch folder) and the
# array pids, whose processes its EXIT trap stops.

# Starts the server and a sink named $1 as the default, with the late start of a fresh null
# sink cured. Returns non-zero (after printing the server's log) when the server never answers.
pulse_server_start() {
    local sink=$1 latency
    export HOME=$work/home XDG_RUNTIME_DIR=$work/run PULSE_CLIENTCONFIG=$work/client.conf
    unset PULSE_SERVER PULSE_SINK PULSE_SOURCE QUORVELA_AUDIO_OUTPUT
    mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
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
        return 1
    fi
    pactl load-module module-null-sink sink_name="$sink" >/dev/null
    pactl set-default-sink "$sink"

    # A fresh null sink starts streams late; a silent stream with a short latency cures that.
    pacat --latency-msec=20 /dev/zero &
    pids+=($!)
    for _ in $(seq 100); do
        latency=$(pactl list sinks | sed -n 's/^[[:space:]]*Latency: \([0-9]*\) usec.*/\1/p' | head -n1)
        [[ -n "$latency" && "$latency" -lt 200000 ]] && break
        sleep 0.1
    done
    return 0
}
