#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Usage: install-deps.sh [native|win32|win64|wine|gui|bench|fuzz|lint|dist|all]...
set -euo pipefail

# Wine for the architecture the Windows programs are tested with here: the
# 32-bit Wine where the kernel runs 32-bit programs, else the 64-bit one alone.
if [ "$("$(dirname "$0")/win-arch.sh")" = win64 ]; then
    wine=(wine wine64 fonts-wine)
else
    wine=(wine wine32:i386 fonts-wine)
fi

want=()
hungarian=0  # the end-to-end run's desktop is Hungarian
for group in "${@:-all}"; do
    case "$group" in
        native) want+=(cmake make g++ groff-base libgtest-dev libxml2-dev libxml2-utils nlohmann-json3-dev libssl-dev) ;;
        win32)  want+=(g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686) ;;
        win64)  want+=(g++-mingw-w64-x86-64 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64) ;;
        wine)   want+=("${wine[@]}") ;;
        gui)    want+=(xvfb x11-utils xdotool imagemagick locales); hungarian=1 ;;
        bench)  want+=(bc libxml2-utils time) ;;
        fuzz)   want+=(clang libclang-rt-14-dev) ;;
        lint)   want+=(cppcheck clang-tidy) ;;
        dist)   want+=(wixl msitools zip unzip osslsigncode openssl) ;;
        all)    want+=(cmake make g++ groff-base libgtest-dev libxml2-dev libxml2-utils nlohmann-json3-dev libssl-dev g++-mingw-w64-i686
                       mingw-w64-i686-dev binutils-mingw-w64-i686 "${wine[@]}" xvfb x11-utils
                       xdotool imagemagick locales bc cppcheck clang-tidy wixl msitools zip unzip osslsigncode openssl)
                hungarian=1 ;;
        *) echo "unknown group: $group" >&2; exit 2 ;;
    esac
done

missing=()
for pkg in "${want[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$pkg")
    fi
done
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
hungarian_locale() {
    [ "$hungarian" -eq 1 ] || return 0
    locale -a 2>/dev/null | grep -qix 'hu_HU.utf8' && return 0
    echo "Generating the hu_HU.UTF-8 locale"
    $SUDO sed -i 's/^# *\(hu_HU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^hu_HU.UTF-8 UTF-8' /etc/locale.gen || echo 'hu_HU.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
}
if [ ${#missing[@]} -eq 0 ]; then
    hungarian_locale
    exit 0
fi

echo "Installing: ${missing[*]}"
for pkg in "${missing[@]}"; do
    case "$pkg" in
        *:i386)
            if ! dpkg --print-foreign-architectures | grep -qx i386; then
                $SUDO dpkg --add-architecture i386
            fi ;;
    esac
done
export DEBIAN_FRONTEND=noninteractive
# A mirror being synced fails one index now and then: try again, and go on
# with the lists there are when one index still fails.
for try in 1 2 3; do
    $SUDO apt-get update -q && break
    echo "apt-get update failed (try $try); trying again"
    sleep 15
done
installed=0
for try in 1 2 3; do
    $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}" && { installed=1; break; }
    echo "apt-get install failed (try $try); trying again"
    sleep 15
    $SUDO apt-get update -q || true
done
# An index of the security suite that still fails leaves the 32-bit
# libraries without versions matching the 64-bit ones: install from the
# main suites alone, which agree with each other.
if [ "$installed" -eq 0 ]; then
    echo "installing from the main suites alone"
    parts=$(mktemp -d)
    printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        >"$parts/main.sources"
    main_only=(-o "Dir::Etc::sourceparts=$parts" -o "Dir::Etc::sourcelist=/dev/null")
    $SUDO apt-get "${main_only[@]}" update -q
    $SUDO apt-get "${main_only[@]}" install -y -q --no-install-recommends "${missing[@]}"
    rm -rf "$parts"
    $SUDO apt-get update -q || true
fi
hungarian_locale
