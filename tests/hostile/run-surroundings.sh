#!/usr/bin/env bash
# Hostile surroundings rather than hostile data: no usable display, closed
# or full standard streams, input that arrives slowly, untrusted names, too
# little memory, no second thread. Every case must end promptly with the
# stated status, never by a signal, and every report must be the program's
# own single line.
#
# usage: run-surroundings.sh [--no-memory-limit] PROGRAM
#   --no-memory-limit skips the out-of-memory case (AddressSanitizer
#   reserves far more address space than any limit).
set -u
source "$(dirname "$0")/arguments.sh"

passed=0
failed=0
work=$(mktemp -d)
writers=()
trap 'kill "${writers[@]}" 2>/dev/null; rm -rf "$work"' EXIT

# A display number with no server behind it.
dead_display=:
for number in 55 77 99 4242; do
    [[ -e /tmp/.X11-unix/X$number ]] || { dead_display=:$number; break; }
done

# Runs one case in a fresh directory holding the example-sized Data.txt.
#   expect NAME STATUS PATTERN COMMAND...
# PATTERN is an extended regular expression that standard error must match
# as a whole: exactly one line, nothing from Qt or anyone else around it.
expect() {
    local name=$1 want=$2 pattern=$3
    shift 3
    local dir="$work/$name"
    mkdir -p "$dir"
    printf '2\n5,1,7,0\n5,2,7,0\n' >"$dir/Data.txt"
    local status
    (cd "$dir" && timeout 5 "$@" >"$dir/stdout" 2>"$dir/stderr")
    status=$?
    report "$name" "$want" "$status" "$pattern" "$dir"
}

report() {
    local name=$1 want=$2 status=$3 pattern=$4 dir=$5
    local problems=()
    [[ $status -eq 124 ]] && problems+=("did not end in time")
    [[ $status -gt 128 && $status -ne 124 ]] && problems+=("killed by signal $((status - 128))")
    [[ $status -ne $want ]] && problems+=("status $status, expected $want")
    if [[ -n $pattern ]]; then
        [[ $(wc -l <"$dir/stderr") -eq 1 ]] || problems+=("standard error is not one line")
        grep -qxE -- "$pattern" "$dir/stderr" || problems+=("standard error does not match")
        # Raw control bytes on a terminal are commands, not text.
        LC_ALL=C grep -q $'[\x01-\x08\x0B-\x1F\x7F]' "$dir/stderr" &&
            problems+=("raw control bytes on standard error")
    fi
    compgen -G "$dir/core*" >/dev/null && problems+=("left a core file")
    if [[ ${#problems[@]} -eq 0 ]]; then
        passed=$((passed + 1))
        echo "ok $name: status $status"
    else
        failed=$((failed + 1))
        echo "FAILED $name: status $status: ${problems[*]}"
        head -c 600 "$dir/stderr"
    fi
}

no_window='quorvale: cannot open a window: .+; use --text to print the lists'

# Display failures: no abort, no core file, the program's one-line report.
expect no-display 1 "$no_window" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program"
expect dead-display 1 "$no_window" env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    DISPLAY="$dead_display" "$program"
expect garbage-display 1 "$no_window" env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    DISPLAY=garbage "$program"
expect control-bytes-in-display 1 "$no_window" env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    DISPLAY=$'\e[2J:1' "$program"
# Qt tries Wayland first and falls back to X11: the report names both.
expect bogus-wayland-socket 1 \
    'quorvale: cannot open a window: the Wayland display no-such-socket: .+, and then X11: .+; use --text to print the lists' \
    env -u DISPLAY -u QT_QPA_PLATFORM WAYLAND_DISPLAY=no-such-socket XDG_RUNTIME_DIR="$work" "$program"
expect unknown-platform-plugin 1 "$no_window" env QT_QPA_PLATFORM=bogus "$program"
expect missing-platform-plugin 1 "$no_window" env QT_QPA_PLATFORM=wayland \
    WAYLAND_DISPLAY=no-such-socket XDG_RUNTIME_DIR="$work" "$program"
expect no-runtime-dir-warning 1 "$no_window" env -u XDG_RUNTIME_DIR -u WAYLAND_DISPLAY \
    -u QT_QPA_PLATFORM DISPLAY="$dead_display" "$program"

# The window engine is a module beside the program (or installed under its
# library folder). A copy of the program without it, in a folder whose name
# must be escaped, still prints its lists but opens no window; one with a
# file that is no module says what the loader found wrong.
lone="$work/lone"$'\e[2J'
mkdir -p "$lone" "$work/broken"
cp "$program" "$lone/quorvale"
cp "$program" "$work/broken/quorvale"
printf 'not a module' >"$work/broken/libquorvale-window.so"
expect missing-window-module 1 \
    'quorvale: cannot open a window: the window module is missing: neither .*lone\\x1B\[2J/libquorvale-window\.so nor .+; use --text to print the lists' \
    env QT_QPA_PLATFORM=offscreen "$lone/quorvale"
expect missing-window-module-text 0 '' "$lone/quorvale" --text
grep -qx '\[00001\]   5-2-7' "$work/missing-window-module-text/stdout" ||
    { failed=$((failed + 1)); echo "missing-window-module-text: no lists"; }
expect broken-window-module 1 \
    'quorvale: cannot open a window: .*/broken/libquorvale-window\.so: .+; use --text to print the lists' \
    env QT_QPA_PLATFORM=offscreen "$work/broken/quorvale"

# Closed and full standard streams. A closed standard error must not hand
# its number to the display connection or the data file.
expect dead-display-closed-stderr 1 '' env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    DISPLAY="$dead_display" bash -c 'exec "$0" 2>&-' "$program"
expect bad-data-closed-stdin-and-stderr 1 '' \
    bash -c 'printf "x" >Data.txt && exec "$0" --text 0<&- 2>&-' "$program"
expect version-to-closed-stdout 1 'quorvale: cannot write the version: .+' \
    bash -c 'exec "$0" --version >&-' "$program"
expect lists-to-closed-stdout 1 'quorvale: cannot write the lists: .+' \
    bash -c 'exec "$0" --text >&-' "$program"
expect help-to-full-device 1 'quorvale: cannot write the help: No space left on device' \
    bash -c 'exec "$0" --help >/dev/full' "$program"
expect version-to-full-device 1 'quorvale: cannot write the version: No space left on device' \
    bash -c 'exec "$0" --version >/dev/full' "$program"
# A file-size limit below the lists: a write failure like any other, never
# death by SIGXFSZ with a core.
expect lists-past-file-size-limit 1 'quorvale: cannot write the lists: File too large' \
    bash -c 'awk "BEGIN { print 400; for (i = 0; i < 400; i++) print \"5,1,\" i \",0\" }" >Data.txt &&
        ulimit -f 1 && exec "$0" --text >lists' "$program"

# Input that arrives and then waits: parsed as it comes, never waited on
# past what the run needs. Each writer holds its end open for 6 s; the
# program has 3.
held() {
    printf "$1"
    exec sleep 6
}
streamed() {
    local name=$1 want=$2 pattern=$3 content=$4 kind=$5
    local dir="$work/$name"
    mkdir -p "$dir"
    local status
    if [[ $kind == fifo ]]; then
        mkfifo "$dir/input"
        held "$content" >"$dir/input" &
        writers+=($!)
        (cd "$dir" && timeout 3 "$program" --text input >stdout 2>stderr)
        status=$?
    else
        # A pipeline waits for its writer: 6 s each. "-" names standard
        # input as /dev/stdin does.
        local name=/dev/stdin
        [[ $kind == dash ]] && name=-
        held "$content" | (cd "$dir" && timeout 3 "$program" --text "$name" >stdout 2>stderr)
        status=${PIPESTATUS[1]}
    fi
    report "$name" "$want" "$status" "$pattern" "$dir"
    if [[ $want -eq 0 ]] && ! grep -qx '\[00001\]   5-2-7' "$dir/stdout"; then
        failed=$((failed + 1))
        passed=$((passed - 1))
        echo "$name: the lists are not complete"
    fi
}
streamed complete-records-on-a-held-pipe 0 '' '2\n5,1,7,0\n5,2,7,0\n' pipe
streamed bad-value-on-a-held-pipe 1 'quorvale: /dev/stdin, line 1, value 1: "abc" is not a whole number' \
    'abc\n' pipe
streamed complete-records-on-a-held-dash 0 '' '2\n5,1,7,0\n5,2,7,0\n' dash
streamed bad-value-on-a-held-dash 1 'quorvale: standard input, line 1, value 1: "abc" is not a whole number' \
    'abc\n' dash
streamed complete-records-on-a-held-fifo 0 '' '2\n5,1,7,0\n5,2,7,0\n' fifo
streamed bad-value-on-a-held-fifo 1 'quorvale: input, line 2, value 3: "x" is not a whole number' \
    '2\n5,x\n' fifo

# The program never runs itself again, whatever it reads: a big file (where
# it sets up large pages) and a stream each take one execve, so that a
# setgid copy, a start through the dynamic loader and a debugger's or
# valgrind's run behave like any other.
if command -v strace >/dev/null && [[ $program != *sanitiz* ]]; then
    dir="$work/one-execve"
    mkdir -p "$dir"
    awk 'BEGIN { n = 1200000; print n; for (i = 0; i < n; i++) print "1," i % 100 "," i % 9 ",0" }' \
        >"$dir/big.txt"
    for input in big.txt -; do
        (cd "$dir" && timeout 20 strace -f -qq -e trace=execve -o trace "$program" --text "$input" \
            <big.txt >stdout 2>stderr)
        report "one-execve-for-${input/-/stream}" 0 $? '' "$dir"
        if [[ $(grep -c 'execve(' "$dir/trace") -ne 1 ]]; then
            failed=$((failed + 1))
            passed=$((passed - 1))
            echo "one-execve-for-${input/-/stream}: $(grep -c 'execve(' "$dir/trace") execve calls"
        fi
    done
else
    echo "SKIPPED: one execve per run: strace is not installed or a sanitizer runs"
fi

# Untrusted names: escaped, and quoted where their end could be misread.
expect newline-in-name 1 'quorvale: bad\\x0Aname\.txt: cannot open for reading: .+' \
    "$program" --text $'bad\nname.txt'
expect escape-sequence-in-name 1 'quorvale: \\x1B\[2J\\x1B\]0;owned\\x07\.txt: cannot open for reading: .+' \
    "$program" --text $'\e[2J\e]0;owned\a.txt'
expect invalid-utf8-in-name 1 'quorvale: caf\\xE9\.txt: cannot open for reading: .+' \
    "$program" --text $'caf\xe9.txt'
expect empty-name 1 'quorvale: "": cannot open for reading: .+' "$program" --text ''
expect quote-in-name 1 'quorvale: "a\\"b": cannot open for reading: .+' "$program" --text 'a"b'
expect control-bytes-in-option 2 '' "$program" $'--\e[31m'
grep -qF 'unknown option --\x1B[31m' "$work/control-bytes-in-option/stderr" ||
    { failed=$((failed + 1)); echo "control-bytes-in-option: option not escaped"; }

# Wording of data errors.
expect leading-comma 1 'quorvale: Data\.txt, line 1, value 1: a comma before the first value' \
    bash -c 'printf ",1\n5,1,7,0\n" >Data.txt && exec "$0" --text' "$program"
expect quotes-in-token 1 'quorvale: Data\.txt, line 2, value 2: "\\"\\"\\"" is not a whole number' \
    bash -c 'printf "1\n\"\"\"\n" >Data.txt && exec "$0" --text' "$program"
expect utf32-mark 1 'quorvale: Data\.txt: is UTF-32 text; save it as UTF-8 or plain ASCII' \
    bash -c 'printf "\377\376\000\000""1\000\000\000" >Data.txt && exec "$0" --text' "$program"

# Out of memory: which file, and what was being built.
if [[ $memory_limit -eq 1 ]]; then
    dir="$work/out-of-memory"
    mkdir -p "$dir"
    awk 'BEGIN { n = 3000000; print n; for (i = 0; i < n; i++) print "5,1,7,0" }' >"$dir/Data.txt"
    (cd "$dir" && ulimit -v 262144 && exec timeout 20 "$program" --text >stdout 2>stderr)
    report out-of-memory 1 $? \
        'quorvale: Data\.txt: out of memory while ((loading|validating and sorting|grouping) 3000000 records|pairing 3000000 groups)' \
        "$dir"
fi

# A long list goes out on two threads where a second thread and its room
# can be had, and on one where they can't: whatever the limit, the run
# writes every line, the same bytes, or ends with its own one-line report.
dir="$work/long-lists"
mkdir -p "$dir"
python3 "$(dirname "$0")/../../bench/make-data.py" 1000000 "$dir/Data.txt"
(cd "$dir" && exec timeout 20 "$program" --text >whole 2>stderr)
report long-lists-unlimited 0 $? '' "$dir"
[[ -s $dir/stderr ]] && { failed=$((failed + 1)); echo "long-lists-unlimited: wrote on standard error"; }
# A run that succeeds writes the same bytes as the unlimited one, and
# nothing on standard error.
same_lists() { # NAME STATUS
    if [[ $2 -eq 0 ]] && ! { cmp -s "$dir/stdout" "$dir/whole" && [[ ! -s $dir/stderr ]]; }; then
        failed=$((failed + 1))
        passed=$((passed - 1))
        echo "$1: not the lists of an unlimited run"
    fi
}
if [[ $memory_limit -eq 1 ]]; then
    for limit in $(seq 50000 5000 100000); do
        (cd "$dir" && ulimit -v "$limit" && exec timeout 20 "$program" --text >stdout 2>stderr)
        status=$?
        if [[ $status -eq 0 ]]; then
            report "long-lists-in-$limit-KiB" 0 0 '' "$dir"
        else
            report "long-lists-in-$limit-KiB" 1 "$status" \
                'quorvale: (Data\.txt: )?out of memory while [a-z ]+( [0-9]+ [a-z ]+)?' "$dir"
        fi
        same_lists "long-lists-in-$limit-KiB" "$status"
    done
fi
# No second thread at all: one process for the user. Root is not held to
# that limit; an ordinary user is. A sanitizer starts threads of its own.
if [[ $memory_limit -eq 0 ]]; then
    as_user=(skip)
elif [[ $(id -u) -ne 0 ]]; then
    as_user=()
elif id nobody >/dev/null 2>&1 && command -v setpriv >/dev/null; then
    as_user=(setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups)
    chmod 711 "$work"
    chmod 755 "$dir"
    chmod 644 "$dir/Data.txt"
    cp "$program" "$dir/quorvale"
    chmod 755 "$dir/quorvale"
else
    as_user=(skip)
fi
if [[ ${as_user[0]:-} == skip ]]; then
    echo "skipped: one process for the user (a sanitizer, or root without user nobody or setpriv)"
else
    user_program=$program
    [[ ${#as_user[@]} -gt 0 ]] && user_program=$dir/quorvale
    (cd "$dir" && exec timeout 20 ${as_user[@]+"${as_user[@]}"} prlimit --nproc=1 "$user_program" \
        --text >stdout 2>stderr)
    status=$?
    report long-lists-without-a-second-thread 0 "$status" '' "$dir"
    same_lists long-lists-without-a-second-thread "$status"
fi

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
