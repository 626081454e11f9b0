#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the
# unit and end-to-end tests, then each extra stage under scripts/stages/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/packages.sh"
ensure_build_packages

jobs=$(nproc)
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$root/build" -j"$jobs"
ctest --test-dir "$root/build" --output-on-failure -j"$jobs"

for stage in "$root"/scripts/stages/*.sh; do
    [[ -e "$stage" ]] || continue
    echo "=== stage: $(basename "$stage")"
    bash "$stage"
done
echo "All tests passed."
