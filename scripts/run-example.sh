#!/usr/bin/env bash
# Installs what is missing, builds Quorvale and runs it on the shipped
# example data: in a window when there is a display, otherwise as text.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/packages.sh"
ensure_build_packages

# The release preset sets every option, so this shares build/ with the test
# command without changing what it builds; only the program is built here.
(cd "$root" && cmake --preset release && cmake --build --preset release -j"$(nproc)" --target quorvale)

cd "$root/examples"
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    exec "$root/build/app/quorvale"
fi
echo "(no display: printing the lists as text)"
exec "$root/build/app/quorvale" --text
