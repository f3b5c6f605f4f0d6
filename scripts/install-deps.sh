#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Usage: install-deps.sh [native|win32|wine|gui|bench|fuzz|lint|dist|all]...
set -euo pipefail

want=()
for group in "${@:-all}"; do
    case "$group" in
        native) want+=(cmake make g++ libgtest-dev libxml2-dev libxml2-utils nlohmann-json3-dev) ;;
        win32)  want+=(g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686) ;;
        wine)   want+=(wine wine32:i386 fonts-wine) ;;
        gui)    want+=(xvfb x11-utils xdotool imagemagick) ;;
        bench)  want+=(bc libxml2-utils) ;;
        fuzz)   want+=(clang libclang-rt-14-dev) ;;
        lint)   want+=(cppcheck clang-tidy) ;;
        dist)   want+=(wixl msitools zip unzip osslsigncode openssl) ;;
        all)    want+=(cmake make g++ libgtest-dev libxml2-dev libxml2-utils nlohmann-json3-dev g++-mingw-w64-i686
                       mingw-w64-i686-dev binutils-mingw-w64-i686 wine wine32:i386 fonts-wine xvfb x11-utils
                       xdotool imagemagick bc cppcheck clang-tidy wixl msitools zip unzip osslsigncode openssl) ;;
        *) echo "unknown group: $group" >&2; exit 2 ;;
    esac
done

missing=()
for pkg in "${want[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$pkg")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
for pkg in "${missing[@]}"; do
    case "$pkg" in
        *:i386)
            if ! dpkg --print-foreign-architectures | grep -qx i386; then
                $SUDO dpkg --add-architecture i386
            fi ;;
    esac
done
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
