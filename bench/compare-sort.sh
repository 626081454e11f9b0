#!/usr/bin/env bash
# Times `quorvale --text` on N records (default one million) side by side
# with GNU sort ordering the same file by its second field, in one run, and
# prints the ratio and each one's peak memory.
#
# Usage: bench/compare-sort.sh [QUORVALE] [N] [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=${1:-$here/../build/app/quorvale}
count=${2:-1000000}
runs=${3:-5}

if [[ ! -x /usr/bin/time ]]; then
    echo "compare-sort: /usr/bin/time is missing (apt-get install time)" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/make-data.py" "$count" "$work/Data.txt"
# The count line would be sorted too; GNU sort gets the records alone.
tail -n +2 "$work/Data.txt" >"$work/records.txt"
echo "data: $count records, $(du -h "$work/Data.txt" | cut -f1)"

# Runs a command RUNS times, output discarded; prints the best wall time
# in seconds and the largest peak resident size in KiB.
measure() {
    local best="" peak=0
    for ((i = 0; i < runs; i++)); do
        /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null
        read -r wall rss <"$work/time"
        if [[ -z "$best" ]] || awk "BEGIN{exit !($wall < $best)}"; then best=$wall; fi
        ((rss > peak)) && peak=$rss
    done
    echo "$best $peak"
}

# Alternate the two so that both see the same machine load.
read -r sortTime sortPeak < <(LC_ALL=C measure sort -t, -k2,2n "$work/records.txt")
read -r ourTime ourPeak < <(measure "$program" --text "$work/Data.txt")
read -r sortTime2 sortPeak2 < <(LC_ALL=C measure sort -t, -k2,2n "$work/records.txt")
sortTime=$(awk "BEGIN{print ($sortTime2 < $sortTime) ? $sortTime2 : $sortTime}")
((sortPeak2 > sortPeak)) && sortPeak=$sortPeak2

printf '%-28s %8s s  peak %6d MB\n' "LC_ALL=C sort -t, -k2,2n" "$sortTime" $((sortPeak / 1024))
printf '%-28s %8s s  peak %6d MB\n' "quorvale --text" "$ourTime" $((ourPeak / 1024))
awk "BEGIN{printf \"ratio quorvale / sort: %.2f\\n\", $ourTime / $sortTime}"
