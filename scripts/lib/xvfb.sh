# A private X server for checks and screenshots, of the given screen size
# (1024x768 unless told). Sets DISPLAY and xvfb_pid.
start_xvfb() { # [WIDTHxHEIGHT]
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    # Xvfb reports every display number it finds taken; only the result matters.
    # Without -noreset the server resets whenever its last client leaves, and
    # refuses a client that connects meanwhile: on a busy machine 1 to 4 % of
    # connections made right after another client left.
    Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
    xvfb_pid=$!
    local number
    read -r number <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number"
}

stop_xvfb() {
    [[ -n "${xvfb_pid:-}" ]] && kill "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
}

# Prints the id of the first shown (mapped) top-level window with this name,
# waiting up to thirty seconds for it (a loaded machine is slow to start Qt).
# Qt also makes an unmapped 1x1 window of the same name, which can neither
# take focus nor be grabbed. Given the id of the process that should show
# it, stops waiting once that process has ended (status 2).
wait_for_window() {
    local name=$1 pid=${2:-} id
    for _ in $(seq 300); do
        for id in $(xwininfo -root -children 2>/dev/null | awk -v n="\"$name\":" '$2 == n { print $1 }'); do
            xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && { echo "$id"; return 0; }
        done
        if [[ -n $pid ]] && ! kill -0 "$pid" 2>/dev/null; then
            echo "the process ended before a window named $name appeared" >&2
            return 2
        fi
        sleep 0.1
    done
    echo "no window named $name appeared" >&2
    return 1
}
