#!/usr/bin/env bash
# Writes the manual page of kovirant-cli (roff, section 1) to standard output,
# made from the program's own --help and --version, so that it never
# disagrees with the program. Usage: man-page.sh PATH-TO-kovirant-cli
set -euo pipefail
cli=$1
version=$("$cli" --version | sed -n 's/^kovirant-cli //p')
[ -n "$version" ] || { echo "man-page.sh: $cli --version said no version" >&2; exit 1; }
help=$("$cli" --help)

# Roff: a leading '.' or "'" would start a request, '\' an escape, '-' in an
# option a hyphen that must stay a minus sign for copying.
esc() { sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"; }

printf '.TH KOVIRANT-CLI 1 "" "kovirant-cli %s" "Kovirant"\n' "$version"
printf '.SH NÉV\nkovirant\\-cli \\- a Kovirant jelentés készítése ablak nélkül, ütemezett futáshoz\n'
printf '.SH ÁTTEKINTÉS\n'
printf '%s\n' "$help" | sed -n '1s/^Használat: //p' | esc | sed 's/^/.B /'
printf '.SH LEÍRÁS\n'
printf 'A \\fBkovirant\\-cli\\fR ugyanazt a jelentést írja, amit az ablakos program: beolvassa a bemeneteket a\n'
printf 'megadott sorrendben, kitölti a cégszámokat a cégtárból és az archívumból, ellenőrzi a sorokat, megírja és\n'
printf 'archiválja a jelentést, majd a cégtár tanul belőle. Semmit nem kérdez; a megállapítások a szabványos\n'
printf 'kimenetre, az összesítő a hibakimenetre kerül.\n'
printf '.SH KAPCSOLÓK\n'
# Option lines start with two blanks and the option; a continuation line is
# indented to the text's column. Each option becomes a tagged paragraph.
printf '%s\n' "$help" | sed -n '2,/^$/p' | sed '/^$/d' | esc | awk '
    /^  [^ ]/ {
        line = substr($0, 3)
        # The text starts after two blanks, or after one where the option
        # runs into the text column (22 characters in).
        n = match(line, /  +/)
        if (n == 0 && length(line) > 22) { n = index(substr(line, 22), " "); if (n > 0) n += 21 }
        if (n > 0) { tag = substr(line, 1, n - 1); text = substr(line, n); sub(/^ +/, "", text) }
        else       { tag = line; text = "" }
        printf ".TP\n.B %s\n", tag
        if (text != "") print text
        next
    }
    { sub(/^ +/, ""); print }'
printf '.SH KILÉPÉSI KÓD\n'
printf '%s\n' "$help" | sed -n '/^Kilépési kód/,$p' | esc
printf '.SH LÁSD MÉG\nA Kovirant felhasználói útmutatója (Kovirant\\-utmutato.html).\n'
