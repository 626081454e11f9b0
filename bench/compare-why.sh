#!/usr/bin/env bash
# quorvale --why against quorvale --text, side by side in one run, on N
# records from make-data.py (default one million), output to a file. The two
# take turns, RUNS times each (default 5), so that both see the same machine
# load; prints the median wall time, peak memory and processor time (user and
# system) of each, and the ratios of --why to --text.
#
# Usage: bench/compare-why.sh BUILD_DIR [N] [RUNS]
#   BUILD_DIR holds app/quorvale.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-$here/../build}")
count=${2:-1000000}
runs=${3:-5}
quorvale=$build/app/quorvale

if [[ ! -x /usr/bin/time ]]; then
    echo "compare-why: /usr/bin/time is missing (apt-get install time)" >&2
    exit 1
fi
[[ -x $quorvale ]] || { echo "compare-why: $quorvale is not built" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/make-data.py" "$count" "$work/Data.txt"
echo "data: $count records, $(du -h "$work/Data.txt" | cut -f1); $runs runs each; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"

source "$here/timing.sh"

for ((i = 0; i < runs; i++)); do
    timed text "$quorvale" --text "$work/Data.txt"
    timed why "$quorvale" --why "$work/Data.txt"
done

# --why must print what --text prints, then its reasons.
text_bytes=$(stat -c %s "$work/text.out")
cmp -s -n "$text_bytes" "$work/text.out" "$work/why.out" ||
    { echo "compare-why: --why does not begin with the output of --text" >&2; exit 1; }
reasons=$(($(tail -c +"$((text_bytes + 1))" "$work/why.out" | wc -l) - 2))
echo "--why adds $reasons reason lines, $(($(stat -c %s "$work/why.out") - text_bytes)) bytes"

cpu() {
    awk '{print $3 + $4}' "$work/$1.times" | sort -g | awk '{v[NR]=$1} END{print v[int((NR+1)/2)]}'
}

printf '%-18s %9s %10s %9s\n' "" "wall (s)" "peak (MB)" "cpu (s)"
for name in text why; do
    printf '%-18s %9s %10d %9s\n' "quorvale --$name" "$(median "$name" 1)" \
        $(($(median "$name" 2) / 1024)) "$(cpu "$name")"
done
awk -v t="$(median text 1)" -v w="$(median why 1)" -v tm="$(median text 2)" \
    -v wm="$(median why 2)" -v tc="$(cpu text)" -v wc="$(cpu why)" 'BEGIN {
    printf "--why / --text: wall %.2f, peak memory %.2f, processor time %.2f\n", w / t, wm / tm, wc / tc
}'
