#!/usr/bin/env bash
# Builds the unit tests with ThreadSanitizer and runs them: the work split
# over two threads on large tables must not race.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib/packages.sh"
source "$root/scripts/lib/tally.sh"
ensure_build_packages
ensure_packages clang-14 libclang-rt-14-dev

cd "$root"
cmake --preset tsan
cmake --build --preset tsan -j"$(nproc)"
run_ctest --preset tsan -j"$(nproc)"
