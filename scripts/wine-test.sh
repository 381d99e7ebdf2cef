#!/usr/bin/env bash
# Runs one test program under Wine for CTest: wine-test.sh WINE PROGRAM [ARGS].
# Wine's loader gives up without a word when it cannot map a program or one
# of the libraries it imports (the tests run with WINEDEBUG=-all). A run that
# ends at once, having printed nothing, is run again with the loader's own
# messages on, so that the log says what failed to load.
set -u
wine="$1"
shift
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
started=$SECONDS
"$wine" "$@" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
if [ "$status" -ne 0 ] && [ ! -s "$log" ] && [ $((SECONDS - started)) -lt 5 ]; then
    echo "wine-test: $1 ended with status $status before printing anything;"
    echo "wine-test: running it once more with the loader's messages on."
    WINEDEBUG=err+all,+loaddll "$wine" "$@" 2>&1
    status=$?
fi
# Now and then the host's dynamic loader trips over its own bookkeeping while
# Wine's process ends ("Inconsistency detected by ld.so: dl-fini.c"), after
# the program has printed its verdict: the run counts by that verdict, and
# only when every test passed and nothing else went wrong.
if [ "$status" -ne 0 ] && grep -q "^Inconsistency detected by ld.so: dl-fini.c" "$log" &&
   grep -q '^\[  PASSED  \]' "$log" && ! grep -q '^\[  FAILED  \]' "$log"; then
    echo "wine-test: every test passed; the host's loader failed while Wine ended the process (status $status)."
    status=0
fi
exit "$status"
