#!/usr/bin/env bash
# The pictures' check refuses what shows nothing drawn (a blank copy of the
# screen, a missing or broken file) and takes a drawn window's picture.
set -uo pipefail
check="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
convert -size 112x56 xc:'#d4d0c8' "$work/blank.png"
convert -size 112x56 gradient:'#ab420b'-'#2a004b' "$work/drawn.png"
printf 'not a picture' >"$work/broken.png"
failures=0
expect() {
    local wanted="$1"
    shift
    "$check" "$@" 2>"$work/said"
    local got=$?
    if [ "$got" -ne "$wanted" ]; then
        echo "FAIL: check-pictures $* exited $got, expected $wanted: $(cat "$work/said")"
        failures=$((failures + 1))
    fi
}
expect 0 "$work/drawn.png"
expect 1 "$work/blank.png"
expect 1 "$work/drawn.png" "$work/blank.png"
expect 1 "$work/broken.png"
expect 1 "$work/missing.png"
grep -q "only 1 colours" <(
    "$check" "$work/blank.png" 2>&1
) || { echo "FAIL: the blank picture's message does not say why"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ] && echo "check-pictures: all cases passed"
exit "$failures"
