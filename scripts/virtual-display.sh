# A virtual X display and a Wine prefix that draws on it, for quilo-view. Sourced, not run.
#
# The tests' prefixes use Wine's null graphics driver, so that dialogs run without a display;
# a window that must really be drawn and read back needs Wine's X11 driver and an X server.

# quilo_start_display: starts Xvfb on a display number nobody uses (Xvfb picks it), exports
# DISPLAY and sets QUILO_XVFB_PID. Fails when Xvfb does not come up within 10 seconds.
quilo_start_display() {
    local numberfile number=
    numberfile=$(mktemp)
    Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$numberfile" >/dev/null 2>&1 &
    QUILO_XVFB_PID=$!
    for _ in $(seq 100); do
        number=$(tr -dc 0-9 <"$numberfile")
        [ -n "$number" ] && break
        kill -0 "$QUILO_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$numberfile"
    if [ -z "$number" ]; then
        echo "Xvfb did not start" >&2
        quilo_stop_display
        return 1
    fi
    export DISPLAY=:$number
}

# quilo_stop_display: stops the Xvfb that quilo_start_display started.
quilo_stop_display() {
    [ -n "${QUILO_XVFB_PID:-}" ] || return 0
    kill "$QUILO_XVFB_PID" 2>/dev/null || true
    wait "$QUILO_XVFB_PID" 2>/dev/null || true
    QUILO_XVFB_PID=
}

# quilo_drawing_prefix DIR ARCH: makes (once) and starts the Wine prefix DIR for the win32 or
# win64 build with Wine's X11 driver, on the display in DISPLAY. Wine reads the driver when
# the prefix's desktop starts, so the prefix is restarted after the setting is made.
quilo_drawing_prefix() {
    local prefix=$1 arch=$2 scripts
    scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    "$scripts/wine-prefix" up "$prefix" "$arch"
    local fonts=$prefix/drive_c/windows/Fonts
    if [ ! -f "$prefix/.quilo-x11" ] || [ ! -f "$fonts/marlett.ttf" ]; then
        # Wine draws its title-bar buttons with Marlett (fonts-wine), but Debian's Wine 8 does
        # not look in the folder that package fills: without a copy in the prefix's own font
        # folder the buttons read "0 1 r".
        cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
        WINEPREFIX=$prefix QUILO_ARCH=$arch "$scripts/wine-run" reg add 'HKCU\Software\Wine\Drivers' \
            /v Graphics /d x11 /f >/dev/null 2>&1
        # No window manager runs on the virtual display: Wine draws the title bars itself.
        WINEPREFIX=$prefix QUILO_ARCH=$arch "$scripts/wine-run" reg add 'HKCU\Software\Wine\X11 Driver' \
            /v Managed /d N /f >/dev/null 2>&1
        "$scripts/wine-prefix" down "$prefix" "$arch"
        WINEPREFIX=$prefix wineserver -w
        touch "$prefix/.quilo-x11"
        "$scripts/wine-prefix" up "$prefix" "$arch"
    fi
}
