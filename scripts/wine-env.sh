# Sourced by the scripts that run Windows programs under Wine: a private,
# quiet Wine prefix that never waits in a crash dialog.
KOVIRANT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# A machine whose kernel runs no 32-bit programs tests a 64-bit build in a
# 64-bit prefix (scripts/win-arch.sh).
export WINEARCH="${KOVIRANT_WINEARCH:-$("$KOVIRANT_ROOT/scripts/win-arch.sh")}"
export WINEPREFIX="${KOVIRANT_WINEPREFIX:-$KOVIRANT_ROOT/build/wineprefix}"
if [ "$WINEARCH" = win64 ]; then
    WINEPREFIX="$WINEPREFIX-64"
    # Debian's wine prefers the 32-bit loader whenever it is installed, even
    # where it cannot start: the 64-bit one is called by name.
    if [ -x /usr/lib/wine/wine ] && [ -x /usr/lib/wine/wine64 ]; then
        wine64_bin="$KOVIRANT_ROOT/build/wine64-bin"
        mkdir -p "$wine64_bin"
        for name in wine wine-stable; do
            printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$wine64_bin/$name"
            chmod +x "$wine64_bin/$name"
        done
        export PATH="$wine64_bin:$PATH"
    fi
fi
# The Windows build that runs here: build/win32 or build/win64.
KOVIRANT_WINRUN="$KOVIRANT_ROOT/build/$WINEARCH"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL="${KOVIRANT_WINE_LOCALE:-C.UTF-8}"

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
