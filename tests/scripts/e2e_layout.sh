#!/usr/bin/env bash
# Runs the layout driver on a private X server twice: with no window manager, then under
# metacity, which draws a title bar taller than the frame the layout was designed in.
# Usage: e2e_layout.sh PATH_TO_E2E_LAYOUT [SHOT_FOLDER]
set -euo pipefail
driver=$1
shots=${2:-}
# shellcheck source=tests/scripts/e2e-common.sh
source "$(dirname "$0")/e2e-common.sh"
e2e_require Xvfb metacity xprop
e2e_begin

export HOME=$work/home XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
export QT_QPA_PLATFORM=xcb

x_server_start || exit 1

run_driver() { # --frame | --no-frame, picture folder
    local args=("$1")
    if [[ -n "$shots" ]]; then
        mkdir -p "$shots/$2"
        args+=("$shots/$2")
    fi
    "$driver" "${args[@]}" &
    local pid=$!
    pids+=("$pid")
    wait "$pid"
}

echo "== no window manager"
run_driver --no-frame bare

metacity --replace >"$work/metacity.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
    cat "$work/metacity.log"
    echo "FAIL: the window manager did not start"
    exit 1
fi
echo "== metacity"
run_driver --frame metacity
echo "PASS"
