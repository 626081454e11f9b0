#!/usr/bin/env bash
# Runs the program in text mode on every case under cases/ and compares the
# whole standard output, the exit status and the error message.
#
# usage: run-cases.sh CASES_DIR PROGRAM [PROGRAM_ARGS...]
#   Each case directory holds Data.txt (optional: a missing file is a case
#   too), and either expected.out (status 0, exact stdout) or expected.err
#   (status 1, empty stdout, stderr containing that text). An optional file
#   named options holds the options to run with instead of --text.
set -u
cases_dir=$1
shift
program=("$@")

passed=0
failed=0
for case_dir in "$cases_dir"/*/; do
    name=$(basename "$case_dir")
    work=$(mktemp -d)
    [[ -e "$case_dir/Data.txt" ]] && cp "$case_dir/Data.txt" "$work/"
    options=(--text)
    [[ -f "$case_dir/options" ]] && read -r -a options <"$case_dir/options"
    (cd "$work" && timeout 20 "${program[@]}" "${options[@]}" </dev/null >stdout 2>stderr)
    status=$?
    # Wine writes its own chatter to stderr; keep only our report lines.
    ok=1
    if [[ -f "$case_dir/expected.out" ]]; then
        [[ $status -eq 0 ]] || { echo "$name: status $status, expected 0"; ok=0; }
        cmp -s "$work/stdout" "$case_dir/expected.out" ||
            { echo "$name: output differs"; diff "$case_dir/expected.out" "$work/stdout" | head -20; ok=0; }
    else
        expected_err=$(cat "$case_dir/expected.err")
        [[ $status -eq 1 ]] || { echo "$name: status $status, expected 1"; ok=0; }
        [[ -s "$work/stdout" ]] && { echo "$name: standard output is not empty"; ok=0; }
        grep -qF -- "quorvale: " "$work/stderr" || { echo "$name: no report on stderr"; ok=0; }
        grep -qF -- "$expected_err" "$work/stderr" ||
            { echo "$name: stderr lacks '$expected_err':"; cat "$work/stderr"; ok=0; }
    fi
    if [[ $ok -eq 1 ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
    rm -rf "$work"
done
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
