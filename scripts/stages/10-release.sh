#!/usr/bin/env bash
# The release build with every test, benchmark and fuzz replayer: unit
# tests, end-to-end cases, the window on Qt's offscreen platform, hostile
# data files and the fuzz corpora.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib/packages.sh"
source "$root/scripts/lib/tally.sh"
ensure_build_packages

cd "$root"
cmake --preset release
cmake --build --preset release -j"$(nproc)"
run_ctest --preset release -j"$(nproc)"
