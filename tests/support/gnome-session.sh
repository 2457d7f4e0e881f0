#!/bin/bash
# A private headless GNOME Shell session for the tests: mutter's headless backend (software
# rendering), private "system" and session D-Bus buses, and xdg-desktop-portal with -gnome and
# GNOME Shell's own Access dialog. Everything started is ended by its process id.
#
#   gnome-session.sh start DIR [-o WxH] [-a]   set up in DIR (made anew), return when ready
#   gnome-session.sh stop DIR             end what `start DIR` began, remove DIR
#
# DIR/env holds the session's variables, one NAME=value a line. Screenshots are allowed for
# programs without an application id (the answer a user gives GNOME's question once); with -a
# the question is left to be asked.
set -u

fail() { echo "gnome-session: $*" >&2; exit 1; }

source "$(dirname "$0")/session-common.sh"

start_bus() {  # start_bus NAME: a dbus-daemon; prints its address
    spawn "$dir/$1.log" dbus-daemon --session --nofork --print-address=3 3> "$dir/$1.addr"
    for _ in $(seq 100); do [ -s "$dir/$1.addr" ] && break; sleep 0.05; done
    head -1 "$dir/$1.addr"
}

shell_call() {  # shell_call METHOD ARGS...: a property call on org.gnome.Shell
    gdbus call --session --timeout 2 --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method "org.freedesktop.DBus.Properties.$1" org.gnome.Shell "${@:2}" 2> /dev/null
}

start_session() {
    dir=$1
    shift
    local size=1280x720 ask=0 opt OPTIND=1
    while getopts "o:a" opt; do
        case $opt in o) size=$OPTARG ;; a) ask=1 ;; *) fail "bad option" ;; esac
    done
    stop_session "$dir"
    mkdir -p "$dir" || fail "cannot make $dir"
    mkdir -m 700 "$dir/rt" "$dir/home"
    : > "$dir/pids"
    local name=quiblo-gnome-$$
    export XDG_RUNTIME_DIR=$dir/rt HOME=$dir/home XDG_SESSION_TYPE=wayland \
        XDG_CURRENT_DESKTOP=GNOME NO_AT_BRIDGE=1 GTK_A11Y=none
    unset DISPLAY WAYLAND_DISPLAY
    # With /run/systemd/seats present the shell wants a system bus (logind): a private one.
    export DBUS_SYSTEM_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS
    DBUS_SYSTEM_BUS_ADDRESS=$(start_bus system)
    # The session bus hands its environment to the portals it starts: the display name too.
    DBUS_SESSION_BUS_ADDRESS=$(WAYLAND_DISPLAY=$name start_bus session)
    [ -n "$DBUS_SYSTEM_BUS_ADDRESS" ] && [ -n "$DBUS_SESSION_BUS_ADDRESS" ] ||
        fail "dbus-daemon did not start"
    # No notification banners over the top of the screen.
    gsettings set org.gnome.desktop.notifications show-banners false
    # Unsafe mode opens the shell's window list (org.gnome.Shell.Introspect) to the tests, so that
    # they press a key only once a box has the focus. The program never calls the shell itself.
    spawn "$dir/shell.log" gnome-shell --unsafe-mode --headless --wayland --no-x11 \
        --virtual-monitor "$size" \
        --wayland-display "$name"
    local ok=0
    for _ in $(seq 300); do
        shell_call Get ShellVersion > /dev/null && { ok=1; break; }
        sleep 0.1
    done
    [ $ok = 1 ] || { tail -5 "$dir/shell.log" >&2; fail "gnome-shell did not start"; }
    for _ in $(seq 100); do
        gdbus introspect --session --dest org.gnome.Shell.Screenshot \
            --object-path /org/gnome/Shell/Screenshot 2> /dev/null |
            grep -q "interface org.gnome.Shell.Screenshot" && break
        sleep 0.1
    done
    # The shell starts in the overview; leave it once it shows (earlier, the request is lost).
    for _ in $(seq 50); do shell_call Get OverviewActive | grep -q true && break; sleep 0.1; done
    for _ in $(seq 50); do
        shell_call Get OverviewActive | grep -q false && break
        shell_call Set OverviewActive '<false>' > /dev/null
        sleep 0.2
    done
    ok=0
    for _ in 1 2 3; do
        timeout 10 gdbus introspect --session --dest org.freedesktop.portal.Desktop \
            --object-path /org/freedesktop/portal/desktop 2> /dev/null |
            grep -q "interface org.freedesktop.portal.Screenshot" && { ok=1; break; }
        sleep 0.3
    done
    [ $ok = 1 ] || fail "the portal offers no Screenshot (see $dir/session.log)"
    if [ $ask = 0 ]; then
        gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore \
            --object-path /org/freedesktop/impl/portal/PermissionStore \
            --method org.freedesktop.impl.portal.PermissionStore.SetPermission \
            screenshot true screenshot '' "['yes']" > /dev/null || fail "no permission store"
    fi
    {
        echo "WAYLAND_DISPLAY=$name"
        for var in XDG_RUNTIME_DIR HOME DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS \
            XDG_CURRENT_DESKTOP XDG_SESSION_TYPE; do
            echo "$var=${!var}"
        done
    } > "$dir/env"
}

start_or_stop "$@" || fail "usage: $0 start DIR [-o WxH] | stop DIR"
