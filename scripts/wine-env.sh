# Which Wine runs which build. Sourced, not run.
#
# win32: the 32-bit build, in a 32-bit prefix, through the i386 loader.
# win64: the 64-bit build, in a 64-bit prefix, through the 64-bit loader, called directly: the
#        `wine` wrapper prefers the i386 loader whenever wine32 is installed.
QUILO_WINE32_LOADER=/usr/lib/wine/wine
QUILO_WINE64_LOADER=/usr/lib/wine/wine64
QUILO_SCRIPTS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/env.sh
. "$QUILO_SCRIPTS/env.sh"

# quilo_wine_loader ARCH: the loader that runs programs of that build.
quilo_wine_loader() {
    case $1 in
    win32) printf '%s\n' "$QUILO_WINE32_LOADER" ;;
    win64) printf '%s\n' "$QUILO_WINE64_LOADER" ;;
    *) echo "unknown architecture '$1' (win32 or win64)" >&2; return 2 ;;
    esac
}

# quilo_runs_32bit: 0 when this machine runs 32-bit Windows programs; 1 when it cannot, with
# the reason in QUILO_NO_32BIT_REASON: the kernel refuses 32-bit programs, or setup could not
# install Wine's 32-bit half because its package index failed to download. A 32-bit Wine that
# is missing for any other reason, or does not start, is a fault: printed, and the caller's
# shell exits. Call it after setup.
quilo_runs_32bit() {
    QUILO_NO_32BIT_REASON=
    if ! quilo_kernel_runs_32bit; then
        QUILO_NO_32BIT_REASON="32-bit tests not run: this machine's kernel does not run 32-bit programs"
        return 1
    fi
    local record out status=0
    record=$(quilo_wine32_record)
    if [ ! -e "$QUILO_WINE32_LOADER" ] && [ -s "$record" ]; then
        QUILO_NO_32BIT_REASON="32-bit tests not run: $(cat "$record")"
        return 1
    fi
    out=$("$QUILO_WINE32_LOADER" --version 2>&1) || status=$?
    [ "$status" -eq 0 ] && return 0
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

# quilo_choose_arch USAGE "$@": sets `arch` from a leading `--arch ARCH`, else from QUILO_ARCH,
# and `arch_args` to how many arguments it took (for the caller's shift). An unknown
# architecture is refused at once with USAGE. `arch` stays empty when none was named: the
# caller picks quilo_default_arch after setup, which installs what that question needs.
quilo_choose_arch() {
    local usage=$1
    shift
    arch=${QUILO_ARCH:-}
    arch_args=0
    if [ "${1:-}" = --arch ]; then
        arch=${2:-}
        arch_args=2
    fi
    if [ "$arch_args" -eq 2 ] || [ -n "$arch" ]; then
        quilo_wine_loader "$arch" >/dev/null 2>&1 || { echo "unknown architecture '$arch'; $usage" >&2; exit 2; }
    fi
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

# quilo_print_machine: one line naming the processor, cores, system and Wine, for the figures
# of the benchmark and the soak.
quilo_print_machine() {
    local cpu
    cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo 2>/dev/null || true)
    printf 'machine: %s, %s cores, %s; %s; %s\n' "${cpu:-unknown CPU}" "$(nproc)" \
        "$(. /etc/os-release 2>/dev/null && printf '%s' "${PRETTY_NAME:-}")" "$(uname -sr)" \
        "$("$QUILO_WINE64_LOADER" --version 2>/dev/null)"
}
