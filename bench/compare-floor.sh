#!/usr/bin/env bash
# Text mode against the two floors and GNU sort, side by side in one run, on
# N records from make-data.py (default one million), output to a file. Each
# program runs RUNS times (default 5), the four taking turns so that all see
# the same machine load; prints the median wall time and median peak memory
# and processor time (user and system) of each, the fresh memory faulted in,
# and the ratios to the floors and to sort. With QUORVALE_BASELINE naming
# another build's program, that one takes its turn too ("before"), so that a
# change is measured against what it changes in the same run.
#
# Usage: bench/compare-floor.sh BUILD_DIR [N] [RUNS]
#   BUILD_DIR holds app/quorvale, bench/quorvale_floor and
#   bench/quorvale_sorting_floor.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-$here/../build}")
count=${2:-1000000}
runs=${3:-5}
quorvale=$build/app/quorvale
floor=$build/bench/quorvale_floor
sorting=$build/bench/quorvale_sorting_floor

if [[ ! -x /usr/bin/time ]]; then
    echo "compare-floor: /usr/bin/time is missing (apt-get install time)" >&2
    exit 1
fi
for program in "$quorvale" "$floor" "$sorting"; do
    [[ -x $program ]] || { echo "compare-floor: $program is not built" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/make-data.py" "$count" "$work/Data.txt"
# The count line would be sorted too; GNU sort gets the records alone.
tail -n +2 "$work/Data.txt" >"$work/records.txt"
echo "data: $count records, $(du -h "$work/Data.txt" | cut -f1); $runs runs each; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"

source "$here/timing.sh"

baseline=${QUORVALE_BASELINE:-}
names=(quorvale floor sorting large sort)
[[ -n $baseline ]] && names=(baseline "${names[@]}")
for ((i = 0; i < runs; i++)); do
    [[ -z $baseline ]] || timed baseline "$baseline" --text "$work/Data.txt"
    timed quorvale "$quorvale" --text "$work/Data.txt"
    timed floor "$floor" "$work/Data.txt"
    timed sorting "$sorting" "$work/Data.txt"
    # The program runs with glibc's large pages where the kernel gives them
    # on request; the same sorting floor with them shows what they alone are
    # worth.
    GLIBC_TUNABLES=glibc.malloc.hugetlb=1 timed large "$sorting" "$work/Data.txt"
    LC_ALL=C timed sort sort -t, -k2,2n "$work/records.txt"
done


printf '%-32s %9s %10s %10s %9s\n' "" "wall (s)" "peak (MB)" "fresh (MB)" "cpu (s)"
for name in "${names[@]}"; do
    label=$name
    [[ $name == baseline ]] && label="before (QUORVALE_BASELINE) --text"
    [[ $name == quorvale ]] && label="quorvale --text"
    [[ $name == floor ]] && label="floor (parse, print twice)"
    [[ $name == sorting ]] && label="sorting floor (also sorts)"
    [[ $name == large ]] && label="sorting floor, large pages"
    [[ $name == sort ]] && label="LC_ALL=C sort -t, -k2,2n"
    cpu=$(awk '{print $3 + $4}' "$work/$name.times" | sort -g | awk '{v[NR]=$1} END{print v[int((NR+1)/2)]}')
    printf '%-32s %9s %10d %10d %9s\n' "$label" "$(median "$name" 1)" $(($(median "$name" 2) / 1024)) \
        $(($(median "$name" 5) / 1024)) "$cpu"
done
q=$(median quorvale 1)
f=$(median floor 1)
g=$(median sorting 1)
l=$(median large 1)
s=$(median sort 1)
qm=$(median quorvale 2)
qf=$(median quorvale 5)
fm=$(median floor 2)
awk -v q="$q" -v f="$f" -v g="$g" -v l="$l" -v s="$s" -v qm="$qm" -v qf="$qf" -v fm="$fm" 'BEGIN {
    printf "quorvale / sorting floor: wall %.2f (%.2f against it with large pages)\n", q / g, q / l
    printf "quorvale / floor:         wall %.2f, peak memory %.2f\n", q / f, qm / fm
    printf "quorvale / sort:          wall %.2f\n", q / s
    printf "quorvale fresh / peak:    %.2f\n", qf / qm
}'
if [[ -n $baseline ]]; then
    cmp -s "$work/baseline.out" "$work/quorvale.out" || echo "the two programs' outputs differ"
    b=$(median baseline 1)
    bm=$(median baseline 2)
    awk -v q="$q" -v b="$b" -v qm="$qm" -v bm="$bm" \
        'BEGIN { printf "quorvale / before:        wall %.3f, peak memory %.3f\n", q / b, qm / bm }'
fi
