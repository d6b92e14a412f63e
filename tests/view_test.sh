#!/usr/bin/env bash
# quilo-view's tests: view_test.exe drives the viewer's window on a virtual X display, in a Wine
# prefix of their own that draws there (the suite's prefix uses the null graphics driver). Run
# by CTest with the build folder of one architecture and its name (win32 or win64); writes only
# below that folder, and stops its X server and its prefix's wineserver when done.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:?build folder}
arch=${2:?win32 or win64}
. "$root/scripts/virtual-display.sh"
prefix=$build/view-test-prefix

quilo_start_display
trap '"$root/scripts/wine-prefix" down "$prefix" "$arch"; quilo_stop_display' EXIT
quilo_drawing_prefix "$prefix" "$arch"
echo "display $DISPLAY, prefix $prefix"
WINEPREFIX=$prefix QUILO_ARCH=$arch "$root/scripts/wine-run" "$build/tests/view_test.exe" "${@:3}"
