#!/usr/bin/env bash
# scripts/view on a fresh Wine prefix of its own: it must leave a screenshot of the viewer's
# window and stop everything it started. Run by CTest with the build folder of one
# architecture and its name (win32 or win64) as arguments; writes only below that folder.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:?build folder}
arch=${2:?win32 or win64}
work=$build/view-script-test
rm -rf "$work"
mkdir -p "$work/out"
trap 'rm -rf "$work"' EXIT

log=$work/log
if ! QUILO_BUILD=$(dirname "$build") QUILO_ARCH=$arch QUILO_VIEW_PREFIX=$work/prefix QUILO_VIEW_OUT=$work/out \
        "$root/scripts/view" >"$log" 2>&1; then
    cat "$log"
    echo "FAIL: scripts/view exited with an error"
    exit 1
fi
cat "$log"
fail() { echo "FAIL: $*"; exit 1; }

png=$work/out/view.png
[ -f "$png" ] || fail "no view.png"
grep -qF "$png" "$log" || fail "the script does not say where the screenshot is"
grep -qF "module $build/bin/QuiloVideo.ocx" "$log" || fail "the script does not say which module it used"
sig=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
[ "$sig" = 89504e470d0a1a0a ] || fail "view.png is not a PNG ($sig)"
# The window holds a 640x480 picture beside the sliders, above the status bar.
width=$((16#$(od -An -tx1 -j16 -N4 "$png" | tr -d ' \n')))
height=$((16#$(od -An -tx1 -j20 -N4 "$png" | tr -d ' \n')))
[ "$width" -gt 900 ] && [ "$height" -gt 500 ] || fail "view.png is ${width}x${height}, smaller than the window"
# Nothing the script started keeps running: the prefix's wineserver and the virtual display.
if WINEPREFIX=$work/prefix wineserver -k 2>/dev/null; then fail "the script left its wineserver running"; fi
xvfb=$(sed -n 's/^view: virtual display :[0-9]* (Xvfb process \([0-9]*\)).*/\1/p' "$log")
[ -n "$xvfb" ] || fail "the script does not say which X server it started"
if kill -0 "$xvfb" 2>/dev/null; then fail "the script left its X server (process $xvfb) running"; fi
echo "scripts/view produced $png (${width}x${height})"
