#!/usr/bin/env bash
# Prints the Wine architecture the Windows programs are tested with here:
# win32 where the kernel runs 32-bit programs (as the shipped build is), win64
# where it does not (a kernel built without 32-bit emulation). It tries a
# 93-byte 32-bit program that only exits with 0. KOVIRANT_WINEARCH overrides.
set -u
if [ -n "${KOVIRANT_WINEARCH:-}" ]; then echo "$KOVIRANT_WINEARCH"; exit 0; fi
# Made in the project's build folder: a temporary folder may be mounted noexec.
root="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$root/build"
probe=$(mktemp "$root/build/.arch-probe.XXXXXX")
trap 'rm -f "$probe"' EXIT
# ELF header, one loadable segment, then mov eax,1; xor ebx,ebx; int 0x80.
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
chmod +x "$probe"
if "$probe" 2>/dev/null; then echo win32; else echo win64; fi
