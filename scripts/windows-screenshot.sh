#!/usr/bin/env bash
# Regenerates docs/screenshot-wine.png: the Windows build on the example data
# under Wine and Xvfb. Also checks the window: title "Quorvale", client area
# 655 x 309 at 96 dpi.
# usage: windows-screenshot.sh [BUILD_DIR]   (default: build-windows-x64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/packages.sh"
ensure_packages xvfb xauth x11-utils imagemagick
exe="${1:-$root/build-windows-x64}/app/quorvale.exe"
[[ -f "$exe" ]] || { echo "build the Windows target first (scripts/stages/40-windows.sh)"; exit 1; }
exe=$(realpath "$exe")

export WINEPREFIX WINEDEBUG=-all
WINEPREFIX=$(mktemp -d)
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX" "$work"' EXIT
DISPLAY='' wineboot -i </dev/null >/dev/null 2>&1 || true
wineserver -w # its desktop must not outlive the display-less boot
cp "$root/examples/Data.txt" "$work/"

xvfb-run -a -s "-screen 0 800x420x24 -dpi 96 -noreset" bash -c '
    set -euo pipefail
    cd "$1"
    wine "$2" </dev/null >/dev/null 2>&1 &
    for _ in $(seq 300); do
        xwininfo -name Quorvale >/dev/null 2>&1 && break
        sleep 0.2
    done
    sleep 2
    info=$(xwininfo -name Quorvale)
    echo "$info" | grep -E "Window id|Width|Height"
    width=$(echo "$info" | sed -n "s/^ *Width: //p")
    height=$(echo "$info" | sed -n "s/^ *Height: //p")
    [[ $width -eq 655 && $height -eq 309 ]] || { echo "client area is ${width}x${height}"; exit 1; }
    id=$(echo "$info" | sed -n "s/^xwininfo: Window id: \(0x[0-9a-f]*\).*/\1/p")
    import -window "$id" "$3"
    wineserver -k
' _ "$work" "$exe" "$work/shot.png"
mkdir -p "$root/docs"
cp "$work/shot.png" "$root/docs/screenshot-wine.png"
echo "wrote docs/screenshot-wine.png"
