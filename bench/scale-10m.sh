#!/usr/bin/env bash
# Ten million records in text mode: shows the run completes within 2 GiB.
# Prints the wall time and the peak resident set size. Not part of CI.
#
# usage: bench/scale-10m.sh PROGRAM [RECORDS]
set -euo pipefail
program=$(realpath "$1")
records=${2:-10000000}
limit_kib=$((2 * 1024 * 1024))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Mostly valid records in many keys, with some out of range (rejected) and
# keys whose Value1 varies (rejected as a whole), so every stage has work.
awk -v n="$records" 'BEGIN {
    srand(42)
    print n
    for (i = 0; i < n; i++) {
        key = int(rand() * n / 4)
        v1 = (key % 48) + 1
        v2 = int(rand() * 7) + 1
        if (rand() < 0.01) v1 = 60
        if (key % 97 == 0) v1 = int(rand() * 48) + 1
        printf "%d,%d,%d,%d\n", v1, v2, key, i
    }
}' >"$work/Data.txt"
echo "data file: $(du -h "$work/Data.txt" | cut -f1), $records records"

cd "$work"
/usr/bin/time -v "$program" --text >/dev/null 2>"$work/time.txt" || {
    cat "$work/time.txt"
    exit 1
}
wall=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' time.txt)
peak_kib=$(sed -n 's/.*Maximum resident set size (kbytes): //p' time.txt)
echo "wall time: $wall"
echo "peak RSS: $((peak_kib / 1024)) MiB (limit $((limit_kib / 1024)) MiB)"
[[ $peak_kib -le $limit_kib ]]
