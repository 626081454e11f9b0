# Counts of what the stages run, so that test-all.sh can end with one line
# "N passed, M failed". QUORVALE_TALLY names a file of "passed failed
# skipped" lines; without it nothing is kept.

tally() { # PASSED FAILED [SKIPPED]
    [[ -n ${QUORVALE_TALLY:-} ]] && echo "$1 $2 ${3:-0}" >>"$QUORVALE_TALLY"
    return 0
}

# ctest with the given arguments; its pass and fail counts go to the tally.
# A run that lists no test counts as a failure: nothing ran. Skipped tests
# are counted apart, never as passed.
run_ctest() {
    local log status=0
    log=$(mktemp)
    ctest "$@" 2>&1 | tee "$log" || status=$?
    local summary failed total skipped
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
    skipped=$(grep -cE '^\s+[0-9]+ - .* \(Skipped\)$' "$log" || true)
    rm -f "$log"
    if [[ -z $summary ]]; then
        echo "ctest ran no test"
        tally 0 1
        return 1
    fi
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$summary")
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
    tally $((total - failed - skipped)) "$failed" "$skipped"
    return "$status"
}

# One named check: a command that passes or fails as a whole.
check() { # NAME COMMAND...
    local name=$1
    shift
    if "$@"; then
        echo "ok: $name"
        tally 1 0
    else
        echo "FAILED: $name"
        tally 0 1
        return 1
    fi
}
