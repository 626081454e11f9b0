#!/usr/bin/env bash
# Feeds the program hostile data files in text mode. Every case must end
# promptly with status 1 (no signal, no timeout), a report on standard error
# that names Data.txt, and nothing on standard output.
#
# usage: run-hostile.sh [--no-memory-limit] PROGRAM
#   --no-memory-limit skips the address-space limit of the huge-count case
#   (AddressSanitizer reserves far more address space than any limit).
set -u
memory_limit=1
if [[ ${1:-} == --no-memory-limit ]]; then
    memory_limit=0
    shift
fi
program=$(realpath "$1")
limit_kib=$((1024 * 1024))

passed=0
failed=0
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT

# Deterministic junk, so a failure can be replayed.
junk_bytes() {
    local count=$1 i
    RANDOM=$2
    for ((i = 0; i < count; i++)); do
        printf "\\$(printf '%03o' $((RANDOM % 256)))"
    done
}

# Runs one case; the setup command runs in the case's empty directory.
check() {
    local name=$1 setup=$2 limit=${3:-}
    local dir="$work/$name"
    mkdir -p "$dir"
    (cd "$dir" && eval "$setup")
    local status
    (
        cd "$dir" || exit 99
        [[ -n $limit ]] && ulimit -v "$limit"
        exec timeout 5 "$program" --text </dev/null >"$work/$name.out" 2>"$work/$name.err"
    )
    status=$?
    local problems=()
    [[ $status -eq 124 ]] && problems+=("did not end within 5 s")
    [[ $status -gt 128 ]] && problems+=("killed by signal $((status - 128))")
    [[ $status -ne 1 ]] && problems+=("status $status, expected 1")
    [[ -s "$work/$name.out" ]] && problems+=("standard output is not empty")
    grep -q "^quorvale: .*Data\.txt" "$work/$name.err" ||
        problems+=("no report naming Data.txt")
    if [[ ${#problems[@]} -eq 0 ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "$name: ${problems[*]}"
        head -c 400 "$work/$name.err"
    fi
}

check missing-file ':'
check directory 'mkdir Data.txt'
check empty-file ': >Data.txt'
check only-blanks 'printf "  \t\r\n \n\n   " >Data.txt'
check count-without-records 'printf "3\n" >Data.txt'
check short-file 'printf "2\n1,2,3,4\n5,6\n" >Data.txt'
if [[ $memory_limit -eq 1 ]]; then
    check two-billion-one-record 'printf "2000000000\n1,2,3,4\n" >Data.txt' "$limit_kib"
else
    check two-billion-one-record 'printf "2000000000\n1,2,3,4\n" >Data.txt'
fi
check count-beyond-32-bits 'printf "4294967297\n1,2,3,4\n" >Data.txt'
check count-just-beyond-32-bits 'printf "2147483648\n1,2,3,4\n" >Data.txt'
check field-beyond-32-bits 'printf "1\n1,-2147483649,3,4\n" >Data.txt'
check fraction 'printf "1\n1.5,2,3,4\n" >Data.txt'
check lone-sign 'printf "1\n-,2,3,4\n" >Data.txt'
check hex 'printf "1\n0x1F,2,3,4\n" >Data.txt'
check empty-value 'printf "1\n1,,2,3,4\n" >Data.txt'
check nul-bytes 'printf "1\n1,2\0003,4\n" >Data.txt'
check random-bytes 'junk_bytes 4096 7 >Data.txt'
check utf16 'printf "\377\376""1\000\n\000""1\000,\0002\000,\0003\000,\0004\000" >Data.txt'
check megabyte-of-digits 'head -c 1048576 /dev/zero | tr "\0" "7" >Data.txt'
check link-to-dev-zero 'ln -s /dev/zero Data.txt'

# Memory goes with what the file holds: a small file runs in 128 MiB of
# address space, shared libraries included.
if [[ $memory_limit -eq 1 ]]; then
    if (
        ulimit -v $((128 * 1024))
        cd "$work" && printf "2\n1,2,3,4\n5,6,7,8\n" >small.txt &&
            timeout 5 "$program" --text small.txt >small.out 2>small.err
    ) && grep -qx "\[00001\]   5-6-7" "$work/small.out"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "small-file-in-128-MiB: failed"
        head -c 400 "$work/small.err"
    fi
fi

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
