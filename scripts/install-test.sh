#!/usr/bin/env bash
# `make install`'s step into a scratch DESTDIR: the installed program runs,
# and its manual page renders with every option that --help lists.
set -euo pipefail
cli=$1
here="$(cd "$(dirname "$0")" && pwd)"
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
"$here/install.sh" "$cli" /opt/kovirant "$dest" >/dev/null
"$dest/opt/kovirant/bin/kovirant-cli" --version | grep -q '^kovirant-cli ' || { echo "the installed program does not run"; exit 1; }
page=$(zcat "$dest/opt/kovirant/share/man/man1/kovirant-cli.1.gz" | preconv -e UTF-8 | LC_ALL=C.UTF-8 nroff -man -Tutf8 2>&1 | sed 's/.\x08//g')
failed=0
while read -r option; do
    grep -qF -- "$option" <<<"$page" || { echo "the manual page lacks $option"; failed=1; }
done < <("$cli" --help | grep -o -- '--[a-z-]*' | sort -u)
grep -q 'KILÉPÉSI KÓD' <<<"$page" || { echo "the manual page has no exit status section"; failed=1; }
[ "$failed" -eq 0 ] && echo "1 passed, 0 failed" || { echo "0 passed, 1 failed"; exit 1; }
