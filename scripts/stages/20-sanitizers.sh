#!/usr/bin/env bash
# Builds every test and the fuzz targets with Clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (any report stops the process), runs the tests,
# then gives each fuzz target a short libFuzzer run from its seed corpus.
#
# QUORVALE_FUZZ_SECONDS sets the time per target (default 30; 0 skips).
source "$(dirname "$0")/../lib/stage.sh"
ensure_build_packages
ensure_packages clang-14 libclang-rt-14-dev strace

build="$root/build-sanitizers"
fuzz_seconds=${QUORVALE_FUZZ_SECONDS:-30}

# The preset adds fuzzer-no-link: the libraries get the coverage hooks that
# libFuzzer needs; in the test binaries they cost a little speed only.
cmake --preset asan
cmake --build --preset asan -j"$(nproc)"
run_ctest --preset asan -j"$(nproc)"

# Fuzzes one target; a finding prints the failing input in base64.
fuzz_target() { # TARGET
    local target=$1
    # New inputs go to scratch; the seed corpus in the tree stays as it is.
    mkdir -p "$scratch/$target"
    "$build/fuzz/fuzz_$target" -max_total_time="$fuzz_seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$scratch/" \
        "$scratch/$target" "$root/fuzz/corpus/$target" 2>"$scratch/$target.log" || {
        tail -60 "$scratch/$target.log"
        echo "fuzz_$target found a failing input:"
        for artifact in "$scratch"/crash-* "$scratch"/leak-* "$scratch"/timeout-* "$scratch"/oom-*; do
            [[ -e $artifact ]] && { echo "$artifact"; base64 "$artifact"; }
        done
        return 1
    }
    grep -E "number_of_executed_units" "$scratch/$target.log" | sed "s/^/fuzz_$target /"
}

if [[ $fuzz_seconds -gt 0 ]]; then
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    for target in reader run stages; do
        check "fuzz_$target for $fuzz_seconds s" fuzz_target "$target"
    done
fi
