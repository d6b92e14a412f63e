#!/usr/bin/env bash
# README's main command on a clean Wine prefix: scripts/demo must leave a 640x480 PNG where it
# says. Run by CTest with the build folder of one architecture and its name (win32 or win64) as
# arguments; writes only below that folder.
. "$(dirname "${BASH_SOURCE[0]}")/script_test.sh"
run_script_in_work demo-test demo QUILO_DEMO_PREFIX="$build/demo-test/prefix" QUILO_DEMO_OUT="$build/demo-test/out"

png=$work/out/frame.png
[ -f "$png" ] || fail "no frame.png"
[ -f "$work/out/frame.bmp" ] || fail "no frame.bmp"
grep -qF "$png" "$log" || fail "the demo does not say where the frame is"
[ "$(png_size "$png")" = 640x480 ] || fail "frame.png is $(png_size "$png"), not 640x480"
# The IHDR chunk whole: width and height big-endian, 8 bits, truecolour, deflate, no filter
# method, no interlace.
ihdr=$(od -An -tx1 -j12 -N17 "$png" | tr -d ' \n')
[ "$ihdr" = 4948445200000280000001e00802000000 ] || fail "unexpected IHDR $ihdr (want 640x480 RGB)"
# The demo's wineserver is gone: nothing of the demo keeps running.
if WINEPREFIX=$work/prefix wineserver -k 2>/dev/null; then fail "the demo left its wineserver running"; fi
echo "demo produced $png"
