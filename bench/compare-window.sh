#!/usr/bin/env bash
# The load ending in the painted window against the same load ending in the
# lists written as text, at a million records: window_paint_bench's two
# whole-run benchmarks, one iteration each, taking turns RUNS times (default
# 7) so that each pair sees the same machine load. Prints the medians of
# each and of the pairs' differences, in milliseconds.
#
# Usage: bench/compare-window.sh BUILD_DIR [RUNS]
#   Needs a display, or QT_QPA_PLATFORM=offscreen.
set -euo pipefail
build=$(realpath "${1:-$(dirname "$0")/../build}")
runs=${2:-7}
bench=$build/bench/window_paint_bench
[[ -x $bench ]] || { echo "compare-window: $bench is not built" >&2; exit 1; }

# The program takes 2 MiB pages for a big file's heap where the kernel gives
# them on request (platform/runtime/src/Memory.cpp); the benchmark, which
# does not go through the program's start, gets them from glibc's tunable.
export GLIBC_TUNABLES=${GLIBC_TUNABLES:-glibc.malloc.hugetlb=1}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

one() { # FILTER: the real time of one iteration, in ms
    "$bench" --benchmark_filter="$1" --benchmark_min_time=0.01 2>/dev/null |
        awk '/^BM_/ {print $2}'
}

for ((i = 0; i < runs; i++)); do
    window=$(one 'LoadThenShowWindow/1000000/0/')
    text=$(one 'LoadThenWriteText/1000000/')
    echo "$window $text" >>"$work/pairs"
done

median() { # COLUMN-EXPRESSION
    awk "{print $1}" "$work/pairs" | sort -g | awk '{v[NR]=$1} END{print v[int((NR+1)/2)]}'
}
echo "1,000,000 records, $runs runs each; medians in ms"
echo "load, then window painted: $(median '$1')"
echo "load, then text written:   $(median '$2')"
echo "difference (per pair):     $(median '$1 - $2')"
