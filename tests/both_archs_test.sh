#!/usr/bin/env bash
# A 32-bit and a 64-bit host in one 64-bit Wine prefix, with both modules registered there, each
# create the class and get their own module: the registry's 32-bit and 64-bit views keep the
# two registrations apart. Needs a machine that runs 32-bit programs; elsewhere it is skipped
# (exit 77) with the reason. Run by CTest with the win64 build folder and the win32 one.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/wine-env.sh"
build64=${1:?win64 build folder}
build32=${2:?win32 build folder}

if ! quilo_runs_32bit; then
    echo "$QUILO_NO_32BIT_REASON"
    exit 77
fi
fail() { echo "FAIL: $*"; exit 1; }
# Resolved before they become Windows paths: CTest passes the win32 folder as win64/../win32,
# while the host reports the module COM loaded by its plain path.
build64=$(cd "$build64" && pwd) || fail "no win64 build folder $1"
build32=$(cd "$build32" && pwd) || fail "no win32 build folder $2: build the win32 tree first (scripts/build)"
for f in "$build32/bin/QuiloVideo.ocx" "$build32/tests/quilo-activation-host.exe"; do
    [ -f "$f" ] || fail "$f is missing: build the win32 tree first (scripts/build)"
done

prefix=$build64/both-archs-prefix
rm -rf "$prefix"
"$root/scripts/wine-prefix" up "$prefix" win64
trap '"$root/scripts/wine-prefix" down "$prefix" win64; rm -rf "$prefix"' EXIT
# The 64-bit loader for 64-bit programs; the i386 loader runs 32-bit ones in the same 64-bit
# prefix (WoW64).
run64() { WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all "$QUILO_WINE64_LOADER" "$@"; }
run32() { WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all "$QUILO_WINE32_LOADER" "$@"; }

run64 'C:\windows\system32\regsvr32.exe' /s "$(quilo_winpath "$build64/bin/QuiloVideo.ocx")" || fail "64-bit registration"
run32 'C:\windows\syswow64\regsvr32.exe' /s "$(quilo_winpath "$build32/bin/QuiloVideo.ocx")" || fail "32-bit registration"

out64=$(run64 "$build64/tests/quilo-activation-host.exe" | tr -d '\r') || fail "64-bit host: $out64"
out32=$(run32 "$build32/tests/quilo-activation-host.exe" | tr -d '\r') || fail "32-bit host: $out32"
printf '64-bit host:\n%s\n32-bit host:\n%s\n' "$out64" "$out32"

module_of() { printf '%s\n' "$1" | sed -n 's/^module=//p' | tr 'A-Z' 'a-z'; }
want64=$(quilo_winpath "$build64/bin/QuiloVideo.ocx" | tr 'A-Z' 'a-z')
want32=$(quilo_winpath "$build32/bin/QuiloVideo.ocx" | tr 'A-Z' 'a-z')
[ "$(module_of "$out64")" = "$want64" ] || fail "the 64-bit host did not get the 64-bit module"
[ "$(module_of "$out32")" = "$want32" ] || fail "the 32-bit host did not get the 32-bit module"
printf '%s\n' "$out64" | grep -qx 'machine=8664' || fail "the 64-bit host's module is not x86-64"
printf '%s\n' "$out32" | grep -qx 'machine=014C' || fail "the 32-bit host's module is not i386"
echo "each host got its own module"
