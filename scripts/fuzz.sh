#!/usr/bin/env bash
# Runs every fuzz target for FUZZ_SECONDS (default 300) with libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer. The corpus grows in
# build/fuzz-corpus/; inputs that break a target land in build/fuzz-artifacts/
# and belong in fuzz/corpus/<target>/ once fixed.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${FUZZ_SECONDS:-300}"
jobs="${FUZZ_PARALLEL:-1}"
targets="${FUZZ_TARGETS:-apeh reload profile writer editors directory journal}"
mkdir -p "$root/build/fuzz-corpus" "$root/build/fuzz-artifacts"
run() {
    local name=$1 corpus="$root/build/fuzz-corpus/$1"
    mkdir -p "$corpus"
    cp -n "$root/fuzz/corpus/$name/"* "$corpus/" 2>/dev/null
    local dict=()
    [ -f "$root/fuzz/$name.dict" ] && dict=(-dict="$root/fuzz/$name.dict")
    "$root/build/fuzz/fuzz/${name}_fuzz" "$corpus" "${dict[@]}" -max_total_time="$seconds" -max_len=65536 \
        -artifact_prefix="$root/build/fuzz-artifacts/$name-" -print_final_stats=1 >"$root/build/fuzz-$name.log" 2>&1
    local status=$?
    echo "$name: exit $status, $(grep -E '^stat::number_of_executed_units' "$root/build/fuzz-$name.log" | awk '{print $2}') executions"
    return $status
}
export -f run
export root seconds
failed=0
printf '%s\n' $targets | xargs -P "$jobs" -I{} bash -c 'run {}' || failed=1
exit $failed
