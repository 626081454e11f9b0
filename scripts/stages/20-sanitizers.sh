#!/usr/bin/env bash
# Builds every test and the fuzz targets with Clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (any report stops the process), runs the tests,
# then gives each fuzz target a short libFuzzer run from its seed corpus.
#
# QUORVALE_FUZZ_SECONDS sets the time per target (default 30; 0 skips).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/lib/packages.sh"
ensure_build_packages
ensure_packages clang-14 libclang-rt-14-dev

build="$root/build-sanitizers"
jobs=$(nproc)
fuzz_seconds=${QUORVALE_FUZZ_SECONDS:-30}
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all"
start=$SECONDS

# fuzzer-no-link gives the libraries the coverage hooks that libFuzzer needs;
# in the test binaries they cost a little speed and nothing else.
CXX=clang++-14 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUORVALE_BUILD_BENCH=OFF -DQUORVALE_LIBFUZZER=ON \
    "-DCMAKE_CXX_FLAGS=$sanitize -fsanitize=fuzzer-no-link -fno-omit-frame-pointer" \
    "-DCMAKE_EXE_LINKER_FLAGS=$sanitize"
cmake --build "$build" -j"$jobs"

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir "$build" --output-on-failure -j"$jobs"
echo "sanitizer tests: $((SECONDS - start)) s"

if [[ $fuzz_seconds -gt 0 ]]; then
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    for target in reader run stages; do
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
            exit 1
        }
        grep -E "number_of_executed_units" "$scratch/$target.log" | sed "s/^/fuzz_$target /"
    done
fi
echo "sanitizer stage: $((SECONDS - start)) s"
