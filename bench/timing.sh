# Timing shared by the comparison scripts; needs $work, a scratch folder.

# Large pages faulted in so far, machine-wide. The kernel here gives them
# only to memory marked for them, which few programs but the one measured do.
large_faults() {
    awk '$1 == "thp_fault_alloc" { print $2 }' /proc/vmstat
}

# One timed run: appends "wall peakKiB user system freshKiB" to
# $work/NAME.times and keeps its output in $work/NAME.out. Fresh memory is
# what the kernel faulted in for the run: each large-page fault 2 MiB, each
# other page fault of the program 4 KiB; memory taken, freed and taken again
# counts each time.
timed() { # NAME COMMAND...
    local name=$1 before after
    shift
    before=$(large_faults)
    /usr/bin/time -f '%e %M %U %S %R' -o "$work/time" "$@" >"$work/$name.out" 2>/dev/null
    after=$(large_faults)
    awk -v large=$((after - before)) \
        '{ print $1, $2, $3, $4, large * 2048 + ($5 - large) * 4 }' "$work/time" >>"$work/$name.times"
}

median() { # NAME COLUMN
    sort -g -k"$2","$2" "$work/$1.times" | awk -v c="$2" '{v[NR]=$c} END{print v[int((NR+1)/2)]}'
}
