# Sourced by the scripts that run Windows programs under Wine: a private,
# quiet Wine prefix that never waits in a crash dialog.
KOVIRANT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${KOVIRANT_WINEPREFIX:-$KOVIRANT_ROOT/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL="${KOVIRANT_WINE_LOCALE:-C.UTF-8}"
export WINEARCH=win32 2>/dev/null

kovirant_wine_prefix() {
    if [ ! -f "$WINEPREFIX/.kovirant-ready" ]; then
        rm -rf "$WINEPREFIX"
        mkdir -p "$(dirname "$WINEPREFIX")"
        wineboot --init >/dev/null 2>&1 || true
        wineserver -w 2>/dev/null || true
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
        wineserver -w 2>/dev/null || true
        touch "$WINEPREFIX/.kovirant-ready"
    fi
}
