#!/usr/bin/env bash
# Runs the program on the example data, once successfully and once on a
# failing file, and checks that its working directory is byte-identical
# afterwards: no file created, changed, removed or touched in its mode.
#
# usage: check-nothing-written.sh PROGRAM DATA_FILE
set -u
program=$(realpath "$1")
data=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# Name, type, size, mode and content hash of everything under the directory.
snapshot() {
    (cd "$1" && find . -printf '%p %y %s %m\n' | sort && find . -type f -exec sha256sum {} + | sort)
}

run_in() {
    local name=$1 expected=$2 dir="$work/$1"
    local before after status
    before=$(snapshot "$dir")
    (cd "$dir" && timeout 20 "$program" --text </dev/null >"$work/$name.out" 2>"$work/$name.err")
    status=$?
    after=$(snapshot "$dir")
    if [[ $status -ne $expected ]]; then
        echo "$name: status $status, expected $expected"
        failed=1
    fi
    if [[ "$before" != "$after" ]]; then
        echo "$name: the working directory changed:"
        diff <(echo "$before") <(echo "$after")
        failed=1
    fi
}

mkdir -p "$work/success/sub" "$work/failure"
cp "$data" "$work/success/Data.txt"
echo "unrelated" >"$work/success/sub/notes"
chmod 444 "$work/success/Data.txt"
printf '3\n1,2,3,4\n' >"$work/failure/Data.txt"
run_in success 0
[[ -s "$work/success.out" ]] || { echo "success: no output"; failed=1; }
run_in failure 1
[[ $failed -eq 0 ]] && echo "working directory unchanged"
exit $failed
