#!/usr/bin/env bash
# Makes the README's pictures (docs/*.png) of Pelkin's menus, light and dark,
# its Options dialog, switcher, Tray Manager, rules editor and wizard, under
# the test harness: a private Xvfb display, a throwaway Wine prefix and Wine's
# own tray window, as the tests use them.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"

install_missing_packages
configure_and_build
cmake --build "$build" --target screenshots

shots="$(mktemp -d)"
cleanup() {
    local status=$?
    stop_test_session
    rm -rf "$shots"
    exit "$status"
}
trap cleanup EXIT INT TERM
start_test_session

# Every picture shows one of Pelkin's windows, cropped to it: the tool refuses
# a window that is not the program's or that another window covers.
"$WINE64" "$build/bin/screenshots.exe" "$("$WINE64" winepath -w "$shots" 2>/dev/null)"
mkdir -p "$root/docs"
made=()
for picture in main-menu windows-menu options options-hotkeys switcher tray-manager editor-rules editor-windows wizard main-menu-dark; do
    convert "$shots/$picture.bmp" -alpha off -strip "$shots/$picture.png"
    made+=("$shots/$picture.png")
done
# A picture that shows nothing drawn replaces none of the README's.
"$root/scripts/check-pictures.sh" "${made[@]}"
for picture in "${made[@]}"; do
    cp "$picture" "$root/docs/"
    echo "docs/$(basename "$picture")"
done
