#!/usr/bin/env bash
# The real window under Xvfb: on the example data one window titled
# "Quorvale" with a 655x309 client area; on a missing data file no window,
# only the error dialog, and status 1 once it is dismissed, with nothing
# from Qt on standard error even without XDG_RUNTIME_DIR. Then the hostile
# cases: a closed standard error still gives the dialog; a dead display and
# an unknown platform plugin end with the program's report and status 1;
# markup in the data file is shown as plain text. Last, resting the mouse on
# a not-placed line or an input line brings up a tooltip, on an output
# header none, and so does Shift+F1 on a not-placed line. The example's
# lines fit at the form's own font under Qt's theme and GNOME's. The window
# on Wayland (weston's headless backend): it opens, closes with status 0,
# and reports the compositor's death. What a screen reader is told when Tab
# moves into a list, over the AT-SPI bus. Then the window against its
# surroundings (tests/hostile/run-window-limits.sh). About 100 s.
# It runs the release build's program, which stage 10 has just built.
source "$(dirname "$0")/../lib/stage.sh"
source "$root/scripts/lib/xvfb.sh"
# dbus-x11: the D-Bus libraries would start a session bus of their own with
# it, which the window's surroundings check must see not happen.
ensure_packages xvfb x11-utils xdotool python3 qt6-gtk-platformtheme fonts-cantarell dbus-x11 \
    weston qt6-wayland strace dbus at-spi2-core python3-pyatspi
program="$root/build/app/quorvale"
window_tests="$root/build/tests/quorvale_window_tests"
if [[ ! -x $program || ! -x $window_tests ]]; then
    ensure_build_packages
    cmake --preset release
    cmake --build --preset release -j"$(nproc)" --target quorvale quorvale_window quorvale_window_tests
fi
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}

start_xvfb
scratch=$(mktemp -d)
app=
trap 'kill $app ${weston:-} 2>/dev/null || true; stop_xvfb; rm -rf "$scratch"' EXIT

fail() { echo "window check: $*" >&2; tally 0 1; exit 1; }

# Runs a command in the background (app is its id) and waits for its first
# window.
start_shown() { # COMMAND, evaluated in a subshell
    (eval "$1") &
    app=$!
    wait_for_window Quorvale "$app" >/dev/null
}

# Top-level windows named Quorvale that are mapped: "id WIDTHxHEIGHT".
shown_windows() {
    xwininfo -root -children | awk '$2 == "\"Quorvale\":" { print $1 }' | while read -r id; do
        xwininfo -id "$id" | grep -q 'Map State: IsViewable' &&
            xwininfo -id "$id" | awk -v id="$id" '/Width:/ { w = $2 } /Height:/ { h = $2 }
                END { print id, w "x" h }'
    done
}

start_shown 'cd "$root/examples" && exec "$program"' || fail "no window on the example data"
sleep 0.5
mapfile -t windows < <(shown_windows)
[[ ${#windows[@]} -eq 1 ]] || fail "expected one window, found: ${windows[*]:-none}"
[[ "${windows[0]#* }" == 655x309 ]] || fail "client area is ${windows[0]#* }, not 655x309"
kill "$app"
wait "$app" 2>/dev/null || true
echo "example data: one window Quorvale, client area 655x309"
tally 1 0

# The form's own font on a real X server: the window tests' font cases
# (the example's lines fit, no horizontal scroll bar) under Qt's own theme,
# then under GNOME's: Qt's gtk3 platform theme with GNOME's interface font,
# Cantarell 11, larger than the form's. The tests check that the theme and
# the font are the ones asked for. No session bus: none is started either.
font_case() { # NAME ENV...
    local name=$1
    shift
    if env DBUS_SESSION_BUS_ADDRESS=disabled: QT_QPA_PLATFORM=xcb "$@" "$window_tests" \
        --gtest_filter='WindowFont.*' >"$scratch/font.log" 2>&1; then
        echo "the example fits at the form's own font under $name"
        tally 1 0
    else
        cat "$scratch/font.log"
        fail "the example does not fit under $name"
    fi
}
font_case "Qt's own theme"
gtk_settings=$scratch/gtk-settings
mkdir -p "$gtk_settings/gtk-3.0"
printf '[Settings]\ngtk-font-name=Cantarell 11\n' >"$gtk_settings/gtk-3.0/settings.ini"
if compgen -G "/usr/lib/*/qt6/plugins/platformthemes/libqgtk3.so" >/dev/null; then
    font_case "GNOME's gtk3 theme" QT_QPA_PLATFORMTHEME=gtk3 XDG_CURRENT_DESKTOP=GNOME \
        XDG_CONFIG_HOME="$gtk_settings" QUORVALE_THEME=gtk3 QUORVALE_THEME_FONT="Cantarell 11"
else
    echo "skipped: the gtk3 theme (qt6-gtk-platformtheme is not installed)"
fi

# Nothing written, nothing started, the window run too: what the program
# and its children do, watched with strace.
nothing_log=$scratch/nothing-written.log
bash "$root/tests/hostile/check-nothing-written.sh" --window "$program" "$root/examples/Data.txt" \
    >"$nothing_log" 2>&1 || { cat "$nothing_log"; fail "a run wrote to the file system or started a program"; }
echo "$(cat "$nothing_log") (strace, text and window runs)"
tally 1 0

# Focuses the shown window named Quorvale and prints its id. Retried: a
# server without a window manager refuses focus to a window not mapped yet.
focus_shown() {
    local id
    for _ in $(seq 50); do
        id=$(shown_windows | awk 'NR == 1 { print $1 }')
        [[ -n $id ]] && xdotool windowfocus --sync "$id" 2>/dev/null && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}

dismiss_dialog() {
    focus_shown >/dev/null || fail "could not focus the dialog"
    xdotool key Return
}

start_shown 'cd "$scratch" && exec env -u XDG_RUNTIME_DIR "$program" 2>"$scratch/stderr"' ||
    fail "no dialog for a missing data file"
sleep 0.5
mapfile -t windows < <(shown_windows)
[[ ${#windows[@]} -eq 1 ]] || fail "expected only the dialog, found: ${windows[*]:-none}"
# The dialog, not the 655x309 main window.
[[ "${windows[0]#* }" != 655x309 ]] || fail "the main window was shown"
dismiss_dialog
status=0
wait "$app" || status=$?
app=
[[ $status -eq 1 ]] || fail "status $status after dismissing the dialog, not 1"
grep -q '^quorvale: ' "$scratch/stderr" || fail "no 'quorvale:' report on stderr"
[[ $(wc -l <"$scratch/stderr") -eq 1 ]] || fail "more than the report on stderr: $(cat "$scratch/stderr")"
echo "missing data file: dialog only, status 1, $(cat "$scratch/stderr")"
tally 1 0

# Runs the program on this Data.txt content (none: no file) with these extra
# redirections, waits for its error dialog, prints the dialog's size,
# dismisses it and checks for status 1.
dialog_size() {
    local content=$1 redirect=$2 dir
    dir=$(mktemp -d -p "$scratch")
    [[ -n $content ]] && printf "$content" >"$dir/Data.txt"
    start_shown 'cd "$dir" && eval "exec \"\$program\" $redirect"' || fail "no dialog with '$redirect'"
    sleep 0.5
    local shown
    shown=$(shown_windows | awk 'NR == 1')
    echo "${shown#* }"
    dismiss_dialog
    local status=0
    wait "$app" || status=$?
    app=
    [[ $status -eq 1 ]] || fail "status $status after dismissing the dialog, not 1"
}

# With standard error closed the display connection must not take its
# number: the dialog appears and the run ends.
dialog_size "" "2>&-" >/dev/null
echo "closed standard error: dialog, status 1"

# A data value that is markup: as plain text the dialog is as large as for
# a value of the same width that is no markup.
markup=$(dialog_size '1\n<h1>HUGE</h1>,1,1,1\n' "2>/dev/null")
plain=$(dialog_size '1\n<h7>HUGE</h7>,1,1,1\n' "2>/dev/null")
[[ $markup == "$plain" ]] || fail "markup changed the dialog: $markup, not $plain"
echo "markup in the data file: shown as text ($markup)"

# No window system to be had: the program's report, no abort.
no_window() {
    local status=0
    (cd "$scratch" && exec timeout 10 env "$@" "$program" 2>"$scratch/stderr") || status=$?
    [[ $status -eq 1 ]] || fail "status $status with $*, not 1"
    grep -qxE 'quorvale: cannot open a window: .+; use --text to print the lists' \
        "$scratch/stderr" || fail "report with $*: $(cat "$scratch/stderr")"
}
dead=:
for number in 55 77 99 4242; do
    [[ -e /tmp/.X11-unix/X$number ]] || { dead=:$number; break; }
done
no_window DISPLAY="$dead"
echo "dead display: status 1, $(cat "$scratch/stderr")"
no_window QT_QPA_PLATFORM=bogus
echo "unknown platform plugin: status 1, $(cat "$scratch/stderr")"
tally 4 0

# Mapped top-level windows other than the main one: a tooltip is one (Qt
# gives it the program's display name too, so only the id tells them apart).
other_windows() {
    xwininfo -root -children | awk -v main="$window" '$1 ~ /^0x/ && $1 != main { print $1 }' |
        while read -r id; do
            if xwininfo -id "$id" | grep -q 'Map State: IsViewable'; then echo "$id"; fi
        done
}

# Rests the mouse at x, y of the window's client area long enough for a tip.
rest_at() {
    xdotool mousemove $((X + $1)) $((Y + $2))
    sleep 0.2
    xdotool mousemove_relative 1 0
    sleep 1.5
}

start_shown 'cd "$root/examples" && exec "$program"' || fail "no window for the tooltips"
sleep 0.5
# Qt shows tips only in the active window; there is no window manager.
window=$(focus_shown) || fail "could not focus the window"
eval "$(xdotool getwindowgeometry --shell "$window")" # X, Y
rest_at 378 32 # the first line of lstNotPlaced
[[ -n "$(other_windows)" ]] || fail "no tooltip over a not-placed line"
rest_at 60 32 # the first line of lstInput
[[ -n "$(other_windows)" ]] || fail "no tooltip over an input line"
rest_at 216 32 # the header of lstOutput's first list
[[ -z "$(other_windows)" ]] || fail "a tooltip over an output header"
# From the keyboard: the focus starts in lstInput, two Tabs reach
# lstNotPlaced, whose first line becomes the current one.
xdotool key Tab Tab
sleep 0.3
xdotool key shift+F1
sleep 0.5
[[ -n "$(other_windows)" ]] || fail "no tooltip on Shift+F1 at a not-placed line"
kill "$app"
wait "$app" 2>/dev/null || true
app=
echo "tooltip over a not-placed and an input line and on Shift+F1, none over a header"
tally 1 0

# Wayland, under weston's headless backend in a private runtime folder: the
# window tests' window opens there and Ctrl+Q and Ctrl+W end the run with
# status 0; the program's window opens (still running, Qt's Wayland client
# mapped), and when the compositor dies it reports the lost connection
# with status 1.
runtime=$(mktemp -d -p "$scratch")
chmod 700 "$runtime"
socket=quorvale-$$
(XDG_RUNTIME_DIR=$runtime exec weston --backend=headless-backend.so --socket="$socket" \
    --idle-time=0 >"$scratch/weston.log" 2>&1) &
weston=$!
for _ in $(seq 100); do [[ -S $runtime/$socket ]] && break; sleep 0.1; done
[[ -S $runtime/$socket ]] || fail "weston made no socket: $(tail -5 "$scratch/weston.log")"
on_wayland=(env XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland)
"${on_wayland[@]}" DBUS_SESSION_BUS_ADDRESS=disabled: "$window_tests" \
    --gtest_filter='WindowKeys.CtrlQAndCtrlWCloseTheWindowWithStatusZero:WindowFont.*' \
    >"$scratch/wayland-tests.log" 2>&1 ||
    { cat "$scratch/wayland-tests.log"; fail "the window tests failed on Wayland"; }
echo "Wayland: the window opens, fits the example, and Ctrl+Q and Ctrl+W end the run with status 0"
(cd "$root/examples" && exec "${on_wayland[@]}" "$program" 2>"$scratch/stderr") &
app=$!
sleep 2
maps=$(cat "/proc/$app/maps" 2>/dev/null || true)
grep -q 'libQt6WaylandClient' <<<"$maps" ||
    fail "no window on Wayland: $(cat "$scratch/stderr")"
kill -9 "$weston"
wait "$weston" 2>/dev/null || true
status=0
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
wait "$app" || status=$?
app=
[[ $status -eq 1 ]] || fail "status $status when the compositor died, not 1"
grep -qxE 'quorvale: lost the connection to the display: .*Wayland.*' "$scratch/stderr" &&
    [[ $(wc -l <"$scratch/stderr") -eq 1 ]] ||
    fail "the compositor's death was reported as: $(cat "$scratch/stderr")"
echo "Wayland: the compositor dies under the window: status 1, $(cat "$scratch/stderr")"
tally 2 0

# A screen reader's view: Tab into a list tells its current line last, as
# the arrow keys do, checked in Qt's events and over the AT-SPI bus.
reader_log=$scratch/screen-reader.log
bash "$root/tests/window/run-screen-reader.sh" "$program" "$window_tests" "$root/examples" \
    >"$reader_log" 2>&1 || { cat "$reader_log"; fail "Tab into a list does not tell its line"; }
grep -E '^ok' "$reader_log"
tally 2 0

# The window against its surroundings: a dying or silent display, a window
# destroyed from outside, tight limits. Each case counts on its own.
limits_log=$scratch/limits.log
limits_status=0
bash "$root/tests/hostile/run-window-limits.sh" "$program" | tee "$limits_log" || limits_status=$?
tally "$(grep -c '^ok ' "$limits_log")" "$(grep -c '^FAILED ' "$limits_log")"
[[ $limits_status -eq 0 ]]
