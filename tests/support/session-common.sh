# Shared by the desktop session scripts (wayland-session.sh, gnome-session.sh, kwin-session.sh):
# starting processes in the background, recording their ids, and ending them by those ids.
# The sourcing script defines fail() and start_session(), and sets dir while starting.

stop_session() {
    local dir=$1 pid
    [ -f "$dir/pids" ] || { rm -rf "$dir"; return 0; }
    # The bus first: the portals end with it; the compositor takes its clients with it.
    for pid in $(tac "$dir/pids"); do kill "$pid" 2>/dev/null; done
    for pid in $(cat "$dir/pids"); do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
    done
    sleep 0.2
    mountpoint -q "$dir/rt/doc" 2>/dev/null && fusermount3 -u "$dir/rt/doc"
    rm -rf "$dir"
    rmdir "$(dirname "$dir")" 2>/dev/null || true  # the last session of a shared root
}

# Starts `$@` in the background with no terminal and no inherited output (a waiting caller such
# as ctest reads our output to its end), and records its process id.
spawn() {  # spawn LOG COMMAND...
    local log=$1
    shift
    "$@" < /dev/null > "$log" 2>&1 &
    echo $! >> "$dir/pids"
}

wait_for() {  # wait_for TRIES TEST...
    local tries=$1
    shift
    for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.05; done
    return 1
}

# The modes every script has: "start DIR [options]" and "stop DIR". Returns 2 for any other
# mode, for the script to handle or refuse.
start_or_stop() {
    local mode=${1:-}
    shift || true
    case $mode in
    start)
        [ $# -ge 1 ] || fail "start needs a folder"
        trap "stop_session '$1'" EXIT  # a failed start (fail exits) leaves nothing running
        start_session "$@" || exit 1
        trap - EXIT
        ;;
    stop)
        [ $# -ge 1 ] || fail "stop needs a folder"
        stop_session "$1"
        ;;
    *)
        return 2
        ;;
    esac
}
