#!/usr/bin/env bash
# Regenerates docs/screenshot-focus.png: the window on a small data file that
# leaves "Not Placed Data:" and "Errors:" empty, with the keyboard focus
# moved by Tab to the empty "Errors:" list, which shows the focus frame.
# Private Xvfb server, xdotool, ImageMagick.
# Usage: scripts/screenshot-focus.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
program="$build/app/quorvale"
out="$root/docs/screenshot-focus.png"
[[ -x "$program" ]] || { echo "build first: $program is missing" >&2; exit 1; }
source "$root/scripts/lib/xvfb.sh"

data=$(mktemp -d)
# One group of five: one output list, nothing left over, nothing rejected.
printf '5\n12,1,4,0\n12,2,4,0\n12,3,4,0\n12,5,4,0\n12,7,4,0\n' >"$data/Data.txt"
start_xvfb
cd "$data"
QT_QPA_PLATFORM=xcb "$program" &
app=$!
trap 'kill "$app" 2>/dev/null || true; stop_xvfb; rm -rf "$data"' EXIT
window=$(wait_for_window Quorvale)
sleep 1
# There is no window manager to give the window the focus.
xdotool windowfocus --sync "$window"
# The focus starts in "Input Data:"; three Tabs reach "Errors:".
xdotool key Tab Tab Tab
sleep 0.5
import -window "$window" "$out"
echo "wrote $out ($(identify -format '%wx%h' "$out"))"
