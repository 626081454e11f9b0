# Timing shared by the comparison scripts; needs $work, a scratch folder.

# One timed run: appends "wall peakKiB user system" to $work/NAME.times and
# keeps its output in $work/NAME.out.
timed() { # NAME COMMAND...
    local name=$1
    shift
    /usr/bin/time -f '%e %M %U %S' -o "$work/time" "$@" >"$work/$name.out" 2>/dev/null
    cat "$work/time" >>"$work/$name.times"
}

median() { # NAME COLUMN
    sort -g -k"$2","$2" "$work/$1.times" | awk -v c="$2" '{v[NR]=$c} END{print v[int((NR+1)/2)]}'
}
