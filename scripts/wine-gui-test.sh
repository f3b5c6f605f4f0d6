#!/usr/bin/env bash
# Runs the end-to-end test program against Kovirant.exe under Wine in a
# virtual X display, and turns its screenshots into PNG files under
# build/screenshots/. Usage: wine-gui-test.sh [WIN32_BUILD_DIR [SCENARIO]]
set -u
# As an officer's desktop: a Hungarian Windows (its own prefix, so that the
# other Wine runs keep theirs), on a 1920x1080 screen, the files in the
# officer's documents. Without the Hungarian locale the run is in English.
if locale -a 2>/dev/null | grep -qix 'hu_HU.utf8'; then
    export KOVIRANT_WINE_LOCALE="${KOVIRANT_WINE_LOCALE:-hu_HU.UTF-8}"
fi
root_guess="$(cd "$(dirname "$0")/.." && pwd)"
export KOVIRANT_WINEPREFIX="${KOVIRANT_WINEPREFIX:-$root_guess/build/wineprefix-gui}"
. "$(dirname "$0")/wine-env.sh"
root="$KOVIRANT_ROOT"
win32="${1:-$KOVIRANT_WINRUN}"
shots="$root/build/screenshots"
work="$WINEPREFIX/drive_c/users/anna/Documents/Kovirant"
work_win='C:\Users\anna\Documents\Kovirant'

kovirant_virtual_display
kovirant_wine_prefix
mkdir -p "$shots" "$work/peldak"
cp -r "$root/examples/." "$work/peldak/"
w() { winepath -w "$1" 2>/dev/null; }
# A Wine desktop window gives the program's windows their frames, as a user
# sees them; the test program's last line carries the counts.
scenario="${2:-}"
log="$work/e2e${scenario:+-$scenario}.log"
timeout 600 wine explorer /desktop=kovirant,1920x1080 "$win32/e2e.exe" "$(w "$win32/Kovirant.exe")" \
    "$work_win\\peldak" "$work_win" "$(w "$shots")" $scenario >"$log" 2>&1
grep -v '^wine: ' "$log"
status=1
counts=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
# A scenario that ran no step (an unknown name, a run cut short) is a failure.
case "$counts" in "0 passed, "*) echo "the end-to-end run passed no step" ;; *" passed, 0 failed"*) status=0 ;; esac
[ -n "$counts" ] || echo "the end-to-end run gave no result line"

# Cut to the program's windows: the desktop around them only makes the
# guide's pictures smaller.
for bmp in "$shots"/*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" -trim +repage "${bmp%.bmp}.png" 2>/dev/null && rm -f "$bmp"
done
echo "screenshots: $shots"
exit $status
