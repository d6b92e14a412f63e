# Which Wine runs which build. Sourced, not run.
#
# win32: the 32-bit build, in a 32-bit prefix, through the i386 loader.
# win64: the 64-bit build, in a 64-bit prefix, through the 64-bit loader, called directly: the
#        `wine` wrapper prefers the i386 loader whenever wine32 is installed.
QUILO_WINE32_LOADER=/usr/lib/wine/wine
QUILO_WINE64_LOADER=/usr/lib/wine/wine64
QUILO_NO_32BIT_REASON="32-bit tests not run: this machine's kernel does not run 32-bit programs"

# quilo_wine_loader ARCH: the loader that runs programs of that build.
quilo_wine_loader() {
    case $1 in
    win32) printf '%s\n' "$QUILO_WINE32_LOADER" ;;
    win64) printf '%s\n' "$QUILO_WINE64_LOADER" ;;
    *) echo "unknown architecture '$1' (win32 or win64)" >&2; return 2 ;;
    esac
}

# quilo_runs_32bit: 0 when this machine runs 32-bit programs, 1 when its kernel refuses them
# ("Exec format error", exit 126). Anything else that stops the i386 loader is a real fault:
# it is printed and the caller's shell exits.
quilo_runs_32bit() {
    local out status=0
    out=$("$QUILO_WINE32_LOADER" --version 2>&1) || status=$?
    [ "$status" -eq 0 ] && return 0
    if [ "$status" -eq 126 ] && printf '%s' "$out" | grep -q 'Exec format error'; then
        return 1
    fi
    echo "the 32-bit Wine loader does not start (exit $status): $out" >&2
    exit 1
}

# quilo_default_arch: the 32-bit build where it runs, the 64-bit one otherwise.
quilo_default_arch() {
    if quilo_runs_32bit; then echo win32; else echo win64; fi
}

# quilo_describe_arch ARCH: how the scripts name a build to the user.
quilo_describe_arch() {
    case $1 in
    win32) echo "32-bit" ;;
    win64) echo "64-bit" ;;
    esac
}
