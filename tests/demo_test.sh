#!/usr/bin/env bash
# README's main command on a clean Wine prefix: scripts/demo must leave a 640x480 PNG where it
# says. Run by CTest with the build folder of one architecture and its name (win32 or win64) as
# arguments; writes only below that folder.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:?build folder}
arch=${2:?win32 or win64}
work=$build/demo-test
rm -rf "$work"
mkdir -p "$work/out"
trap 'rm -rf "$work"' EXIT

log=$work/log
if ! QUILO_BUILD=$(dirname "$build") QUILO_ARCH=$arch QUILO_DEMO_PREFIX=$work/prefix QUILO_DEMO_OUT=$work/out \
        "$root/scripts/demo" >"$log" 2>&1; then
    cat "$log"
    echo "FAIL: scripts/demo exited with an error"
    exit 1
fi
cat "$log"
fail() { echo "FAIL: $*"; exit 1; }

png=$work/out/frame.png
[ -f "$png" ] || fail "no frame.png"
[ -f "$work/out/frame.bmp" ] || fail "no frame.bmp"
grep -qF "$png" "$log" || fail "the demo does not say where the frame is"
grep -qF "module $build/bin/QuiloVideo.ocx" "$log" || fail "the demo does not say which module it used"
# PNG signature, then the IHDR chunk: width and height big-endian, 8 bits, truecolour.
sig=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
[ "$sig" = 89504e470d0a1a0a ] || fail "frame.png is not a PNG ($sig)"
ihdr=$(od -An -tx1 -j12 -N15 "$png" | tr -d ' \n')
[ "$ihdr" = 4948445200000280000001e0080200 ] || fail "unexpected IHDR $ihdr (want 640x480 RGB)"
# The demo's wineserver is gone: nothing of the demo keeps running.
if WINEPREFIX=$work/prefix wineserver -k 2>/dev/null; then fail "the demo left its wineserver running"; fi
echo "demo produced $png"
