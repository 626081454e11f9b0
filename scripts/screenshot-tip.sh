#!/usr/bin/env bash
# Regenerates docs/screenshot-tip.png: the window on examples/Data.txt with
# the mouse resting on the first line of "Not Placed Data:", so that its
# tooltip shows the reason; with `input`, docs/screenshot-input-tip.png, the
# same on the fourth line of "Input Data:", whose tip tells where its record
# went. Private Xvfb server, xdotool, ImageMagick.
# Usage: scripts/screenshot-tip.sh [BUILD_DIR] [input]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
program="$build/app/quorvale"
out="$root/docs/screenshot-tip.png"
# The frame's left edge and the line's row in its list.
frame_x=328 row=0
if [[ ${2:-} == input ]]; then
    out="$root/docs/screenshot-input-tip.png" frame_x=4 row=3
fi
[[ -x "$program" ]] || { echo "build first: $program is missing" >&2; exit 1; }
source "$root/scripts/lib/xvfb.sh"

start_xvfb
cd "$root/examples"
QT_QPA_PLATFORM=xcb "$program" &
app=$!
trap 'kill "$app" 2>/dev/null || true; stop_xvfb' EXIT
window=$(wait_for_window Quorvale)
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")" # sets X, Y, WIDTH, HEIGHT
# Qt shows tooltips only in the active window; there is no window manager
# to make it so.
xdotool windowfocus --sync "$window"
# Frames at y 6, lists at 10,18 inside them, lines about 14 pixels high.
xdotool mousemove $((X + frame_x + 10 + 40)) $((Y + 6 + 18 + 8 + 14 * row))
sleep 0.3
xdotool mousemove_relative 1 0
# Qt shows a tooltip after the mouse has rested for about 700 ms.
sleep 2
# The tooltip is a window of its own and may reach past the main window.
import -window root -crop "$((WIDTH + 260))x$((HEIGHT + 20))+$X+$Y" +repage "$out"
echo "wrote $out ($(identify -format '%wx%h' "$out"))"
