#!/usr/bin/env bash
# The real window under Xvfb: on the example data one window titled
# "Quorvale" with a 655x309 client area; on a missing data file no window,
# only the error dialog, and status 1 once it is dismissed; resting the mouse
# on a not-placed line brings up a tooltip, on an input line none. About 15 s.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib/packages.sh"
source "$root/scripts/lib/xvfb.sh"
source "$root/scripts/lib/tally.sh"
ensure_packages xvfb x11-utils xdotool
program="$root/build/app/quorvale"
if [[ ! -x $program ]]; then
    ensure_build_packages
    (cd "$root" && cmake --preset release && cmake --build --preset release -j"$(nproc)" --target quorvale)
fi
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}

start_xvfb
scratch=$(mktemp -d)
app=
trap 'kill $app 2>/dev/null || true; stop_xvfb; rm -rf "$scratch"' EXIT

fail() { echo "window check: $*" >&2; tally 0 1; exit 1; }

# Top-level windows named Quorvale that are mapped: "id WIDTHxHEIGHT".
shown_windows() {
    xwininfo -root -children | awk '$2 == "\"Quorvale\":" { print $1 }' | while read -r id; do
        xwininfo -id "$id" | grep -q 'Map State: IsViewable' &&
            xwininfo -id "$id" | awk -v id="$id" '/Width:/ { w = $2 } /Height:/ { h = $2 }
                END { print id, w "x" h }'
    done
}

(cd "$root/examples" && exec "$program") &
app=$!
wait_for_window Quorvale >/dev/null
sleep 0.5
mapfile -t windows < <(shown_windows)
[[ ${#windows[@]} -eq 1 ]] || fail "expected one window, found: ${windows[*]:-none}"
[[ "${windows[0]#* }" == 655x309 ]] || fail "client area is ${windows[0]#* }, not 655x309"
kill "$app"
wait "$app" 2>/dev/null || true
echo "example data: one window Quorvale, client area 655x309"
tally 1 0

(cd "$scratch" && exec "$program" 2>"$scratch/stderr") &
app=$!
dialog=$(wait_for_window Quorvale)
sleep 0.5
mapfile -t windows < <(shown_windows)
[[ ${#windows[@]} -eq 1 ]] || fail "expected only the dialog, found: ${windows[*]:-none}"
# The dialog, not the 655x309 main window.
[[ "${windows[0]#* }" != 655x309 ]] || fail "the main window was shown"
xdotool windowfocus --sync "$dialog" key Return
status=0
wait "$app" || status=$?
app=
[[ $status -eq 1 ]] || fail "status $status after dismissing the dialog, not 1"
grep -q '^quorvale: ' "$scratch/stderr" || fail "no 'quorvale:' report on stderr"
echo "missing data file: dialog only, status 1, $(cat "$scratch/stderr")"
tally 1 0

# Mapped top-level windows other than the main one: a tooltip is one.
other_windows() {
    xwininfo -root -children | awk '$1 ~ /^0x/ && $2 != "\"Quorvale\":" { print $1 }' |
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

(cd "$root/examples" && exec "$program") &
app=$!
window=$(wait_for_window Quorvale)
sleep 0.5
# Qt shows tips only in the active window; there is no window manager.
xdotool windowfocus --sync "$window"
eval "$(xdotool getwindowgeometry --shell "$window")" # X, Y
rest_at 378 32 # the first line of lstNotPlaced
[[ -n "$(other_windows)" ]] || fail "no tooltip over a not-placed line"
rest_at 60 32 # the first line of lstInput
[[ -z "$(other_windows)" ]] || fail "a tooltip over an input line"
kill "$app"
wait "$app" 2>/dev/null || true
app=
echo "tooltip over a not-placed line, none over an input line"
tally 1 0
