#!/usr/bin/env bash
# The package under Wine, in a prefix of its own: the MSI installs silently
# per user, the installed program runs from its folder and saves its data
# sheet there, a newer MSI upgrades it in place keeping the officer's files,
# and the uninstall removes program, shortcuts and registry entries but not
# Kovirant.ini. Usage: msi-test.sh [WIN32_BUILD_DIR]
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
export KOVIRANT_WINEPREFIX="$root/build/wineprefix-msi"
. "$root/scripts/wine-env.sh"
win32="${1:-$KOVIRANT_WINRUN}"
# Where the 32-bit programs cannot run, the packages are made for the test
# from the 64-bit build, as 64-bit packages in a folder of their own.
dist="$root/build/dist"
if [ "$WINEARCH" = win64 ]; then
    dist="$root/build/dist-x64"
    export KOVIRANT_DIST_BUILD="$win32" KOVIRANT_DIST_ARCH=x64 KOVIRANT_DIST_DIR="$dist"
fi
rm -rf "$WINEPREFIX" "$dist"
kovirant_virtual_display
kovirant_wine_prefix

passed=0 failed=0
check() { # check CONDITION-STATUS TEXT
    if [ "$1" -eq 0 ]; then passed=$((passed + 1)); echo "ok   $2"; else failed=$((failed + 1)); echo "FAIL $2"; fi
}
version=$(head -n 1 "$root/VERSION")
newer="${version%.*}.$(( ${version##*.} + 1 ))"
# The first packages are signed with a throwaway certificate made here.
certs="$root/build/sign-test"
rm -rf "$certs" && mkdir -p "$certs"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Kovirant teszt/O=Tervaly Kft." \
    -keyout "$certs/key.pem" -out "$certs/cert.pem" >/dev/null 2>&1
openssl pkcs12 -export -inkey "$certs/key.pem" -in "$certs/cert.pem" -out "$certs/teszt.pfx" -passout pass:titok \
    >/dev/null 2>&1
KOVIRANT_SIGN_PFX="$certs/teszt.pfx" KOVIRANT_SIGN_PASSWORD=titok "$root/scripts/dist.sh" >/dev/null 2>"$root/build/dist.log"
KOVIRANT_DIST_VERSION="$newer" "$root/scripts/dist.sh" >/dev/null 2>>"$root/build/dist.log"
msi="$dist/Kovirant-$version.msi"
msi2="$dist/Kovirant-$newer.msi"
check "$([ -f "$msi" ] && [ -f "$msi2" ] && [ -f "$dist/Kovirant-$version.zip" ]; echo $?)" \
    "make dist gives Kovirant-$version.msi and .zip"
zipped=$(unzip -Z1 "$dist/Kovirant-$version.zip" 2>/dev/null | sort | tr '\n' ' ')
check "$([[ $zipped == *Kovirant-utmutato.html*Kovirant.exe*OLVASSEL.txt*peldak/apeh-protocol.txt* ]]; echo $?)" \
    "the zip holds the exe, the guide, OLVASSEL.txt and the examples"
check "$([[ " $zipped " == *" kovirant-cli.exe "* ]]; echo $?)" "the zip holds the console program"
check "$(grep -q 'data:image/png;base64,' "$dist/stage-$version/Kovirant-utmutato.html"; echo $?)" \
    "the guide embeds the screenshots"
check "$([[ " $zipped " == *" hazirend/Kovirant.admx "* && " $zipped " == *" hazirend/hu-HU/Kovirant.adml "* ]]; echo $?)" \
    "the zip holds the Group Policy template"
msi_gep="$dist/Kovirant-$version-gep.msi"
for signed in "$dist/stage-$version/Kovirant.exe" "$dist/stage-$version/kovirant-cli.exe" "$msi" "$msi_gep"; do
    osslsigncode verify -CAfile "$certs/cert.pem" -in "$signed" >/dev/null 2>&1
    check $? "osslsigncode verify accepts $(basename "$signed") against the test certificate"
done
osslsigncode verify -CAfile "$certs/cert.pem" -in "$msi2" >/dev/null 2>&1
check "$([ $? -ne 0 ]; echo $?)" "without a certificate the package is unsigned"

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
# The per-machine package, as IT pushes it.
pf="$(winepath -u "$(wine cmd /c echo %ProgramFiles% 2>/dev/null | tr -d '\r')" 2>/dev/null)/Kovirant"
allusers_menu="$(winepath -u "$(wine cmd /c echo %ProgramData% 2>/dev/null | tr -d '\r')" 2>/dev/null)/Microsoft/Windows/Start Menu/Programs"
appdata="$(winepath -u "$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')" 2>/dev/null)"
wine msiexec /i "$(w "$msi_gep")" /qn >/dev/null 2>&1
check $? "msiexec /i $(basename "$msi_gep") /qn installs for the machine"
check "$([ -f "$pf/Kovirant.exe" ] && [ -f "$pf/kovirant-cli.exe" ] && [ -f "$pf/peldak/report.xml" ]; echo $?)" \
    "the programs land in Program Files\\Kovirant"
# Windows Installer puts ProgramMenuFolder of an ALLUSERS=1 package in the
# all-users menu; Wine's msi puts it in the installing user's.
check "$([ -f "$allusers_menu/Kovirant.lnk" ] || [ -f "$startmenu/Kovirant.lnk" ]; echo $?)" \
    "the Start-menu shortcut (the all-users menu on Windows)"
installer_folder=$(wine reg query 'HKLM\Software\Kovirant' /v Munkamappa 2>/dev/null | tr -d '\r' | grep -c 'REG_.*%USERPROFILE%')
check "$([ "$installer_folder" = 1 ]; echo $?)" "the installer writes Munkamappa as %USERPROFILE%\\Documents\\Kovirant"
# kovirant-cli by name, as the guide's scheduled task and cmd lines call it.
by_name=$(cd /tmp && wine cmd /c kovirant-cli --version 2>/dev/null | tr -d '\r')
check "$([[ $by_name == "kovirant-cli $version" ]]; echo $?)" "the package puts its folder on the system PATH (kovirant-cli by name)"

# The working folder set by policy: the program, started from Program Files
# as the shortcut starts it, works there (its hold on the recovery file is
# there) and has made the folder.
works_in() { # folder: starts the installed program and waits for its hold in the folder
    local folder=$1 found=1
    (cd "$pf" && wine explorer /desktop=kovirant-gep,1024x768 "$(w "$pf/Kovirant.exe")" >/dev/null 2>&1 &)
    for _ in $(seq 100); do
        if [ -e "$folder/Kovirant-visszaallitas.lock" ]; then found=0; break; fi
        sleep 0.2
    done
    wine taskkill /f /im Kovirant.exe >/dev/null 2>&1 || wineserver -k 2>/dev/null
    sleep 1
    return $found
}
rm -rf "$appdata/KovirantGep" "$appdata/KovirantFelhasznalo"
wine reg add 'HKLM\Software\Policies\Kovirant' /v Munkamappa /t REG_EXPAND_SZ /d '%APPDATA%\KovirantGep' /f >/dev/null 2>&1
works_in "$appdata/KovirantGep"
check $? "with the machine policy the program makes and works in %APPDATA%\\KovirantGep"
wine reg delete 'HKLM\Software\Policies\Kovirant' /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Policies\Kovirant' /v Munkamappa /t REG_SZ /d "$(w "$appdata")\\KovirantFelhasznalo" /f >/dev/null 2>&1
works_in "$appdata/KovirantFelhasznalo"
check $? "with the user policy alone, the same in its folder"
echo "officer's work" >"$appdata/KovirantFelhasznalo/Cegtar.csv"
wine msiexec /x "$(w "$msi_gep")" /qn >/dev/null 2>&1
check $? "the per-machine package uninstalls"
check "$([ ! -e "$pf/Kovirant.exe" ] && [ -f "$appdata/KovirantFelhasznalo/Cegtar.csv" ]; echo $?)" \
    "the uninstall removes the programs and keeps the officer's files"
wine reg delete 'HKCU\Software\Policies\Kovirant' /f >/dev/null 2>&1
system_path() { wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH 2>/dev/null | tr -d '\r'; }
check "$([[ $(system_path) != *Kovirant* ]]; echo $?)" "the uninstall takes the folder off the system PATH"
# The README's line for a batch file: %%USERNAME%% reaches the package as
# %USERNAME%, expanded for each officer when the program starts, not for the
# administrator who installs.
batch="$(dirname "$msi_gep")/telepites.cmd"
printf '@echo off\r\nmsiexec /i "%s" /qn MUNKAMAPPA="D:\\Kovirant\\%%%%USERNAME%%%%"\r\n' "$(w "$msi_gep")" >"$batch"
wine cmd /c "$(w "$batch")" >/dev/null 2>&1
check $? "the README's batch line installs"
documented=$(wine reg query 'HKLM\Software\Kovirant' /v Munkamappa 2>/dev/null | tr -d '\r' | grep -c 'D:\\Kovirant\\%USERNAME%$')
check "$([ "$documented" = 1 ]; echo $?)" "the batch line writes Munkamappa as D:\\Kovirant\\%USERNAME%, unexpanded"
wine msiexec /x "$(w "$msi_gep")" /qn >/dev/null 2>&1
rm -f "$batch"
wineserver -k 2>/dev/null
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
