#!/usr/bin/env bash
# Runs chosen CTest entries again and again on a loaded machine, to bring out
# the failures that show up one run in five:
#     scripts/soak-tests.sh N [CTEST_REGEX]      (default regex: every entry)
# Builds once, starts a private X display and Wine session as ./test does,
# then holds every core with a busy loop and runs the entries N times. Prints
#     N runs, P passed, F failed
# and, for each failed run, each failed test with its first failing assertion.
# Each run's full output stays in the build folder (soak/run-<i>.log).
# SOAK_BUSY_LOOPS=<n> sets the number of busy loops (default: one per core).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"

runs="${1:-}"
pattern="${2:-.}"
if ! [[ "$runs" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: scripts/soak-tests.sh N [CTEST_REGEX]" >&2
    exit 2
fi

install_missing_packages
configure_and_build

busy_pids=()
stop_busy_loops() {
    local pid
    for pid in "${busy_pids[@]+"${busy_pids[@]}"}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${busy_pids[@]+"${busy_pids[@]}"}"; do wait "$pid" 2>/dev/null || true; done
    busy_pids=()
}
cleanup() {
    local status=$?
    stop_busy_loops
    stop_test_session
    exit "$status"
}
trap cleanup EXIT INT TERM
start_test_session

for _ in $(seq 1 "${SOAK_BUSY_LOOPS:-$(nproc)}"); do
    bash -c 'while :; do :; done' &
    busy_pids+=($!)
done

# Each failed GoogleTest case of a log, with the first assertion that failed
# in it (the "file:line: Failure" line and the message line after it).
first_failures() {
    awk '
        /^\[ RUN      \] / { test = $4; reported = 0; next }
        /: Failure$/ && test != "" && !reported {
            where = $0; sub(/^.*[\\\/]/, "", where); sub(/: Failure$/, "", where)
            getline message
            printf "    %s: %s: %s\n", test, where, message
            reported = 1; next
        }
        /^\[  FAILED  \] / && $4 != "" && test == $4 && !reported {
            printf "    %s: failed without an assertion (see the log)\n", test
            reported = 1
        }
        /^\[       OK \] |^\[  FAILED  \] / { test = "" }
    ' "$1"
}

logs="$build/soak"
rm -rf "$logs"
mkdir -p "$logs"
passed=0
failed=0
report=()
for run in $(seq 1 "$runs"); do
    log="$logs/run-$run.log"
    started=$SECONDS
    if ctest --test-dir "$build" --output-on-failure -R "$pattern" >"$log" 2>&1; then
        passed=$((passed + 1))
        echo "run $run: passed in $((SECONDS - started)) s"
    else
        failed=$((failed + 1))
        echo "run $run: FAILED in $((SECONDS - started)) s ($log)"
        entries="$(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (.*/\1/p' "$log" | tr '\n' ' ')"
        report+=("  run $run: ${entries:-no test named}")
        while IFS= read -r line; do report+=("$line"); done < <(first_failures "$log")
    fi
done
stop_busy_loops

echo "$runs runs, $passed passed, $failed failed"
for line in "${report[@]+"${report[@]}"}"; do echo "$line"; done
[ "$failed" -eq 0 ]
