#!/usr/bin/env bash
# Runs test programs split into SHARDS parts each, JOBS at a time, so one
# slow program under the sanitizers does not hold the others back. Each
# part's output goes to a log; the logs of failed parts are printed whole.
# Usage: shard-run.sh PROGRAM...   (environment: JOBS, SHARDS)
set -uo pipefail
jobs=${JOBS:-8}
shards=${SHARDS:-$jobs}
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

run_part() {
    local program=$1 index=$2 total=$3 log=$4
    if GTEST_SHARD_INDEX=$index GTEST_TOTAL_SHARDS=$total "$program" --gtest_brief=1 >"$log" 2>&1; then
        echo ok >"$log.rc"
    else
        echo failed >"$log.rc"
    fi
}
export -f run_part

for program in "$@"; do
    for ((i = 0; i < shards; ++i)); do
        printf '%s\0%s\0%s\0%s\0' "$program" "$i" "$shards" "$logs/$(basename "$program").$i"
    done
done | xargs -0 -n 4 -P "$jobs" bash -c 'run_part "$@"' _

failed=0
for program in "$@"; do
    name=$(basename "$program")
    passed=0
    for ((i = 0; i < shards; ++i)); do
        log="$logs/$name.$i"
        if [ "$(cat "$log.rc" 2>/dev/null)" != ok ]; then
            echo "---- $name, part $((i + 1)) of $shards failed:"
            cat "$log"
            failed=1
        fi
        n=$(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\..*/\1/p' "$log")
        passed=$((passed + ${n:-0}))
    done
    echo "$name: $passed tests passed"
done
exit $failed
