# Timing shared by the comparison scripts; needs $work, a scratch folder.

# Page faults so far, machine-wide: "large small", large ones being 2 MiB
# pages the kernel zeroed for a fault, small ones every other fault.
faults() {
    awk '$1 == "pgfault" { all = $2 } $1 == "thp_fault_alloc" { large = $2 }
         END { print large + 0, all - large }' /proc/vmstat
}

# One timed run: appends "wall peakKiB user system freshKiB" to
# $work/NAME.times and keeps its output in $work/NAME.out. Fresh memory is
# what the kernel faulted in during the run (large faults x 2 MiB plus small
# faults x 4 KiB): memory taken, freed and taken again counts each time. It
# is read machine-wide, so it is only as exact as the machine is quiet.
timed() { # NAME COMMAND...
    local name=$1 before after
    shift
    before=$(faults)
    /usr/bin/time -f '%e %M %U %S' -o "$work/time" "$@" >"$work/$name.out" 2>/dev/null
    after=$(faults)
    read -r largeBefore smallBefore <<<"$before"
    read -r largeAfter smallAfter <<<"$after"
    echo "$(cat "$work/time") $(((largeAfter - largeBefore) * 2048 + (smallAfter - smallBefore) * 4))" \
        >>"$work/$name.times"
}

median() { # NAME COLUMN
    sort -g -k"$2","$2" "$work/$1.times" | awk -v c="$2" '{v[NR]=$c} END{print v[int((NR+1)/2)]}'
}
