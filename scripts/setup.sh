#!/bin/bash
# Installs what Quiblo needs to build, run and test on Debian 12 (as root, or through sudo).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n
    libcurl4-openssl-dev libdeflate-dev libpng-dev zlib1g-dev libimagequant-dev
    libxcb1-dev libxcb-shm0-dev libxkbcommon-x11-0 libxcb-cursor0 libgl-dev
    libgtest-dev googletest
    xvfb xauth x11-utils fonts-ipafont-gothic
    desktop-base
    python3 python3-pyftpdlib curl
    desktop-file-utils appstream dpkg-dev file xdotool openbox
    qt6-wayland sway xwayland x11-xserver-utils pipewire dbus libglib2.0-bin
    xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk grim
    gnome-shell mutter xdg-desktop-portal-gnome
    clang libclang-rt-14-dev libdbus-1-dev
    libxcb-randr0-dev
    kwin-wayland
    libwayland-dev xclip wl-clipboard gnome-settings-daemon-common dconf-service
    python3-openssl openssl systemd xfconf libxfconf-0-3 libkf5globalaccel-bin
    postgresql-15 python3-psycopg pyflakes3
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
# Another apt or dpkg at work (an unattended upgrade, say) is waited for, up to five minutes.
lock_wait=(-o DPkg::Lock::Timeout=300)
$sudo apt-get "${lock_wait[@]}" update
$sudo env DEBIAN_FRONTEND=noninteractive apt-get "${lock_wait[@]}" install -y --no-install-recommends "${missing[@]}"
