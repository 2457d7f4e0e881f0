#!/bin/bash
# Installs what Quiblo needs on Debian 12 (as root, or through sudo): to build and run the
# program and its reference service, and with --tests what the tests need as well.
set -euo pipefail

# Building and running the program and its reference service.
program=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-wayland
    qt6-translations-l10n qt6-l10n-tools qt6-tools-dev
    libcurl4-openssl-dev libdeflate-dev zlib1g-dev libimagequant-dev
    libxcb1-dev libxcb-shm0-dev libxcb-randr0-dev libxkbcommon-x11-0 libxcb-cursor0 libgl-dev
    libwayland-dev fonts-ipafont-gothic
    python3 python3-pyftpdlib python3-pil python3-aiohttp python3-jinja2 python3-babel python3-cryptography
)
# The tests besides: googletest, an X server and the tools that drive windows, the Wayland
# desktops and their portals, the key stores of the desktops, PostgreSQL, clang for the
# sanitizers and the fuzzers, a faster linker, the service's TLS and its checks, and the package
# tools.
tests=(
    libgtest-dev googletest libpng-dev git curl
    xvfb xauth x11-utils desktop-base xdotool openbox x11-xserver-utils xclip
    qt6-wayland sway xwayland pipewire dbus libglib2.0-bin wl-clipboard grim
    xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk
    gnome-shell mutter xdg-desktop-portal-gnome gnome-settings-daemon-common dconf-service
    kwin-wayland xfconf libxfconf-0-3 libkf5globalaccel-bin
    clang libclang-rt-14-dev libdbus-1-dev mold
    desktop-file-utils appstream dpkg-dev file systemd
    python3-openssl openssl postgresql-15 python3-psycopg pyflakes3 nodejs nginx-light
    chromium chromium-driver python3-selenium
)
packages=("${program[@]}")
if [ "${1:-}" = "--tests" ]; then
    packages+=("${tests[@]}")
fi

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
