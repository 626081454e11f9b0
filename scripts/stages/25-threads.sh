#!/usr/bin/env bash
# Builds the unit tests with ThreadSanitizer and runs those that take the
# two-thread paths of large tables (and the rest, which costs little more):
# the work split over two threads must not race.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib/packages.sh"
ensure_build_packages
ensure_packages clang-14 libclang-rt-14-dev

build="$root/build-threads"
start=$SECONDS
CXX=clang++-14 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUORVALE_BUILD_BENCH=OFF -DQUORVALE_BUILD_FUZZ=OFF \
    "-DCMAKE_CXX_FLAGS=-fsanitize=thread" "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread"
cmake --build "$build" -j"$(nproc)" --target quorvale_tests
TSAN_OPTIONS=halt_on_error=1:abort_on_error=1 "$build/tests/quorvale_tests" --gtest_brief=1
echo "thread sanitizer stage: $((SECONDS - start)) s"
