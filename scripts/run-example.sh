#!/usr/bin/env bash
# Installs what is missing, builds Quorvale and runs it on the shipped
# example data: in a window when there is a display, otherwise as text.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/packages.sh"
ensure_build_packages

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DQUORVALE_BUILD_TESTS=OFF
cmake --build "$root/build" -j"$(nproc)" --target quorvale

cd "$root/examples"
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    exec "$root/build/app/quorvale"
fi
echo "(no display: printing the lists as text)"
exec "$root/build/app/quorvale" --text
