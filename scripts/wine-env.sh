# Sourced by the scripts that run Windows programs under Wine: a private,
# quiet Wine prefix that never waits in a crash dialog.
KOVIRANT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${KOVIRANT_WINEPREFIX:-$KOVIRANT_ROOT/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL="${KOVIRANT_WINE_LOCALE:-C.UTF-8}"
# A machine whose kernel runs no 32-bit programs tests a 64-bit build: KOVIRANT_WINEARCH=win64.
export WINEARCH="${KOVIRANT_WINEARCH:-win32}"

kovirant_wine_prefix() {
    if [ ! -f "$WINEPREFIX/.kovirant-ready" ]; then
        rm -rf "$WINEPREFIX"
        mkdir -p "$(dirname "$WINEPREFIX")"
        wineboot --init >/dev/null 2>&1 || true
        wineserver -w 2>/dev/null || true
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
        wineserver -w 2>/dev/null || true
        # The caption buttons are drawn with Marlett, which Wine does not
        # find in Debian's font folder by itself.
        cp -n /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        touch "$WINEPREFIX/.kovirant-ready"
    fi
}

# Starts Xvfb on a free display and exports DISPLAY; stops it when the
# calling script exits.
kovirant_virtual_display() {
    local n
    for n in $(seq 90 130); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then break; fi
    done
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    KOVIRANT_XVFB=$!
    trap 'kill $KOVIRANT_XVFB 2>/dev/null; wait $KOVIRANT_XVFB 2>/dev/null' EXIT
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
}
