#!/bin/bash
# A private headless Wayland session for the tests: sway (wlroots headless backend, pixman
# renderer) as an unprivileged user, PipeWire, and a private D-Bus session bus on which
# xdg-desktop-portal offers Screenshot through xdg-desktop-portal-wlr (-gtk gives it the Access
# part it insists on). Everything started is ended by its process id.
#
#   wayland-session.sh start DIR [-o WxH]... [-x]   set up in DIR (made anew), return when ready
#   wayland-session.sh stop DIR                      end what `start DIR` began, remove DIR
#   wayland-session.sh run [-o WxH]... [-x] -- COMMAND...   start, run COMMAND inside, stop
#
# -o: one output per -o, left to right (default one 1280x720); -x: Xwayland too (DISPLAY).
# DIR/env holds the session's variables, one NAME=value a line: WAYLAND_DISPLAY XDG_RUNTIME_DIR
# SWAYSOCK DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP XDG_SESSION_TYPE [DISPLAY].
# The background is #336699. xdg-desktop-portal-wlr always writes /tmp/out.png: one session's
# shots at a time.
set -u

fail() { echo "wayland-session: $*" >&2; exit 1; }

source "$(dirname "$0")/session-common.sh"

start_session() {
    dir=$1
    shift
    local outputs=() xwayland=0 opt OPTIND=1
    while getopts "o:x" opt; do
        case $opt in o) outputs+=("$OPTARG") ;; x) xwayland=1 ;; *) fail "bad option" ;; esac
    done
    [ ${#outputs[@]} -gt 0 ] || outputs=(1280x720)

    stop_session "$dir"
    # sway's user must reach the folder: a parent made here is open to pass through.
    local parent
    parent=$(dirname "$dir")
    [ -d "$parent" ] || mkdir -p -m 711 "$parent" || fail "cannot make $parent"
    mkdir -m 711 "$dir" || fail "cannot make $dir"
    local srt=$dir/sway-rt rt=$dir/rt home=$dir/home
    mkdir -m 700 "$srt" "$rt" "$home"
    : > "$dir/pids"
    # sway will not run as root: then it runs as nobody, in a runtime folder of its own.
    local as_sway=()
    if [ "$(id -u)" = 0 ]; then
        chown 65534:65534 "$srt" "$home"
        as_sway=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    fi
    cat > "$dir/sway.conf" <<CONF
xwayland $([ $xwayland = 1 ] && echo enable || echo disable)
default_border normal 2
focus_on_window_activation focus
output HEADLESS-1 resolution ${outputs[0]} position 0 0 bg #336699 solid_color
CONF
    spawn "$dir/sway.log" env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$srt" \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        "${as_sway[@]}" sway -c "$dir/sway.conf"
    local sway_pid
    sway_pid=$(tail -1 "$dir/pids")
    sway_ready() {  # its sockets are there, or it ended (no point in waiting)
        if ls "$srt"/sway-ipc.*.sock "$srt"/wayland-? > /dev/null 2>&1; then return 0; fi
        ! kill -0 "$sway_pid" 2> /dev/null
    }
    wait_for 200 sway_ready
    kill -0 "$sway_pid" 2>/dev/null || { tail -5 "$dir/sway.log" >&2; fail "sway did not start"; }
    local sock display_name
    sock=$(ls "$srt"/sway-ipc.*.sock | head -1)
    display_name=$(basename "$(ls "$srt"/wayland-? | head -1)")
    ln -s "$srt/$display_name" "$rt/$display_name"   # the display in our own runtime folder
    export SWAYSOCK=$sock
    local x=${outputs[0]%x*} i
    for ((i = 1; i < ${#outputs[@]}; i++)); do
        swaymsg -q create_output &&
            swaymsg -q output "HEADLESS-$((i + 1))" resolution "${outputs[$i]}" position "$x" 0 \
                bg '#336699' solid_color || fail "no output $((i + 1))"
        x=$((x + ${outputs[$i]%x*}))
    done

    export XDG_RUNTIME_DIR=$rt WAYLAND_DISPLAY=$display_name XDG_CURRENT_DESKTOP=sway \
        XDG_SESSION_TYPE=wayland HOME=$home NO_AT_BRIDGE=1 GTK_A11Y=none
    unset DISPLAY DBUS_SESSION_BUS_ADDRESS
    if [ $xwayland = 1 ]; then
        # The DISPLAY that sway gives its children; Xwayland lets only sway's user in unless told.
        swaymsg -q exec "printf %s \"\$DISPLAY\" > $srt/display"
        wait_for 100 test -s "$srt/display" || fail "Xwayland did not start"
        export DISPLAY
        DISPLAY=$(cat "$srt/display")
        if [ ${#as_sway[@]} -gt 0 ]; then
            "${as_sway[@]}" env HOME="$home" DISPLAY="$DISPLAY" xhost +si:localuser:root > /dev/null ||
                fail "xhost failed"
        fi
    fi
    # xdg-desktop-portal-wlr ends at start when PipeWire is missing.
    spawn "$dir/pipewire.log" pipewire
    wait_for 100 test -S "$rt/pipewire-0" || fail "pipewire did not start"

    # The bus passes this environment to the portals it starts.
    spawn "$dir/dbus.log" dbus-daemon --session --nofork --print-address=3 3> "$dir/bus.addr"
    wait_for 100 test -s "$dir/bus.addr" || fail "dbus-daemon did not start"
    export DBUS_SESSION_BUS_ADDRESS
    DBUS_SESSION_BUS_ADDRESS=$(head -1 "$dir/bus.addr")
    # -wlr can miss a message that comes while it starts (then xdg-desktop-portal waits 25 s and
    # offers no Screenshot): start it alone and wait until it answers.
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.StartServiceByName org.freedesktop.impl.portal.desktop.wlr 0 \
        > /dev/null || fail "xdg-desktop-portal-wlr did not start (see $dir/dbus.log)"
    local ok=0
    for _ in 1 2 3 4 5; do
        gdbus call --session --timeout 1 --dest org.freedesktop.impl.portal.desktop.wlr \
            --object-path /org/freedesktop/portal/desktop --method org.freedesktop.DBus.Peer.Ping \
            > /dev/null 2>&1 && { ok=1; break; }
    done
    [ $ok = 1 ] || fail "xdg-desktop-portal-wlr does not answer"
    ok=0
    for _ in 1 2 3; do
        timeout 10 gdbus introspect --session --dest org.freedesktop.portal.Desktop \
            --object-path /org/freedesktop/portal/desktop 2> /dev/null |
            grep -q "interface org.freedesktop.portal.Screenshot" && { ok=1; break; }
        sleep 0.2
    done
    [ $ok = 1 ] || fail "the portal offers no Screenshot (see $dir/dbus.log)"

    {
        for name in WAYLAND_DISPLAY XDG_RUNTIME_DIR SWAYSOCK DBUS_SESSION_BUS_ADDRESS \
            XDG_CURRENT_DESKTOP XDG_SESSION_TYPE; do
            echo "$name=${!name}"
        done
        if [ $xwayland = 1 ]; then echo "DISPLAY=$DISPLAY"; fi
    } > "$dir/env"
}

mode=${1:-}
shift || true
case $mode in
run)
    args=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do args+=("$1"); shift; done
    [ "${1:-}" = "--" ] && shift
    [ $# -gt 0 ] || fail "run needs a command"
    root=$(mktemp -d /tmp/quiblo-wayland.XXXXXX)
    chmod 711 "$root"
    session=$root/session
    trap 'stop_session "$session"' EXIT
    trap 'exit 1' INT TERM
    ( start_session "$session" "${args[@]}" ) || exit 1
    set -a
    # shellcheck disable=SC1091
    . "$session/env"
    set +a
    "$@"
    ;;
*)
    start_or_stop "$mode" "$@" ||
        fail "usage: $0 start DIR [-o WxH]... [-x] | stop DIR | run [-o WxH]... [-x] -- COMMAND"
    ;;
esac
