#!/usr/bin/env bash
# make test's runs, once the Windows build and the native build are made.
# The Windows programs' tests under Wine take turns on one prefix and wait
# on windows more than they compute: they run beside the sanitizer,
# ThreadSanitizer and lint builds rather than after them (on two cores the
# whole run is about four minutes shorter). Each part's log is shown whole
# when it fails, else its last lines.
set -uo pipefail
cd "$(dirname "$0")/.."
make="${MAKE:-make}"
jobs="${JOBS:-$(nproc)}"
native=build/native
sanitize=build/sanitize

scripts/install-deps.sh wine gui dist || exit 1

# Its own process group, so that a failed build stops it at once.
setsid bash -c "cd $native && exec ctest --output-on-failure -R '^wine\.' > ctest-wine.log 2>&1" &
wine=$!
stop_wine() { kill -- "-$wine" 2>/dev/null; wait "$wine" 2>/dev/null; }
trap 'stop_wine; exit 130' INT TERM

show() {  # show LOG STATUS: the whole log on a failure, else its summary
    if [ "$2" -ne 0 ]; then cat "$1"; else echo "$1: $(grep -E 'tests passed' "$1")"; fi
}

# shellcheck disable=SC2086  # KOVIRANT_LATER_BUILDS: make targets, split on spaces
if ! "$make" --no-print-directory sanitize tsan lint ${KOVIRANT_LATER_BUILDS:-}; then
    stop_wine
    exit 1
fi
failed=0
# The shipped 32-bit programs take 4 GB of address space on 64-bit Windows
# (read from the 32-bit build, which is made even where Wine runs the 64-bit one).
for exe in Kovirant.exe kovirant-cli.exe; do
    header=$(i686-w64-mingw32-objdump -p "build/win32/$exe" 2>/dev/null)  # (grep -q in a pipe: SIGPIPE fails it)
    if [[ $header != *"large address aware"* ]]; then
        echo "FAIL the shipped $exe is not large-address-aware"; failed=1
    fi
done
(cd "$sanitize" && ctest --output-on-failure -j"$jobs" -E '^wine\.' > ctest.log 2>&1)
status=$?; show "$sanitize/ctest.log" $status; [ $status -eq 0 ] || failed=1
(cd "$native" && ctest --output-on-failure -j"$jobs" -E '^wine\.' > ctest.log 2>&1)
status=$?; show "$native/ctest.log" $status; [ $status -eq 0 ] || failed=1
wait "$wine"
status=$?; show "$native/ctest-wine.log" $status; [ $status -eq 0 ] || failed=1
exit $failed
