#!/usr/bin/env bash
# The Qt module and the program meet only through the engine interface: the
# module exports its one entry point, and the program exports none of its own
# symbols for the module to bind to.
# Usage: check-engine-symbols.sh PROGRAM MODULE
set -euo pipefail
program=$1
module=$2
status=0

exported=$(nm -D --defined-only "$module" | awk '{print $3}')
if [[ $exported != QuorvaleCreateWindowEngine ]]; then
    echo "the module exports more or other than its entry point:"
    echo "$exported" | head -20
    status=1
fi

# What the program exports beyond the C++ library's own instantiations.
own=$(nm -D --defined-only -C "$program" | grep -E ' (platform|modQuorvale|frmQuorvale)::| Quorvale' || true)
if [[ -n $own ]]; then
    echo "the program exports symbols of its own:"
    echo "$own" | head -20
    status=1
fi
[[ $status -eq 0 ]] && echo "module exports $(wc -w <<<"$exported") symbol; the program none of its own"
exit "$status"
