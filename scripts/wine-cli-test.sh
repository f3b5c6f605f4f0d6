#!/usr/bin/env bash
# The console program under Wine with no display at all: the example report
# through kovirant-cli.exe into a folder and a file with Hungarian names gives
# the report the native program writes from the same rows (line by line but
# the time stamp), the directory learns, findings redirected to a file are
# UTF-8, and the exit statuses hold. Usage: wine-cli-test.sh WIN32_DIR NATIVE_DIR
set -u
. "$(dirname "$0")/wine-env.sh"
root="$KOVIRANT_ROOT"
win32="${1:-$KOVIRANT_WINRUN}"
native="${2:-$root/build/native}"
kovirant_wine_prefix
# One Wine server for the whole test: runs started back to back would now
# and then meet one that is shutting down ("recvmsg: Connection reset by peer").
wineserver -p 2>/dev/null
# The policy values a test sets go with the test, however it ends: one left
# naming an unset variable would make a later run write into a folder named
# after it ("%KOVIRANT_TEST_SHARE%").
policy='HKCU\Software\Policies\Kovirant'
trap 'wine reg delete "$policy" /f >/dev/null 2>&1; wineserver -k 2>/dev/null' EXIT
unset DISPLAY
work="$root/build/cli-work"
rm -rf "$work"
dir="$work/árvíztűrő tükörfúrógép"
mkdir -p "$dir"
cp "$root/examples/Kovirant.ini" "$dir/"
w() { winepath -w "$1" 2>/dev/null; }
passed=0
failed=0
check() { # status description
    if [ "$1" = 0 ]; then echo "ok   $2"; passed=$((passed + 1)); else echo "FAIL $2"; failed=$((failed + 1)); fi
}
cli() { wine "$win32/kovirant-cli.exe" "$@"; }

report="$dir/jelentés ő.xml"
cli "$(w "$root/examples/report.xml")" -o "$(w "$report")" --settings "$(w "$dir/Kovirant.ini")" \
    >"$work/out.txt" 2>"$work/err.txt"
check $? "kovirant-cli.exe writes the example report into a Hungarian path without a display"
"$native/kovirant-cli" "$root/examples/report.xml" -o "$work/native.xml" --settings "$dir/Kovirant.ini" --no-learn \
    >/dev/null 2>&1
diff <(grep -av 'pecs' "$report" | tr -d '\r') <(grep -av 'pecs' "$work/native.xml" | tr -d '\r') >/dev/null
check $? "the report is the native program's, line by line but the time stamp"
check "$([ -f "$dir/Cegtar.csv" ] && grep -q '^20866022;01-01-010000;' "$dir/Cegtar.csv"; echo $?)" \
    "the directory learnt from the written report"
check "$(grep -q 'A jelentés elkészült' "$work/err.txt"; echo $?)" "standard error names the report, in UTF-8"

cli --check --settings "$(w "$dir/Kovirant.ini")" "$(w "$root/examples/apeh-protocol-faulty.txt")" \
    >"$work/findings.txt" 2>/dev/null
check "$([ $? = 1 ]; echo $?)" "a faulty protocol stops the run with status 1"
check "$(grep -q ':2: hiba: A sor nem 216 karakter hosszú' "$work/findings.txt" && ! grep -q 'Folytatja' "$work/findings.txt"; echo $?)" \
    "findings redirected to a file are UTF-8: $(head -c 120 "$work/findings.txt")"
(cd "$work" && cli --check "$(w "$root/examples/report.xml")" >/dev/null 2>"$work/err.txt")
check "$([ $? = 3 ] && grep -q -- '--settings' "$work/err.txt"; echo $?)" \
    "without Kovirant.ini in the current folder the run stops with status 3 and names --settings"
# Two programs learning into one directory at once, one of them under Wine:
# every company of both is there afterwards.
# (Each writes its reports into a folder of its own: a native run's clean-up of
# killed saves cannot see that a Wine process still writes a file.)
shared="$work/kozos"
mkdir -p "$shared/natív" "$shared/wine"
report_of() { # number: a report of one register row of its own company
    printf '<?xml version="1.0" encoding="ISO-8859-2"?>\r\n<P\xe9nzint\xe9zetiJelent\xe9s>\r\n<C\xe9gjegyz\xe9k>\r\n'
    printf '<C\xe9gMutat\xf3 C\xe9gsz\xe1m="0109%06d" T\xf6rzssz\xe1m="%08d">\r\n' $((100000 + $1)) $((30000000 + $1))
    printf '<Sz\xe1mlasz\xe1m k\xf3d="Bejegyz\xe9s">\r\n<Jelz\xf5sz\xe1m>117730160000123400000000</Jelz\xf5sz\xe1m>\r\n'
    printf '<Nyit\xe1s>2026-11-30</Nyit\xe1s>\r\n</Sz\xe1mlasz\xe1m>\r\n</C\xe9gMutat\xf3>\r\n</C\xe9gjegyz\xe9k>\r\n'
    printf '</P\xe9nzint\xe9zetiJelent\xe9s>\r\n'
}
for i in $(seq 0 199); do report_of "$i" >"$shared/be-$i.xml"; done
printf 'T\xf6rzssz\xe1m;C\xe9gsz\xe1m;C\xe9gn\xe9v\r\n' >"$shared/Cegtar.csv"  # named by --directory: must be there
(
    for i in $(seq 100 199); do
        "$native/kovirant-cli" "$shared/be-$i.xml" -o "$shared/natív/ki-$i.xml" --settings "$dir/Kovirant.ini" \
            --directory "$shared/Cegtar.csv" >/dev/null 2>&1 || echo "native run $i failed" >>"$shared/failed.txt"
    done
) &
# (The Windows paths are made once: a winepath per run would start Wine three
# times more than the runs themselves.)
# Two Wine runs at a time beside the native ones.
shared_w=$(w "$shared") settings_w=$(w "$dir/Kovirant.ini")
wine_runs() { # first last
    local i
    for i in $(seq "$1" "$2"); do
        cli "$shared_w\\be-$i.xml" -o "$shared_w\\wine\\ki-$i.xml" --settings "$settings_w" \
            --directory "$shared_w\\Cegtar.csv" >/dev/null 2>"$shared/wine-$i.err" ||
            echo "wine run $i failed: $(cat "$shared/wine-$i.err")" >>"$shared/failed.txt"
    done
}
wine_runs 0 49 &
wine_runs 50 99 &
wait
entries=$(grep -ac '^3000' "$shared/Cegtar.csv")
check "$([ "$entries" = 200 ] && [ ! -s "$shared/failed.txt" ]; echo $?)" \
    "200 runs learning at once, half under Wine: $entries of 200 companies in the directory $(head -c 200 "$shared/failed.txt" 2>/dev/null)"

# The group-policy value "Cegtar" names the directory, machine before user,
# environment variables expanded, as "Munkamappa" is read.
mkdir -p "$work/hazirend"
wine reg add "$policy" /v Cegtar /t REG_EXPAND_SZ /d "%KOVIRANT_TEST_SHARE%\\Cegtar.csv" /f >/dev/null 2>&1
KOVIRANT_TEST_SHARE="$(w "$work/hazirend")" WINEDEBUG=-all \
    cli "$(w "$root/examples/report.xml")" -o "$(w "$work/hazirend/jelentes.xml")" --settings "$(w "$dir/Kovirant.ini")" \
    >/dev/null 2>&1
check "$([ $? = 0 ] && grep -q '^20866022;' "$work/hazirend/Cegtar.csv"; echo $?)" \
    "the policy value Cegtar names the directory the run learns into"
wine reg delete "$policy" /v Cegtar /f >/dev/null 2>&1
wine reg add "$policy" /v Archivum /t REG_EXPAND_SZ /d "%KOVIRANT_TEST_SHARE%\\Archivum" /f >/dev/null 2>&1
KOVIRANT_TEST_SHARE="$(w "$work/hazirend")" WINEDEBUG=-all \
    cli "$(w "$root/examples/report.xml")" -o "$(w "$work/hazirend/jelentes2.xml")" --settings "$(w "$dir/Kovirant.ini")" \
    --no-learn >/dev/null 2>&1
check "$([ $? = 0 ] && grep -q 'jelentes2.xml' "$work/hazirend/Archivum/naplo.csv" &&
         "$native/kovirant-cli" --verify-archive "$work/hazirend/Archivum" >/dev/null 2>&1; echo $?)" \
    "the policy value Archivum names the archive, whose log the native program verifies"
wine reg delete "$policy" /v Archivum /f >/dev/null 2>&1
# A policy value naming a variable that is not set is refused, naming the
# value (status 3), before anything is written: no "%...%" folder appears
# in the current folder, no report.
wine reg add "$policy" /v Archivum /t REG_EXPAND_SZ /d "%KOVIRANT_NINCS_ILYEN%\\Archivum" /f >/dev/null 2>&1
(cd "$work/hazirend" && WINEDEBUG=-all cli "$(w "$root/examples/report.xml")" -o "$(w "$work/hazirend/jelentes3.xml")" \
    --settings "$(w "$dir/Kovirant.ini")" --no-learn >/dev/null 2>"$work/policy-err.txt")
check "$([ $? = 3 ] && grep -q 'KOVIRANT_NINCS_ILYEN' "$work/policy-err.txt" && [ ! -e "$work/hazirend/jelentes3.xml" ] &&
         ! ls -d "$work"/hazirend/%* "$root"/%* >/dev/null 2>&1; echo $?)" \
    "a policy value with an unset variable is refused with status 3, naming it: $(head -c 200 "$work/policy-err.txt")"
wine reg delete "$policy" /v Archivum /f >/dev/null 2>&1

# The two-person release by the policy value Jovahagyas: the report saved by
# one officer waits, he cannot approve it, another can (the file to sign then
# appears in Kimeno beside the settings); it is sent and its receipt attached,
# and the native program verifies the archive.
road="$work/ut"
mkdir -p "$road"
wine reg add "$policy" /v Jovahagyas /t REG_DWORD /d 1 /f >/dev/null 2>&1
USERNAME=elso WINEDEBUG=-all cli "$(w "$root/examples/report.xml")" -o "$(w "$road/ut.xml")" \
    --settings "$(w "$dir/Kovirant.ini")" --archive "$(w "$road/Archivum")" --no-learn >/dev/null 2>"$work/road-err.txt"
check "$([ $? = 0 ] && grep -q 'jóváhagyásra vár' "$work/road-err.txt"; echo $?)" \
    "with the policy value Jovahagyas the saved report awaits approval"
sha=$(sed -n 2p "$road/Archivum/naplo.csv" | cut -d';' -f7)
roadcli() { USERNAME="$1" WINEDEBUG=-all cli --settings "$(w "$dir/Kovirant.ini")" --archive "$(w "$road/Archivum")" "${@:2}"; }
roadcli ELSO --approve "${sha:0:8}" >/dev/null 2>"$work/road-err.txt"
check "$([ $? = 1 ] && grep -q 'Ön készítette' "$work/road-err.txt"; echo $?)" \
    "the officer who saved it cannot approve it (the name without case)"
# Wine names every process by the Unix account that runs it: the other
# officer is the native program run as another account (with the release in
# its settings, the outbox beside them).
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    sed 's/^\[GENERAL\]\r$/[GENERAL]\r\njovahagyas=1\r/' "$dir/Kovirant.ini" >"$road/Kovirant.ini"
    mkdir -p "$road/Kimeno"
    chmod -R a+rwX "$road"
    setpriv --reuid=65534 --regid=65534 --clear-groups \
        "$native/kovirant-cli" --settings "$road/Kovirant.ini" --archive "$road/Archivum" --approve "${sha:0:8}" \
        >/dev/null 2>"$work/road-err.txt"
    check "$([ $? = 0 ] && [ -f "$road/Kimeno/ut.xml" ]; echo $?)" \
        "another officer approves it and the outbox holds it: $(head -c 200 "$work/road-err.txt")"
else
    echo "skip another officer's approval (needs root and setpriv to run as another account)"
    roadcli masodik --return "${sha:0:8}" --reason x >/dev/null 2>&1  # (refused: the same account)
fi
roadcli masodik --mark-sent "${sha:0:10}" --at "2026-12-01 10:00" >/dev/null 2>&1
check $? "the approved report is marked sent"
printf 'Subject: %s\r\n' "$sha" >"$road/nyugta.eml"
roadcli masodik --receipt "${sha:0:8}" "$(w "$road/nyugta.eml")" --accepted >/dev/null 2>&1
check $? "the registry's receipt is attached"
roadcli masodik --archive-status >"$work/road-out.txt" 2>&1
check "$([ $? = 0 ] && "$native/kovirant-cli" --verify-archive "$road/Archivum" >/dev/null 2>&1; echo $?)" \
    "nothing is overdue and the native program verifies the road's lines and the receipt"
wine reg delete "$policy" /v Jovahagyas /f >/dev/null 2>&1

cli --nincs-ilyen >/dev/null 2>&1
check "$([ $? = 2 ]; echo $?)" "a wrong option gives status 2"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
