#!/usr/bin/env bash
# Builds build/dist/Kovirant-<version>.msi and .zip from the Windows build:
# the exe, the user guide with the end-to-end run's screenshots embedded,
# the examples and, in the zip, OLVASSEL.txt. The version comes from VERSION
# (KOVIRANT_DIST_VERSION overrides it, for an upgrade test). The packages
# are the 32-bit build's; the package test on a machine that runs no 32-bit
# programs makes 64-bit ones of the same files in a folder of their own
# (KOVIRANT_DIST_BUILD, KOVIRANT_DIST_ARCH=x64, KOVIRANT_DIST_DIR).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
version="${KOVIRANT_DIST_VERSION:-$(head -n 1 "$root/VERSION")}"
build="${KOVIRANT_DIST_BUILD:-$root/build/win32}"
arch="${KOVIRANT_DIST_ARCH:-x86}"
dist="${KOVIRANT_DIST_DIR:-$root/build/dist}"
stage="$dist/stage-$version"
shots="$root/build/screenshots"
rm -rf "$stage"
mkdir -p "$stage/peldak" "$dist"

# The guide shows the program as the end-to-end run last saw it.
needed=$(grep -o '@@SHOT:[a-z0-9-]*@@' "$root/docs/Kovirant-utmutato.html" | sed 's/@@SHOT:\(.*\)@@/\1/' | sort -u)
for name in $needed; do
    if [ ! -f "$shots/$name.png" ]; then
        echo "dist: taking the screenshots with the end-to-end run"
        "$root/scripts/wine-gui-test.sh" >/dev/null && "$root/scripts/wine-road-test.sh" >/dev/null \
            || { echo "dist: the end-to-end run that takes the screenshots failed"; exit 1; }
        break
    fi
done
"$root/scripts/build-guide.sh" "$root/docs/Kovirant-utmutato.html" "$shots" "$stage/Kovirant-utmutato.html" \
    || { echo "dist: the guide could not be built"; exit 1; }

# Authenticode signatures when a certificate is given (KOVIRANT_SIGN_PFX and
# KOVIRANT_SIGN_PASSWORD, optionally KOVIRANT_SIGN_TIMESTAMP, a time-stamping URL).
sign() {
    [ -n "${KOVIRANT_SIGN_PFX:-}" ] || return 0
    local args=(sign -pkcs12 "$KOVIRANT_SIGN_PFX" -pass "${KOVIRANT_SIGN_PASSWORD:-}" -h sha256 -n Kovirant)
    [ -n "${KOVIRANT_SIGN_TIMESTAMP:-}" ] && args+=(-ts "$KOVIRANT_SIGN_TIMESTAMP")
    osslsigncode "${args[@]}" -in "$1" -out "$1.signed" >/dev/null && mv "$1.signed" "$1"
}
if [ -n "${KOVIRANT_SIGN_PFX:-}" ]; then
    echo "dist: signing with $KOVIRANT_SIGN_PFX"
else
    echo "dist: no certificate (KOVIRANT_SIGN_PFX): the programs and packages are unsigned"
fi

cp "$build/Kovirant.exe" "$build/kovirant-cli.exe" "$stage/"
sign "$stage/Kovirant.exe"
sign "$stage/kovirant-cli.exe"
cp "$root/examples/apeh-protocol.txt" "$root/examples/apeh-protocol-faulty.txt" "$root/examples/report.xml" \
   "$root/examples/Kovirant.ini" "$stage/peldak/"
# wixl takes the files' paths relative to where it runs.
(cd "$stage" && wixl -a "$arch" -D Version="$version" -D SourceDir=. -o "$dist/Kovirant-$version.msi" \
    "$root/packaging/Kovirant.wxs")
# The per-machine package for IT.
if [ "$arch" = x64 ]; then machine=(-D ProgramFiles=ProgramFiles64Folder -D Win64=yes)
else machine=(-D ProgramFiles=ProgramFilesFolder -D Win64=no); fi
(cd "$stage" && wixl -a "$arch" -D Version="$version" -D SourceDir=. "${machine[@]}" -o "$dist/Kovirant-$version-gep.msi" \
    "$root/packaging/Kovirant-gep.wxs")
# wixl knows no Environment element: the row that puts the programs' folder at
# the end of the system PATH (and takes it off on uninstall) goes in as a table.
msibuild "$dist/Kovirant-$version-gep.msi" -i "$root/packaging/Kovirant-gep-path.idt"
sign "$dist/Kovirant-$version.msi"
sign "$dist/Kovirant-$version-gep.msi"
# The Group Policy template travels in the zip.
mkdir -p "$stage/hazirend/hu-HU" "$stage/hazirend/en-US"
cp "$root/packaging/Kovirant.admx" "$stage/hazirend/"
cp "$root/packaging/hu-HU/Kovirant.adml" "$stage/hazirend/hu-HU/"
cp "$root/packaging/en-US/Kovirant.adml" "$stage/hazirend/en-US/"

cp "$root/packaging/OLVASSEL.txt" "$stage/"
rm -f "$dist/Kovirant-$version.zip"
(cd "$stage" && zip -q -r "$dist/Kovirant-$version.zip" Kovirant.exe kovirant-cli.exe Kovirant-utmutato.html OLVASSEL.txt \
    peldak hazirend)
rm -f "$stage/OLVASSEL.txt"
echo "dist: $dist/Kovirant-$version.msi, Kovirant-$version-gep.msi and Kovirant-$version.zip"
