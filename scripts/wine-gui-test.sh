#!/usr/bin/env bash
# Runs the end-to-end test program against Kovirant.exe under Wine in a
# virtual X display, and turns its screenshots into PNG files under
# build/screenshots/. Usage: wine-gui-test.sh [WIN32_BUILD_DIR [SCENARIO]]
set -u
. "$(dirname "$0")/wine-env.sh"
root="$KOVIRANT_ROOT"
win32="${1:-$root/build/win32}"
shots="$root/build/screenshots"
work="$root/build/e2e-work"
mkdir -p "$shots" "$work"

kovirant_virtual_display
kovirant_wine_prefix
w() { winepath -w "$1" 2>/dev/null; }
# A Wine desktop window gives the program's windows their frames, as a user
# sees them; the test program's last line carries the counts.
scenario="${2:-}"
log="$work/e2e${scenario:+-$scenario}.log"
timeout 600 wine explorer /desktop=kovirant,1024x768 "$win32/e2e.exe" "$(w "$win32/Kovirant.exe")" \
    "$(w "$root/examples")" "$(w "$work")" "$(w "$shots")" $scenario >"$log" 2>&1
grep -v '^wine: ' "$log"
status=1
counts=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
case "$counts" in *" passed, 0 failed"*) status=0 ;; esac
[ -n "$counts" ] || echo "the end-to-end run gave no result line"

for bmp in "$shots"/*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" "${bmp%.bmp}.png" 2>/dev/null && rm -f "$bmp"
done
echo "screenshots: $shots"
exit $status
