#!/usr/bin/env bash
# The window against its surroundings: a display that dies or never
# answers, a window destroyed by another client, too few file descriptors,
# a tight address space and huge window sizes, no runtime directory, no
# session bus, no HOME. Each case must end with the program's own report or
# a clean close, or keep running where that is the sound outcome: never a
# signal, an abort or a hang, never a process or a file left behind. Needs
# Xvfb, xdotool, xwininfo and python3.
#
# usage: run-window-limits.sh PROGRAM
set -u
source "$(dirname "$0")/arguments.sh"
source "$(dirname "$0")/../../scripts/lib/xvfb.sh"

passed=0
failed=0
work=$(mktemp -d)
chmod 755 "$work"
printf '2\n5,1,7,0\n5,2,7,0\n' >"$work/Data.txt"
chmod 644 "$work/Data.txt"
app=
servers=()
cleanup() {
    [[ -n $app ]] && kill -9 "$app" 2>/dev/null
    [[ ${#servers[@]} -gt 0 ]] && kill "${servers[@]}" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

pass() { passed=$((passed + 1)); echo "ok $1"; }
fail() { failed=$((failed + 1)); echo "FAILED $1: ${*:2}"; }

# A private X server of the given screen size (start_xvfb: DISPLAY and
# xvfb_pid), stopped with the others when the check ends.
own_server() { # WIDTHxHEIGHT
    start_xvfb "$1"
    servers+=("$xvfb_pid")
}

# Starts the program in $work with a limit set by the shell, standard error
# to $work/stderr; app is its id. Waits for its window unless told not to.
start() { # LIMIT-COMMAND [no-wait]
    (cd "$work" && exec 2>"$work/stderr" && eval "$1" && exec env QT_QPA_PLATFORM=xcb "$program") &
    app=$!
    [[ ${2:-} == no-wait ]] && return 0
    wait_for_window Quorvale "$app" >/dev/null 2>&1
}

# Waits up to $2 seconds for the program to end; sets status to its exit
# status, or to "running".
ended() { # PID SECONDS
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        if ! kill -0 "$1" 2>/dev/null; then
            status=0
            wait "$1" || status=$?
            app=
            return
        fi
        sleep 0.1
    done
    status=running
}

# The one line on standard error matches the pattern.
one_report() { # PATTERN
    [[ $(wc -l <"$work/stderr") -eq 1 ]] && grep -qxE -- "$1" "$work/stderr"
}

# Passes the case when the program ended with this status and one report
# matching the pattern.
check_end() { # NAME STATUS PATTERN
    if [[ $status == "$2" ]] && one_report "$3"; then
        pass "$1: status $status, $(cat "$work/stderr")"
    else
        fail "$1" "status $status, stderr: $(head -c 300 "$work/stderr")"
    fi
}

stop_app() {
    [[ -z $app ]] && return
    kill -9 "$app" 2>/dev/null
    wait "$app" 2>/dev/null
    app=
}

# The display dies under the open window.
own_server 1024x768
if start true; then
    kill -9 "$xvfb_pid"
    ended "$app" 10
    check_end "display dies" 1 'quorvale: lost the connection to the display: .+'
else
    fail "display dies" "no window"
fi
app=

# Another client destroys the window: a close, status 0.
own_server 1024x768
if start true; then
    id=$(wait_for_window Quorvale "$app")
    xdotool windowclose "$id" 2>/dev/null
    ended "$app" 10
    if [[ $status == 0 ]]; then
        pass "window destroyed from outside: status 0"
    else
        fail "window destroyed from outside" "status $status, stderr: $(head -c 300 "$work/stderr")"
    fi
else
    fail "window destroyed from outside" "no window"
fi
stop_app

# Too few file descriptors: the program's report or a running window; a
# modest limit leaves room for the window.
start "ulimit -n 20" no-wait
ended "$app" 3
[[ $status == running ]] && pass "open-file limit 20: runs" ||
    fail "open-file limit 20" "status $status, stderr: $(head -c 300 "$work/stderr")"
stop_app
for limit in 4 5 6 8 12; do
    start "ulimit -n $limit" no-wait
    ended "$app" 10
    if [[ $status == running ]]; then
        pass "open-file limit $limit: runs"
    else
        check_end "open-file limit $limit" 1 'quorvale: .*([Tt]oo many open files|file descriptors).*'
    fi
    stop_app
done

# Window sizes beyond the screen: capped, so painting stays affordable.
own_server 3840x2160
for size in "3840 2160" "32767 32767"; do
    if start "ulimit -v 262144"; then
        id=$(wait_for_window Quorvale "$app")
        xdotool windowsize "$id" $size 2>/dev/null
        sleep 2
        ended "$app" 1
        read -r width height < <(xwininfo -id "$id" 2>/dev/null |
            awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
        if [[ $status == running && ${width:-0} -le 3840 && ${height:-0} -le 2160 ]] &&
            xdotool getwindowname "$id" >/dev/null 2>&1; then
            pass "window resized to ${size/ /x} under 256 MB: runs at ${width}x$height"
        elif [[ $status == 1 ]] && one_report 'quorvale: .+'; then
            pass "window resized to ${size/ /x} under 256 MB: status 1, $(cat "$work/stderr")"
        else
            fail "window resized to ${size/ /x}" "status $status, size ${width:-?}x${height:-?}, stderr: $(head -c 300 "$work/stderr")"
        fi
    else
        fail "window resized to ${size/ /x}" "no window under 256 MB"
    fi
    stop_app
done

# No runtime directory, as an ordinary user with a private home folder (as
# Debian makes them): nothing is created.
own_server 1024x768
user=nobody
if id "$user" >/dev/null 2>&1 && command -v setpriv >/dev/null; then
    uid=$(id -u "$user")
    # A copy that the user can run, wherever the build lies.
    mkdir -m 755 "$work/bin"
    cp "$program" "$(dirname "$program")/libquorvale-window.so" "$work/bin/"
    chmod 755 "$work/bin/"*
    # Qt's own runtime folder would go into TMPDIR: the user's own, watched
    # alone, so that no other work on the machine can touch it.
    mkdir -m 700 "$work/home" "$work/tmp"
    chown "$uid" "$work/home" "$work/tmp"
    (cd "$work" && exec setpriv --reuid="$uid" --regid="$(id -g "$user")" --clear-groups \
        env -u XDG_RUNTIME_DIR HOME="$work/home" TMPDIR="$work/tmp" QT_QPA_PLATFORM=xcb \
        "$work/bin/quorvale" 2>"$work/stderr") &
    app=$!
    if wait_for_window Quorvale "$app" >/dev/null 2>&1; then
        created=$(cd "$work" && find home tmp -mindepth 1 | head -5 | tr '\n' ' ')
        if [[ -z $created ]]; then
            pass "no runtime directory: nothing created in the temporary or home folder"
        else
            fail "no runtime directory" "created: $created"
        fi
    else
        fail "no runtime directory" "no window as $user: $(head -c 300 "$work/stderr")"
    fi
    stop_app
else
    echo "skipped: no runtime directory (no user $user or no setpriv)"
fi

# Processes other than the program that carry this run's mark in their
# environment: whatever it started, even if it has left the process tree.
marked_others() { # MARK
    local environ pid
    for environ in /proc/[0-9]*/environ; do
        pid=${environ#/proc/}
        pid=${pid%/environ}
        [[ $pid == "$app" ]] && continue
        tr '\0' '\n' 2>/dev/null <"$environ" | grep -qx "QUORVALE_RUN_MARK=$1" && echo "$pid"
    done
}

# Runs the window in a fresh private home, runtime and temporary folder with
# this environment, and checks that it starts nothing that stays, not even
# while its window is open, and that it writes nothing to those folders.
# The folders are named in the environment as HOME_DIR, RUNTIME_DIR, TMP_DIR.
no_trace() { # NAME ENV-ARGS...
    local name=$1 mark="$RANDOM$RANDOM" dir="$work/trace" strays created
    shift
    rm -rf "$dir"
    mkdir -m 700 "$dir" "$dir/home" "$dir/runtime" "$dir/tmp"
    local args=("${@//HOME_DIR/$dir/home}")
    args=("${args[@]//RUNTIME_DIR/$dir/runtime}")
    args=("${args[@]//TMP_DIR/$dir/tmp}")
    (cd "$work" && exec env "${args[@]}" QUORVALE_RUN_MARK="$mark" "$program" 2>"$work/stderr") &
    app=$!
    if ! wait_for_window Quorvale "$app" >/dev/null 2>&1; then
        fail "$name" "no window: $(head -c 300 "$work/stderr")"
        stop_app
        return
    fi
    sleep 1 # what Qt starts on its own, it starts by now
    strays=$(marked_others "$mark")
    stop_app
    sleep 0.5
    strays+=" $(marked_others "$mark")"
    strays=$(echo $strays)
    created=$(cd "$dir" && find home runtime tmp -mindepth 1 | head -5 | tr '\n' ' ')
    if [[ -z $strays && -z $created ]]; then
        pass "$name: no other process, nothing written"
    else
        fail "$name" "processes: ${strays:-none} ($(ps -o args= -p "${strays// /,}" 2>/dev/null | tr '\n' ';')), written: ${created:-nothing}"
        # shellcheck disable=SC2086
        [[ -n $strays ]] && kill -9 $strays 2>/dev/null
    fi
}

own_server 1024x768
# No session bus set, with dbus-launch installed: the D-Bus libraries would
# start a bus of their own that outlives the run and writes under the home
# folder and /tmp.
command -v dbus-launch >/dev/null || echo "note: dbus-launch is not installed; the next case proves less"
no_trace "no session bus" -u DBUS_SESSION_BUS_ADDRESS HOME=HOME_DIR XDG_RUNTIME_DIR=RUNTIME_DIR \
    TMPDIR=TMP_DIR QT_QPA_PLATFORM=xcb
# No environment at all but the display (env -i): the home folder comes from
# the password database, so Qt makes no runtime folder of its own in TMPDIR.
home=$(getent passwd "$(id -u)" | cut -d: -f6)
if [[ -d $home && $(stat -c '%a %u' "$home") == "700 $(id -u)" ]]; then
    no_trace "no HOME, private home folder $home" -i DISPLAY="$DISPLAY" TMPDIR=TMP_DIR QT_QPA_PLATFORM=xcb
else
    echo "skipped: no HOME (the home folder $home is not private)"
fi

# A display that accepts the connection and never answers.
silent=
for number in 88 188 288 388; do
    [[ -e /tmp/.X11-unix/X$number ]] || { silent=$number; break; }
done
mkdir -p /tmp/.X11-unix
python3 -c '
import socket, sys
s = socket.socket(socket.AF_UNIX)
s.bind(sys.argv[1])
s.listen(8)
held = []
while True:
    held.append(s.accept()[0])
' "/tmp/.X11-unix/X$silent" &
servers+=($!)
for _ in $(seq 50); do [[ -S /tmp/.X11-unix/X$silent ]] && break; sleep 0.1; done
started=$SECONDS
(cd "$work" && exec env QT_QPA_PLATFORM=xcb DISPLAY=":$silent" "$program" 2>"$work/stderr") &
app=$!
ended "$app" 15
check_end "display never answers (after $((SECONDS - started)) s)" 1 'quorvale: .+'
stop_app
kill "${servers[-1]}" 2>/dev/null
rm -f "/tmp/.X11-unix/X$silent"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
