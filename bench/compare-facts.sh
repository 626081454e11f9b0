#!/usr/bin/env bash
# What keeping the facts behind the lines' tips costs a window run at a
# million records: window_paint_bench's load-then-show benchmark without
# tips, with the form showing tips (the stages keep their reasons and
# pairing its groups), and with the first Input tip asked for too (which
# finds every record's place), each in its own process, taking turns RUNS
# times (default 7).
# Prints the medians of the run's time and of the process's peak memory.
#
# Usage: bench/compare-facts.sh BUILD_DIR [RUNS]
#   Needs a display, or QT_QPA_PLATFORM=offscreen, and /usr/bin/time.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-$here/../build}")
runs=${2:-7}
bench=$build/bench/window_paint_bench
[[ -x $bench ]] || { echo "compare-facts: $bench is not built" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "compare-facts: /usr/bin/time is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

one() { # NAME TIPS: appends "ms peakKiB" to $work/NAME
    /usr/bin/time -f '%M' -o "$work/peak" "$bench" \
        --benchmark_filter="LoadThenShowWindow/1000000/$2/" --benchmark_min_time=0.01 \
        2>/dev/null | awk '/^BM_/ {printf "%s ", $2}' >>"$work/$1"
    cat "$work/peak" >>"$work/$1"
}

one without 0 # writes the data file once, outside the timed runs
: >"$work/without"
for ((i = 0; i < runs; i++)); do
    one without 0
    one with 1
    one with-tip 2
done

median() { # NAME COLUMN
    sort -g -k"$2","$2" "$work/$1" | awk -v c="$2" '{v[NR]=$c} END{print v[int((NR+1)/2)]}'
}
echo "1,000,000 records, $runs runs each; medians"
printf '%-22s %9s %10s\n' "" "time (ms)" "peak (MB)"
for name in without with with-tip; do
    printf '%-22s %9s %10d\n' "facts $name" "$(median "$name" 1)" $(($(median "$name" 2) / 1024))
done
awk -v t0="$(median without 1)" -v t1="$(median with 1)" -v m0="$(median without 2)" \
    -v m1="$(median with 2)" -v t2="$(median with-tip 1)" -v m2="$(median with-tip 2)" 'BEGIN {
    printf "with / without: time %.3f, peak memory %.3f\n", t1 / t0, m1 / m0
    printf "with-tip / without: time %.3f, peak memory %.3f\n", t2 / t0, m2 / m0
}'
