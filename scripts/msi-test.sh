#!/usr/bin/env bash
# The package under Wine, in a prefix of its own: the MSI installs silently
# per user, the installed program runs from its folder and saves its data
# sheet there, a newer MSI upgrades it in place keeping the officer's files,
# and the uninstall removes program, shortcuts and registry entries but not
# Kovirant.ini. Usage: msi-test.sh [WIN32_BUILD_DIR]
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
win32="${1:-$root/build/win32}"
export KOVIRANT_WINEPREFIX="$root/build/wineprefix-msi"
. "$root/scripts/wine-env.sh"
rm -rf "$WINEPREFIX" "$root/build/dist"
kovirant_virtual_display
kovirant_wine_prefix

passed=0 failed=0
check() { # check CONDITION-STATUS TEXT
    if [ "$1" -eq 0 ]; then passed=$((passed + 1)); echo "ok   $2"; else failed=$((failed + 1)); echo "FAIL $2"; fi
}
version=$(head -n 1 "$root/VERSION")
newer="${version%.*}.$(( ${version##*.} + 1 ))"
"$root/scripts/dist.sh" >/dev/null 2>"$root/build/dist.log"
KOVIRANT_DIST_VERSION="$newer" "$root/scripts/dist.sh" >/dev/null 2>>"$root/build/dist.log"
msi="$root/build/dist/Kovirant-$version.msi"
msi2="$root/build/dist/Kovirant-$newer.msi"
check "$([ -f "$msi" ] && [ -f "$msi2" ] && [ -f "$root/build/dist/Kovirant-$version.zip" ]; echo $?)" \
    "make dist gives Kovirant-$version.msi and .zip"
zipped=$(unzip -Z1 "$root/build/dist/Kovirant-$version.zip" 2>/dev/null | sort | tr '\n' ' ')
check "$([[ $zipped == *Kovirant-utmutato.html*Kovirant.exe*OLVASSEL.txt*peldak/apeh-protocol.txt* ]]; echo $?)" \
    "the zip holds the exe, the guide, OLVASSEL.txt and the examples"
check "$([[ " $zipped " == *" kovirant-cli.exe "* ]]; echo $?)" "the zip holds the console program"
check "$(grep -q 'data:image/png;base64,' "$root/build/dist/stage-$version/Kovirant-utmutato.html"; echo $?)" \
    "the guide embeds the screenshots"

appdata_win=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
install="$(winepath -u "$appdata_win" 2>/dev/null)/Programs/Kovirant"
startmenu="$(winepath -u "$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')" 2>/dev/null)/Microsoft/Windows/Start Menu/Programs"
# "Programs and Features": Windows keeps a per-user entry under HKCU, Wine under HKLM.
arp() {
    local hive
    for hive in HKCU HKLM; do
        wine reg query "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s 2>/dev/null | tr -d '\r'
    done
}
w() { winepath -w "$1" 2>/dev/null; }

wine msiexec /i "$(w "$msi")" /qn >/dev/null 2>&1
check $? "msiexec /i $(basename "$msi") /qn succeeds without administrator"
check "$([ -f "$install/Kovirant.exe" ] && [ -f "$install/Kovirant-utmutato.html" ] && [ -f "$install/peldak/report.xml" ]; echo $?)" \
    "the program lands in %LOCALAPPDATA%\\Programs\\Kovirant"
cli_version=$(env -u DISPLAY wine "$install/kovirant-cli.exe" --version 2>/dev/null | tr -d '\r')
check "$([ "$cli_version" = "kovirant-cli $version" ]; echo $?)" \
    "the installed console program runs without a display: \"$cli_version\""
check "$([ -f "$startmenu/Kovirant.lnk" ] && [ -f "$startmenu/Kovirant útmutató.lnk" ]; echo $?)" \
    "Start-menu shortcuts for the program and the guide"
entry=$(arp)
check "$([[ $entry == *Kovirant* && $entry == *"Tervaly Kft."* && $entry == *"$version"* ]]; echo $?)" \
    "Programs and Features lists Kovirant $version by Tervaly Kft."

run_installed() { # the installed exe from its own folder, as the shortcut starts it
    KOVIRANT_EXPECTED_VERSION="$1" timeout 300 wine explorer /desktop=kovirant-msi,1024x768 "$win32/e2e.exe" \
        "$(w "$install/Kovirant.exe")" "$(w "$root/examples")" "$(w "$install")" "$(w "$root/build/screenshots")" \
        installed 2>/dev/null | tr -d '\r' | grep -E '^(ok|FAIL) '
}
while read -r status text; do check "$([ "$status" = ok ]; echo $?)" "$text"; done < <(run_installed "$version")
check "$([ -f "$install/Kovirant.ini" ]; echo $?)" "Kovirant.ini is in the install folder"
echo "officer's work" >"$install/Cegtar.csv"
before=$(md5sum <"$install/Kovirant.ini")

wine msiexec /i "$(w "$msi2")" /qn >/dev/null 2>&1
check $? "the newer MSI $newer installs over it"
entry=$(arp)
check "$([[ $entry == *"DisplayVersion    REG_SZ    $newer"* && $entry != *"DisplayVersion    REG_SZ    $version"* ]]; echo $?)" \
    "one entry, now at $newer"
check "$([ "$(md5sum <"$install/Kovirant.ini")" = "$before" ] && [ -f "$install/Cegtar.csv" ] && [ -f "$install/Kovirant.exe" ]; echo $?)" \
    "the upgrade keeps Kovirant.ini and Cegtar.csv"
# The newer package carries the same build of the exe, so its version stays.
while read -r status text; do check "$([ "$status" = ok ]; echo $?)" "after the upgrade: $text"; done < <(run_installed "$version")

wine msiexec /x "$(w "$msi2")" /qn >/dev/null 2>&1
check $? "msiexec /x /qn uninstalls"
check "$([ ! -e "$install/Kovirant.exe" ] && [ ! -e "$install/Kovirant-utmutato.html" ] && [ ! -e "$startmenu/Kovirant.lnk" ]; echo $?)" \
    "program, guide and shortcuts are gone"
entry=$(arp)
wine reg query 'HKCU\Software\Tervaly\Kovirant' >/dev/null 2>&1
left=$?
check "$([[ $entry != *Kovirant* ]] && [ $left -ne 0 ]; echo $?)" "its registry entries are gone"
check "$([ -f "$install/Kovirant.ini" ] && [ -f "$install/Cegtar.csv" ]; echo $?)" \
    "Kovirant.ini and Cegtar.csv stay"
wineserver -k 2>/dev/null
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
