#!/usr/bin/env bash
# A screen reader's view of Tab into a list, on this X display, in a D-Bus
# session of its own with the accessibility bus launched (as a desktop
# session has): the window tests' case that counts the focus events Qt
# tells, then, over the AT-SPI bus as Orca listens, the program's own
# window (tests/window/check-screen-reader.py). That the program reaches
# the bus at all shows that a session bus that is set is kept.
#
# usage: run-screen-reader.sh PROGRAM WINDOW_TESTS DATA_DIR
set -u
program=$(realpath "$1")
window_tests=$(realpath "$2")
data_dir=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
launcher=/usr/libexec/at-spi-bus-launcher
[[ -x $launcher ]] || { echo "FAILED: no $launcher (at-spi2-core)"; exit 1; }

# shellcheck disable=SC2016
exec dbus-run-session -- bash -c '
    launcher=$1 program=$2 window_tests=$3 data_dir=$4 here=$5
    "$launcher" --launch-immediately 2>/dev/null &
    launched=$!
    trap "kill $launched 2>/dev/null" EXIT
    # Qt asks the session bus for the accessibility bus once, as it starts.
    for _ in $(seq 100); do
        dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null |
            grep -q "boolean true" && break
        sleep 0.1
    done
    failed=0
    log=$(QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$window_tests" \
        --gtest_filter=WindowAccessibility.TabIntoAListTellsItsCurrentLineLast 2>&1)
    if grep -q "^\[  PASSED  \] 1 test" <<<"$log" && ! grep -q SKIPPED <<<"$log"; then
        echo "ok: the window tests count the current line as the last focus told"
    else
        tail -20 <<<"$log"
        echo "FAILED: the window tests case on the accessibility bus"
        failed=1
    fi
    /usr/bin/python3 "$here/check-screen-reader.py" "$program" "$data_dir" || failed=1
    exit $failed
' screen-reader "$launcher" "$program" "$window_tests" "$data_dir" "$here" 2> >(grep -v -e 'fd limit' -e 'ctivat' -e 'SpiRegistry' >&2)
