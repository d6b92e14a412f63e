# What the tests of README's scripts share. Sourced by a test that CTest runs with the build
# folder of one architecture and its name (win32 or win64) as arguments.
#
# run_script_in_work NAME SCRIPT [VAR=VALUE...]: runs scripts/SCRIPT on the build with the
# given environment, its whole output in $log (printed), in a fresh $work folder below the build
# folder that goes when the test ends; a failing script fails the test.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:?build folder}
arch=${2:?win32 or win64}

fail() { echo "FAIL: $*"; exit 1; }

# The PNG's signature, then its IHDR width and height: "WIDTHxHEIGHT".
png_size() {
    local sig
    sig=$(od -An -tx1 -N8 "$1" | tr -d ' \n')
    [ "$sig" = 89504e470d0a1a0a ] || fail "$1 is not a PNG ($sig)"
    printf '%dx%d\n' "$((16#$(od -An -tx1 -j16 -N4 "$1" | tr -d ' \n')))" \
        "$((16#$(od -An -tx1 -j20 -N4 "$1" | tr -d ' \n')))"
}

run_script_in_work() {
    local name=$1 script=$2
    shift 2
    work=$build/$name
    rm -rf "$work"
    mkdir -p "$work/out"
    trap 'rm -rf "$work"' EXIT
    log=$work/log
    if ! env QUILO_BUILD="$(dirname "$build")" QUILO_ARCH="$arch" "$@" "$root/scripts/$script" >"$log" 2>&1; then
        cat "$log"
        fail "scripts/$script exited with an error"
    fi
    cat "$log"
    grep -qF "module $build/bin/QuiloVideo.ocx" "$log" || fail "scripts/$script does not say which module it used"
}
