#!/usr/bin/env bash
# The report's road in the window under Wine: the scenario "road-save"
# saves a report with the two-person release on; another officer approves
# it (Wine names every process by the Unix account that runs it, so the
# other officer is the native console program run as another account); the
# scenario "road-send" marks it sent, sees the overdue line at start-up and
# attaches the receipt. Usage: wine-road-test.sh WIN32_DIR NATIVE_DIR
set -u
here="$(cd "$(dirname "$0")" && pwd)"
root_guess="$(cd "$here/.." && pwd)"
export KOVIRANT_WINEPREFIX="${KOVIRANT_WINEPREFIX:-$root_guess/build/wineprefix-gui}"
. "$here/wine-env.sh"
win32="${1:-$KOVIRANT_WINRUN}"
native="${2:-$KOVIRANT_ROOT/build/native}"
# Another account: a user namespace that names this process "nobody" (no root
# needed; its files are still this account's), else setpriv as root.
if unshare --user --map-user=65534 --map-group=65534 true 2>/dev/null; then
    as_other=(unshare --user --map-user=65534 --map-group=65534)
elif [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    as_other=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
    echo "FAIL another officer's approval needs a user namespace or root with setpriv"
    exit 1
fi
"$here/wine-gui-test.sh" "$win32" road-save || exit 1
road="$WINEPREFIX/drive_c/users/anna/Documents/Kovirant/road"
sha=$(sed -n 2p "$road/Archivum/naplo.csv" | cut -d';' -f7)
# The other account may write the folder, as a colleague may the shared one.
chmod -R a+rwX "$road"
if ! "${as_other[@]}" "$native/kovirant-cli" --settings "$road/Kovirant.ini" \
        --archive "$road/Archivum" --approve "${sha:0:8}" >/dev/null 2>"$road/approve-err.txt"; then
    echo "FAIL another officer approves the report: $(head -c 300 "$road/approve-err.txt")"
    exit 1
fi
echo "ok   another officer approves the report"
"$here/wine-gui-test.sh" "$win32" road-send
