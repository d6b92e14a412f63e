#!/usr/bin/env bash
# scripts/view on a fresh Wine prefix of its own: it must leave a screenshot of the viewer's
# window and stop everything it started. Run by CTest with the build folder of one
# architecture and its name (win32 or win64) as arguments; writes only below that folder.
. "$(dirname "${BASH_SOURCE[0]}")/script_test.sh"
run_script_in_work view-script-test view QUILO_VIEW_PREFIX="$build/view-script-test/prefix" \
    QUILO_VIEW_OUT="$build/view-script-test/out"

png=$work/out/view.png
[ -f "$png" ] || fail "no view.png"
grep -qF "$png" "$log" || fail "the script does not say where the screenshot is"
# The window holds a 640x480 picture beside the sliders, above the status bar.
size=$(png_size "$png")
width=${size%x*} height=${size#*x}
[ "$width" -gt 900 ] && [ "$height" -gt 500 ] || fail "view.png is ${size}, smaller than the window"
# Nothing the script started keeps running: the prefix's wineserver and the virtual display.
if WINEPREFIX=$work/prefix wineserver -k 2>/dev/null; then fail "the script left its wineserver running"; fi
xvfb=$(sed -n 's/^view: virtual display :[0-9]* (Xvfb process \([0-9]*\)).*/\1/p' "$log")
[ -n "$xvfb" ] || fail "the script does not say which X server it started"
if kill -0 "$xvfb" 2>/dev/null; then fail "the script left its X server (process $xvfb) running"; fi
echo "scripts/view produced $png (${size})"
