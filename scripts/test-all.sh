#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: each stage
# under scripts/stages/ in the order of their names, from the release build's
# tests to the Windows builds under Wine and the packages. Every stage
# configures its own build folder with all options set, so earlier runs
# cannot change what is tested. Ends with "N passed, M failed"; the status is
# 0 only when nothing failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export QUORVALE_TALLY
QUORVALE_TALLY=$(mktemp)
trap 'rm -f "$QUORVALE_TALLY"' EXIT

sum_column() { awk -v c="$1" '{ s += $c } END { print s + 0 }' "$QUORVALE_TALLY"; }

failed_stages=()
for stage in "$root"/scripts/stages/*.sh; do
    name=$(basename "$stage" .sh)
    echo "=== stage $name"
    passed_before=$(sum_column 1)
    failed_before=$(sum_column 2)
    skipped_before=$(sum_column 3)
    started=$SECONDS
    status=0
    bash "$stage" || status=$?
    passed=$(($(sum_column 1) - passed_before))
    failed=$(($(sum_column 2) - failed_before))
    if [[ $status -ne 0 && $failed -eq 0 ]]; then
        # It stopped before a test could fail, in its build or set-up.
        echo "0 1 0" >>"$QUORVALE_TALLY"
        failed=1
    fi
    [[ $status -ne 0 || $failed -ne 0 ]] && failed_stages+=("$name")
    skipped=$(($(sum_column 3) - skipped_before))
    echo "=== stage $name: $passed passed, $failed failed, $skipped skipped, $((SECONDS - started)) s"
done

[[ ${#failed_stages[@]} -eq 0 ]] || echo "failed stages: ${failed_stages[*]}"
[[ $(sum_column 3) -eq 0 ]] || echo "$(sum_column 3) tests skipped (counted neither as passed nor as failed)"
echo "$(sum_column 1) passed, $(sum_column 2) failed"
[[ ${#failed_stages[@]} -eq 0 ]]
