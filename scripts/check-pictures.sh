#!/usr/bin/env bash
# Checks pictures made of Pelkin's windows: each must exist and show more
# than a few colours (a blank or single-colour copy of the screen means the
# window was not drawn when it was taken). Prints what is wrong with each
# picture that fails; exits 1 when any does.
set -uo pipefail
least_colours=8
status=0
for picture in "$@"; do
    if [ ! -s "$picture" ]; then
        echo "$picture: missing or empty" >&2
        status=1
        continue
    fi
    if ! colours="$(convert "$picture" -format %k info: 2>/dev/null)"; then
        echo "$picture: not a picture" >&2
        status=1
        continue
    fi
    if [ "$colours" -lt "$least_colours" ]; then
        echo "$picture: only $colours colours, fewer than $least_colours: nothing was drawn" >&2
        status=1
    fi
done
exit "$status"
