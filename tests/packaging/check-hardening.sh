#!/usr/bin/env bash
# Each ELF binary is hardened as Debian's own are (what hardening-check
# looks for): position-independent, its relocations read-only after
# immediate binding (full RELRO), compiled with the stack protector and
# with _FORTIFY_SOURCE (calls to glibc's checked functions). Works on
# stripped binaries: it reads only headers and dynamic symbols.
#
# usage: check-hardening.sh BINARY...
set -u
failed=0
for binary in "$@"; do
    problems=()
    header=$(readelf -hW "$binary" 2>&1) || { echo "FAILED $binary: not ELF"; failed=1; continue; }
    dynamic=$(readelf -dW "$binary")
    symbols=$(nm -D "$binary")
    grep -qE '^\s*Type:\s+DYN ' <<<"$header" || problems+=("not position-independent")
    # A position-independent executable says so; a shared object need not.
    if readelf -lW "$binary" | grep -q '^\s*INTERP\b'; then
        grep -qE '\(FLAGS_1\).*\bPIE\b' <<<"$dynamic" || problems+=("an executable without the PIE flag")
    fi
    readelf -lW "$binary" | grep -q '^\s*GNU_RELRO\b' || problems+=("no RELRO segment")
    grep -qE '\(BIND_NOW\)|\(FLAGS\).*\bBIND_NOW\b|\(FLAGS_1\).*\bNOW\b' <<<"$dynamic" ||
        problems+=("no immediate binding")
    grep -qE '\b__stack_chk_fail\b' <<<"$symbols" || problems+=("no stack protector")
    fortified=$(grep -oE '\b__[a-z0-9_]+_chk\b' <<<"$symbols" | grep -v '^__stack_chk_fail$' | sort -u)
    [[ -n $fortified ]] || problems+=("no fortified call")
    if [[ ${#problems[@]} -eq 0 ]]; then
        echo "ok $binary: PIE, full RELRO, stack protector, fortified ($(echo $fortified))"
    else
        echo "FAILED $binary: ${problems[*]}"
        failed=1
    fi
done
exit $failed
