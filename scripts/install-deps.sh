#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test Quorvela, if any are missing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev libmpg123-dev libpulse-dev libxcb1-dev
    xvfb xauth xdotool x11-apps x11-utils imagemagick metacity
    pulseaudio pulseaudio-utils pipewire pipewire-bin wireplumber pipewire-pulse
    lame sox libsox-fmt-mp3 mpg123 dbus-daemon playerctl python3-xlib
    libglib2.0-bin weston qt6-wayland
    clang libclang-rt-14-dev clang-tidy clang-format
    desktop-file-utils appstream file dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
