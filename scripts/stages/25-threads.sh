#!/usr/bin/env bash
# Builds the unit tests with Clang and ThreadSanitizer and runs them (any
# report stops the process): text mode formats long lists on two threads.
source "$(dirname "$0")/../lib/stage.sh"
ensure_build_packages
ensure_packages clang-14 libclang-rt-14-dev

cmake --preset tsan
cmake --build --preset tsan -j"$(nproc)"
run_ctest --preset tsan -j"$(nproc)"
