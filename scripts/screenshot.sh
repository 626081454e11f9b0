#!/usr/bin/env bash
# Regenerates docs/screenshot.png: the window on examples/Data.txt, on a
# private Xvfb server, grabbed with ImageMagick's import.
# Usage: scripts/screenshot.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
program="$build/app/quorvale"
[[ -x "$program" ]] || { echo "build first: $program is missing" >&2; exit 1; }
source "$root/scripts/lib/xvfb.sh"

start_xvfb
cd "$root/examples"
QT_QPA_PLATFORM=xcb "$program" &
app=$!
trap 'kill "$app" 2>/dev/null || true; stop_xvfb' EXIT
window=$(wait_for_window Quorvale)
# Let the lists paint before grabbing.
sleep 1
import -window "$window" "$root/docs/screenshot.png"
echo "wrote $root/docs/screenshot.png ($(identify -format '%wx%h' "$root/docs/screenshot.png"))"
