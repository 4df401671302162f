#!/usr/bin/env bash
# Runs each fuzz target for a while on a copy of its seed corpus.
#   run.sh BUILD SECONDS [TARGET...]
# BUILD is the build folder of the targets (configured with KARVEL_FUZZ=ON),
# SECONDS the fuzzing time of each target. Logs go to BUILD/fuzz-logs, crash
# files to BUILD/fuzz-artifacts. KEEP_CORPUS=1 keeps the grown corpora in
# BUILD/fuzz-corpus (they are started from there the next time).
set -u
build=$(cd "$1" && pwd)
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_command fuzz_format fuzz_read fuzz_parfile fuzz_datafile fuzz_session)

logs=$build/fuzz-logs
artifacts=$build/fuzz-artifacts
mkdir -p "$logs" "$artifacts"
passed=0
failed=0
for t in "${targets[@]}"; do
    exe=$build/$t
    if [ ! -x "$exe" ]; then
        echo "$t: no program $exe"; failed=$((failed + 1)); continue
    fi
    if [ "${KEEP_CORPUS:-0}" = 1 ]; then
        corpus=$build/fuzz-corpus/$t
        mkdir -p "$corpus"
    else
        corpus=$(mktemp -d)
    fi
    cp -rn "$here/corpus/$t/." "$corpus/"
    max_len=4096
    [ "$t" = fuzz_session ] && max_len=2048
    "$exe" "$corpus" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -max_len=$max_len \
        -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$artifacts/$t-" > "$logs/$t.log" 2>&1
    status=$?
    [ "${KEEP_CORPUS:-0}" = 1 ] || rm -rf "$corpus"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$t.log")
    done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$logs/$t.log" | tail -1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<< "$done_line")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<< "$done_line")
    if [ $status -eq 0 ]; then
        echo "$t: ok, ${runs:-?} inputs in ${seconds} s, cov ${cov:-?}, features ${ft:-?}"
        grep -E '^sessions:' "$logs/$t.log" | tail -1 | sed 's/^/    /'
        passed=$((passed + 1))
    else
        echo "$t: FAILED (status $status), log $logs/$t.log"
        grep -E '==fuzz check failed==|ERROR:|SUMMARY:|^artifact_prefix|Test unit written' "$logs/$t.log" | head -8
        failed=$((failed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ $failed -eq 0 ]
