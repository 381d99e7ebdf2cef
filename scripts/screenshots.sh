#!/usr/bin/env bash
# Makes the README's pictures (docs/*.png) of Pelkin's main menu, its Windows
# menu and its Options dialog, under the test harness: a private Xvfb display,
# a throwaway Wine prefix and Wine's own tray window, as the tests use them.
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

"$WINE64" "$build/bin/screenshots.exe" "$("$WINE64" winepath -w "$shots" 2>/dev/null)"
mkdir -p "$root/docs"
for picture in main-menu windows-menu options options-hotkeys switcher tray-manager editor-rules editor-windows wizard main-menu-dark; do
    convert "$shots/$picture.bmp" -alpha off -strip "$root/docs/$picture.png"
    echo "docs/$picture.png"
done
