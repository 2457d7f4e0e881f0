#!/bin/bash
# A private headless KDE Plasma compositor for the tests: KWin's virtual backend as an
# unprivileged user, on a private D-Bus session bus that the user running the tests shares (a
# bus of its own that lets any user in). KWin offers its own screenshot interface
# (org.kde.KWin.ScreenShot2) with its permission check off; no portal runs. Everything started
# is ended by its process id.
#
#   kwin-session.sh start DIR [-o WxH]   set up in DIR (made anew), return when ready
#   kwin-session.sh stop DIR             end what `start DIR` began, remove DIR
#
# DIR/env holds the session's variables, one NAME=value a line. The installed kwin_wayland
# carries a file capability that containers may lack (then it will not start): a copy in DIR
# runs without it. Exits 77 when kwin_wayland is not installed.
set -u

fail() { echo "kwin-session: $*" >&2; exit 1; }

source "$(dirname "$0")/session-common.sh"

start_session() {
    dir=$1
    shift
    local size=1280x720 opt OPTIND=1
    while getopts "o:" opt; do
        case $opt in o) size=$OPTARG ;; *) fail "bad option" ;; esac
    done
    local kwin
    kwin=$(command -v kwin_wayland) || { echo "kwin-session: no kwin_wayland" >&2; exit 77; }

    stop_session "$dir"
    local parent
    parent=$(dirname "$dir")
    [ -d "$parent" ] || mkdir -p -m 711 "$parent" || fail "cannot make $parent"
    mkdir -m 711 "$dir" || fail "cannot make $dir"
    local krt=$dir/kwin-rt rt=$dir/rt home=$dir/home
    mkdir -m 700 "$krt" "$rt" "$home"
    : > "$dir/pids"
    cp "$kwin" "$dir/kwin_wayland" && chmod 755 "$dir/kwin_wayland" || fail "cannot copy kwin"
    local as_kwin=()
    if [ "$(id -u)" = 0 ]; then
        chown 65534:65534 "$krt" "$home"
        as_kwin=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    fi

    # The bus of the test user, open to KWin's user too.
    cat > "$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$dir/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    spawn "$dir/dbus.log" dbus-daemon --config-file="$dir/bus.conf" --nofork
    wait_for 100 test -S "$dir/bus" || fail "dbus-daemon did not start"
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/bus

    spawn "$dir/kwin.log" env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$krt" \
        DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 \
        QT_QPA_PLATFORM=offscreen XDG_CURRENT_DESKTOP=KDE \
        "${as_kwin[@]}" "$dir/kwin_wayland" --virtual --width "${size%x*}" --height "${size#*x}" \
        --socket wayland-kwin
    local kwin_pid
    kwin_pid=$(tail -1 "$dir/pids")
    kwin_ready() {  # its screenshot interface answers, or it ended (no point in waiting)
        gdbus call --session --timeout 1 --dest org.kde.KWin --object-path /org/kde/KWin/ScreenShot2 \
            --method org.freedesktop.DBus.Properties.Get org.kde.KWin.ScreenShot2 Version \
            > /dev/null 2>&1 && return 0
        ! kill -0 "$kwin_pid" 2> /dev/null
    }
    wait_for 200 kwin_ready
    kill -0 "$kwin_pid" 2>/dev/null || { tail -5 "$dir/kwin.log" >&2; fail "kwin did not start"; }
    kwin_ready || fail "kwin offers no ScreenShot2 (see $dir/kwin.log)"
    ln -s "$krt/wayland-kwin" "$rt/wayland-kwin"

    {
        echo "WAYLAND_DISPLAY=wayland-kwin"
        echo "XDG_RUNTIME_DIR=$rt"
        echo "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"
        echo "XDG_CURRENT_DESKTOP=KDE"
        echo "XDG_SESSION_TYPE=wayland"
    } > "$dir/env"
}

start_or_stop "$@" || fail "usage: $0 start DIR [-o WxH] | stop DIR"
