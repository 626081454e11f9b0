# The arguments of the hostile scripts: [--no-memory-limit] PROGRAM.
# --no-memory-limit skips the cases that limit the address space
# (AddressSanitizer reserves far more address space than any limit).
# Sourced with the script's arguments; sets memory_limit and program.
memory_limit=1
if [[ ${1:-} == --no-memory-limit ]]; then
    memory_limit=0
    shift
fi
program=$(realpath "$1")
