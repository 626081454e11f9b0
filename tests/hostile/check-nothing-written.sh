#!/usr/bin/env bash
# Runs the program on the example data, once successfully and once on a
# failing file (and with --window, once more with its window open until it
# is ended), under strace, which follows every process it starts. The run
# must create, change, remove or touch no file anywhere (an open for
# writing, a new directory, link or socket file, a rename, a change of mode
# or time; only devices under /dev but /dev/shm may be opened for writing),
# start no other program, and leave its working directory byte-identical.
# What the program does is watched, not a folder that other work on the
# machine could change, so that neither can fail the check or hide a fault.
#
# usage: check-nothing-written.sh [--window] PROGRAM DATA_FILE
#   --window also runs the window; it needs DISPLAY (or WAYLAND_DISPLAY)
#   and xwininfo.
set -u
window=0
if [[ ${1:-} == --window ]]; then
    window=1
    shift
fi
program=$(realpath "$1")
data=$(realpath "$2")
command -v strace >/dev/null || { echo "strace is not installed"; exit 1; }
work=$(mktemp -d)
traced=
trap '[[ -n $traced ]] && kill "$traced" 2>/dev/null; rm -rf "$work"' EXIT
failed=0

# Name, type, size, mode and content hash of everything under the directory.
snapshot() {
    (cd "$1" && find . -printf '%p %y %s %m\n' | sort && find . -type f -exec sha256sum {} + | sort)
}

# Every call that strace saw succeed and that writes to the file system:
# one file per process (-ff), so that no call is split across lines.
writes() { # TRACE_PREFIX
    cat "$1".* 2>/dev/null | awk '
        / = -1 / || / = \? / { next }
        /^(creat|mkdir|mkdirat|mknod|mknodat|link|linkat|symlink|symlinkat|rename|renameat|renameat2|unlink|unlinkat|rmdir|truncate|chmod|fchmodat|chown|lchown|fchownat|utime|utimes|utimensat|futimesat|setxattr|lsetxattr|removexattr|lremovexattr)\(/ { print; next }
        /^(open|openat|openat2)\(/ && /O_WRONLY|O_RDWR|O_CREAT|O_TRUNC/ {
            if (match($0, /"[^"]*"/)) {
                path = substr($0, RSTART + 1, RLENGTH - 2)
                if (path ~ /^\/dev\// && path !~ /^\/dev\/shm\//) next
            }
            print; next
        }
        /^bind\(/ && /sun_path="[^@]/ { print }
    '
}

# Programs started: every execve but the program's own first one.
started() { # TRACE_PREFIX
    cat "$1".* 2>/dev/null | grep -E '^execve\(' | grep -v ' = -1 ' | tail -n +2
}

check_trace() { # NAME TRACE_PREFIX
    local found
    [[ -n $(cat "$2".* 2>/dev/null | grep -m1 '^execve(') ]] ||
        { echo "$1: strace saw nothing"; failed=1; return; }
    found=$(writes "$2")
    if [[ -n $found ]]; then
        echo "$1: the run wrote to the file system:"
        head -20 <<<"$found"
        failed=1
    fi
    found=$(started "$2")
    if [[ -n $found ]]; then
        echo "$1: the run started another program:"
        head -20 <<<"$found"
        failed=1
    fi
}

# Runs the program under strace in its own folder, strace in place of the
# shell; LeakSanitizer cannot stop a traced process, so leaks are left to
# the other tests.
traced_run() { # NAME ARGS...
    local name=$1
    shift
    cd "$work/$name" || exit 1
    export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
    exec strace -f -ff -qq -o "$work/$name.trace" -e trace=%file,bind -e signal=none \
        "$program" "$@" </dev/null >"$work/$name.out" 2>"$work/$name.err"
}

run_in() { # NAME EXPECTED_STATUS
    local name=$1 expected=$2 dir="$work/$1"
    local before after status
    before=$(snapshot "$dir")
    (traced_run "$name" --text)
    status=$?
    after=$(snapshot "$dir")
    if [[ $status -ne $expected ]]; then
        echo "$name: status $status, expected $expected"
        failed=1
    fi
    if [[ "$before" != "$after" ]]; then
        echo "$name: the working directory changed:"
        diff <(echo "$before") <(echo "$after")
        failed=1
    fi
    check_trace "$name" "$work/$name.trace"
}

mkdir -p "$work/success/sub" "$work/failure"
cp "$data" "$work/success/Data.txt"
echo "unrelated" >"$work/success/sub/notes"
chmod 444 "$work/success/Data.txt"
printf '3\n1,2,3,4\n' >"$work/failure/Data.txt"
run_in success 0
[[ -s "$work/success.out" ]] || { echo "success: no output"; failed=1; }
run_in failure 1

if [[ $window -eq 1 ]]; then
    source "$(dirname "$0")/../../scripts/lib/xvfb.sh"
    mkdir -p "$work/window"
    cp "$data" "$work/window/Data.txt"
    before=$(snapshot "$work/window")
    (traced_run window) &
    traced=$! # strace itself
    if wait_for_window Quorvale "$traced" >/dev/null; then
        sleep 1 # what the toolkit does at its start, it has done by now
    else
        echo "window: no window: $(head -c 300 "$work/window.err")"
        failed=1
    fi
    # The program itself is the first process strace started.
    program_pid=$(pgrep -P "$traced" | head -1)
    [[ -n $program_pid ]] && kill "$program_pid"
    wait "$traced" 2>/dev/null
    traced=
    [[ "$before" == "$(snapshot "$work/window")" ]] ||
        { echo "window: the working directory changed"; failed=1; }
    check_trace window "$work/window.trace"
fi
[[ $failed -eq 0 ]] && echo "nothing written, nothing started$([[ $window -eq 1 ]] && echo ", the window too")"
exit $failed
