#!/usr/bin/env bash
# Static checks of the portable core: cppcheck and a small set of clang-tidy
# checks (likely bugs and needless copies). Both must report nothing.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
cmake -S . -B build/lint -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DBUILD_TESTING=OFF -Wno-dev --log-level=WARNING >/dev/null
# clang knows neither the Windows-1250 execution character set nor GCC's
# -Wno-restrict; the checks depend on neither.
sed -i 's/-fexec-charset=CP1250//g; s/-Wno-restrict//g' build/lint/compile_commands.json
sources=$(git ls-files 'src/*.cpp' | grep -v '^src/win32/')
failed=0

# The layer rule: Windows headers only under src/win32/ (the shell, and in
# src/win32/os/ the operating system's side of the core).
leaks=$(grep -rnE '#\s*include\s*[<"](windows|winuser|winbase|commctrl|commdlg|shellapi|shlobj|windowsx|winnls|bcrypt)\.h[>"]' src \
    | grep -v '^src/win32/')
[ -n "$leaks" ] && { echo "Windows headers outside src/win32/:"; echo "$leaks"; failed=1; }

# The folder order of the core: a folder includes only from its own level or
# below (text, util -> os -> records -> editing -> import, report -> directory,
# recovery -> archive -> app); the front ends sit on top.
up=$(git grep -n -E '^#\s*include "' -- 'src/*.cpp' 'src/*.h' | awk '
    BEGIN { split("text util os records editing import report directory recovery archive app win32 cli", n, " ")
            split("0 0 1 2 3 4 4 5 5 6 7 8 8", r, " ")
            for (i in n) rank[n[i]] = r[i] }
    { split($0, a, ":"); path = a[1]; split(path, p, "/"); from = p[2]
      match($0, /"[^"]+"/); inc = substr($0, RSTART + 1, RLENGTH - 2)
      gsub(/\.\.\//, "", inc); k = split(inc, q, "/"); to = (k > 1) ? q[1] : from
      if ((from in rank) && (to in rank) && to != from && rank[to] >= rank[from])
          print path " includes " inc }')
[ -n "$up" ] && { echo "Includes that point up the folder order:"; echo "$up"; failed=1; }

out=$(cppcheck -j "$(nproc)" --enable=warning,performance,portability --std=c++20 --inline-suppr --quiet --error-exitcode=1 \
    -I src $sources 2>&1) || failed=1
[ -n "$out" ] && { echo "$out"; failed=1; }

# (bugprone-reserved-identifier, a sixth of the checks' time, looks at names the code never uses.)
checks='-*,bugprone-*,-bugprone-easily-swappable-parameters,-bugprone-narrowing-conversions,-bugprone-reserved-identifier,performance-*,-performance-inefficient-string-concatenation'
out=$(printf '%s\n' $sources | xargs -P "$(nproc)" -I{} clang-tidy -p build/lint --quiet --checks="$checks" {} 2>/dev/null \
    | grep -E '(warning|error):')
[ -n "$out" ] && { echo "$out"; failed=1; }

if [ $failed -eq 0 ]; then echo "lint: cppcheck and clang-tidy report nothing"; fi
exit $failed
