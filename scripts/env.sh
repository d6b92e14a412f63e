# Shared locations and machine facts for the scripts. Sourced, not run.
# The dependency cache lives outside the clone so that a fresh clone reuses it.
: "${QUILO_DEPS:=${XDG_CACHE_HOME:-$HOME/.cache}/quilovideo}"
export QUILO_DEPS

# quilo_wine32_record: the file in which setup says why Wine's 32-bit half could not be
# installed on a machine whose kernel runs 32-bit programs (absent otherwise).
quilo_wine32_record() { printf '%s/wine32-unavailable\n' "$QUILO_DEPS"; }

# quilo_kernel_runs_32bit: 0 when the kernel runs 32-bit x86 programs, 1 when it refuses them
# ("Exec format error", exit 126). Asked with a tiny i386 program assembled on the spot, so it
# needs binutils only, not Wine. Any other outcome is printed and the caller's shell exits.
quilo_kernel_runs_32bit() {
    local dir out status=0
    dir=$(mktemp -d)
    printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$dir/probe.s"
    if ! out=$(as --32 -o "$dir/probe.o" "$dir/probe.s" 2>&1 && ld -m elf_i386 -o "$dir/probe" "$dir/probe.o" 2>&1); then
        rm -rf "$dir"
        echo "cannot build the 32-bit probe program: $out" >&2
        exit 1
    fi
    out=$("$dir/probe" 2>&1) || status=$?
    rm -rf "$dir"
    [ "$status" -eq 0 ] && return 0
    if [ "$status" -eq 126 ] && printf '%s' "$out" | grep -q 'Exec format error'; then return 1; fi
    echo "the 32-bit probe program failed (exit $status): $out" >&2
    exit 1
}

# quilo_setup: runs scripts/setup once per command: a script that another one started (a test
# running scripts/demo) finds QUILO_SETUP_DONE and goes straight on.
quilo_setup() {
    [ "${QUILO_SETUP_DONE:-}" = 1 ] || "$(dirname "${BASH_SOURCE[0]}")/setup"
    export QUILO_SETUP_DONE=1
}
