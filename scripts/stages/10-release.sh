#!/usr/bin/env bash
# The release build with every test, benchmark and fuzz replayer: unit
# tests, end-to-end cases, the window on Qt's offscreen platform, hostile
# data files and the fuzz corpora.
source "$(dirname "$0")/../lib/stage.sh"
ensure_build_packages
ensure_packages strace # the hostile suite counts execve calls; the check that a run writes nothing

cmake --preset release
cmake --build --preset release -j"$(nproc)"
run_ctest --preset release -j"$(nproc)"
