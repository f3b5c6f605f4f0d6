#!/usr/bin/env bash
# Makes the user guide one self-contained file: each @@SHOT:name@@ in the
# template becomes the screenshot build/screenshots/name.png, embedded, with
# the empty desktop around the program's windows trimmed away. A picture that
# is missing, or larger than a 1366x768 screen, fails the build.
# Usage: build-guide.sh TEMPLATE SHOTS_DIR OUTPUT
set -euo pipefail
template=$1 shots=$2 output=$3
missing=0
: >"$output"
while IFS= read -r line || [ -n "$line" ]; do
    while [[ $line =~ @@SHOT:([a-z0-9-]+)@@ ]]; do
        name=${BASH_REMATCH[1]}
        before=${line%%"@@SHOT:$name@@"*}
        after=${line#*"@@SHOT:$name@@"}
        printf '%s' "$before" >>"$output"
        if [ -f "$shots/$name.png" ]; then
            trimmed=$(mktemp --suffix=.png)
            convert "$shots/$name.png" -fuzz 3% -trim +repage "$trimmed"
            read -r w h < <(identify -format '%w %h\n' "$trimmed")
            if [ "$w" -gt 1366 ] || [ "$h" -gt 768 ]; then
                echo "guide: $name.png is ${w}x${h}, larger than 1366x768" >&2
                missing=1
            fi
            printf '<img alt="%s" src="data:image/png;base64,' "$name" >>"$output"
            base64 -w0 "$trimmed" >>"$output"
            rm -f "$trimmed"
            printf '">' >>"$output"
        else
            printf '<i>(kép: %s)</i>' "$name" >>"$output"
            echo "guide: no screenshot $name.png" >&2
            missing=1
        fi
        line=$after
    done
    printf '%s\n' "$line" >>"$output"
done <"$template"
exit $missing
