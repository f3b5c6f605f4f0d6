#!/usr/bin/env bash
# Starts Kovirant.exe under Wine. With a display, on that display, in the
# folder `KOVIRANT_DIR` (default: build/run, with the example settings file).
# Without one, in a virtual display with the example files loaded, leaving
# screenshots in build/screenshots/.
set -u
. "$(dirname "$0")/wine-env.sh"
root="$KOVIRANT_ROOT"
exe="$KOVIRANT_WINRUN/Kovirant.exe"
kovirant_wine_prefix

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    dir="${KOVIRANT_DIR:-$root/build/run}"
    mkdir -p "$dir"
    [ -f "$dir/Kovirant.ini" ] || cp "$root/examples/Kovirant.ini" "$dir/"
    echo "Kovirant runs in $dir (settings: $dir/Kovirant.ini)"
    cd "$dir" && exec wine "$exe"
fi

echo "No display: running Kovirant in a virtual display with the example files."
exec "$root/scripts/wine-gui-test.sh"
