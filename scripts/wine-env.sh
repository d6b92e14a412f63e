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

QUILO_SCRIPTS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# quilo_choose_arch "$@": sets `arch` from a leading `--arch ARCH`, else from QUILO_ARCH, else
# the machine's default, and `arch_args` to how many arguments it took (for the caller's shift).
quilo_choose_arch() {
    arch=${QUILO_ARCH:-}
    arch_args=0
    if [ "${1:-}" = --arch ]; then
        arch=${2:?--arch needs win32 or win64}
        arch_args=2
    fi
    [ -n "$arch" ] || arch=$(quilo_default_arch)
    quilo_wine_loader "$arch" >/dev/null
}

# quilo_winpath PATH: the Windows form of an absolute Linux path (Wine's drive Z: is the root).
quilo_winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

# quilo_register_modules BIN: registers QuiloVideo.ocx and the test camera of a build's bin/
# folder in WINEPREFIX with the regsvr32 of the build's own kind (QUILO_ARCH).
quilo_register_modules() {
    "$QUILO_SCRIPTS/wine-run" 'C:\windows\system32\regsvr32.exe' /s "$(quilo_winpath "$1/QuiloVideo.ocx")"
    "$QUILO_SCRIPTS/wine-run" 'C:\windows\system32\regsvr32.exe' /s "$(quilo_winpath "$1/QuiloTestCamera.ax")"
}

# quilo_device_position LIST NAME: the position of the device NAME in `quilo-grab list`'s
# output LIST (another capture device, such as a V4L2 camera, may come first); empty if absent.
quilo_device_position() {
    printf '%s\n' "$1" | awk -v name="$2" '{ n = $0; sub(/^[0-9]+  /, "", n) } n == name { print $1; exit }'
}
