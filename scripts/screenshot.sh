#!/usr/bin/env bash
# Regenerates docs/screenshot.png: the window on examples/Data.txt, on a
# private Xvfb server, grabbed with ImageMagick's import. With "gtk3", under
# GNOME's look instead (Qt's gtk3 platform theme with GNOME's interface font,
# Cantarell 11; needs qt6-gtk-platformtheme and fonts-cantarell), into
# docs/screenshot-gtk3.png.
# Usage: scripts/screenshot.sh [BUILD_DIR] [gtk3]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
theme=${2:-}
program="$build/app/quorvale"
[[ -x "$program" ]] || { echo "build first: $program is missing" >&2; exit 1; }
source "$root/scripts/lib/xvfb.sh"

out="$root/docs/screenshot.png"
settings=$(mktemp -d)
environment=(QT_QPA_PLATFORM=xcb)
if [[ $theme == gtk3 ]]; then
    out="$root/docs/screenshot-gtk3.png"
    mkdir "$settings/gtk-3.0"
    printf '[Settings]\ngtk-font-name=Cantarell 11\n' >"$settings/gtk-3.0/settings.ini"
    environment+=(QT_QPA_PLATFORMTHEME=gtk3 XDG_CURRENT_DESKTOP=GNOME XDG_CONFIG_HOME="$settings")
fi
start_xvfb
cd "$root/examples"
env "${environment[@]}" "$program" &
app=$!
trap 'kill "$app" 2>/dev/null || true; stop_xvfb; rm -rf "$settings"' EXIT
window=$(wait_for_window Quorvale)
# Let the lists paint before grabbing.
sleep 1
import -window "$window" "$out"
echo "wrote $out ($(identify -format '%wx%h' "$out"))"
