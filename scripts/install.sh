#!/usr/bin/env bash
# Installs the native console program and its manual page:
#   install.sh PATH-TO-kovirant-cli PREFIX [DESTDIR]
# puts DESTDIR/PREFIX/bin/kovirant-cli and DESTDIR/PREFIX/share/man/man1/kovirant-cli.1.gz.
set -euo pipefail
cli=$1 prefix=$2 destdir=${3:-}
here="$(cd "$(dirname "$0")" && pwd)"
bin="$destdir$prefix/bin" man="$destdir$prefix/share/man/man1"
page=$(mktemp)
trap 'rm -f "$page"' EXIT
"$here/man-page.sh" "$cli" >"$page"
install -d "$bin" "$man"
install -m 755 "$cli" "$bin/kovirant-cli"
gzip -9n <"$page" >"$man/kovirant-cli.1.gz"
chmod 644 "$man/kovirant-cli.1.gz"
echo "installed $bin/kovirant-cli and $man/kovirant-cli.1.gz"
