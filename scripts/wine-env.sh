# Shared by ./test and ./run: packages, build, a private X display and a Wine
# session of our own. Sourced, not run.

PACKAGES=(
    cmake ninja-build
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
    libwine-dev wine wine64 fonts-wine
    xvfb xdotool x11-utils imagemagick
    googletest
    nlohmann-json3-dev
    nsis
    python3 python3-yaml
)
WINE64=/usr/lib/wine/wine64
# The build folder; PELKIN_BUILD_DIR gives a second working copy of the build
# (and with it its own Wine prefix) beside the usual one.
build="${PELKIN_BUILD_DIR:-$root/build}"
WINESERVER=/usr/lib/wine/wineserver

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing_packages() {
    local missing=() package
    for package in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

configure_and_build() {
    if [ "$build" = "$root/build" ]; then
        [ -f "$build/build.ninja" ] || cmake --preset mingw >/dev/null
        cmake --build --preset mingw
    else
        [ -f "$build/build.ninja" ] || cmake --preset mingw -B "$build" >/dev/null
        cmake --build "$build"
    fi
}

# Starts Xvfb on a display number it picks itself; sets DISPLAY and XVFB_PID.
start_private_display() {
    local numberfile
    numberfile="$(mktemp)"
    Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$numberfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 1 100); do
        [ -s "$numberfile" ] && break
        sleep 0.1
    done
    [ -s "$numberfile" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(tr -d '\n' <"$numberfile")"
    rm -f "$numberfile"
}

wine_environment() {
    export WINEPREFIX="$1"
    export WINEARCH=win64
    export WINEDEBUG=-all
    export WINELOADER="$WINE64"
    # No Mono or Gecko download prompts in a throwaway prefix.
    export WINEDLLOVERRIDES="mscoree,mshtml="
}

# Our own wineserver for the prefix (other Wine sessions on the machine use
# their own prefixes and servers), the prefix itself when missing, and one
# windowed process kept alive so that Wine's desktop process is not started
# again by every test program. Sets WINESERVER_PID and KEEPALIVE_PID.
start_wine_session() {
    local prefix="$1"
    wine_environment "$prefix"
    mkdir -p "$prefix"
    "$WINESERVER" -f -p >/dev/null 2>&1 &
    WINESERVER_PID=$!
    if [ ! -f "$prefix/.pelkin-prefix-ready" ]; then
        "$WINE64" wineboot -i >/dev/null 2>&1 || true
        # Without a window manager every hide would wait for one.
        "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        mkdir -p "$prefix/drive_c/windows/Fonts"
        cp -n /usr/share/wine/fonts/tahoma*.ttf /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
        touch "$prefix/.pelkin-prefix-ready"
        # The desktop process the first boot left running read the driver
        # settings before they were written: start the session afresh.
        "$WINESERVER" -k >/dev/null 2>&1 || true
        wait "$WINESERVER_PID" 2>/dev/null || true
        "$WINESERVER" -f -p >/dev/null 2>&1 &
        WINESERVER_PID=$!
    fi
    # Wine's own services and its desktop process must be started here, with
    # their output going nowhere: started by the first test program instead,
    # they would inherit CTest's output pipe and CTest would wait on them.
    "$WINE64" wineboot >/dev/null 2>&1 || true
    local ready="$prefix/.keepalive-ready"
    rm -f "$ready"
    "$WINE64" "$build/bin/keepalive.exe" "$("$WINE64" winepath -w "$ready" 2>/dev/null)" >/dev/null 2>&1 &
    KEEPALIVE_PID=$!
    for _ in $(seq 1 300); do
        [ -f "$ready" ] && return 0
        sleep 0.1
    done
    echo "The keep-alive Wine process did not start" >&2
    return 1
}

stop_wine_session() {
    [ -n "${WINEPREFIX:-}" ] && "$WINESERVER" -k >/dev/null 2>&1 || true
}

# The tests' setting: a private display and a Wine session in the build's
# throwaway prefix. stop_test_session, run from the caller's exit trap, stops
# everything start_test_session started, however far it got.
test_session_pids=()
start_test_session() {
    start_private_display
    test_session_pids+=("$XVFB_PID")
    start_wine_session "$build/wineprefix"
    test_session_pids+=("$WINESERVER_PID" "$KEEPALIVE_PID")
}

stop_test_session() {
    stop_wine_session
    local pid
    for pid in "${test_session_pids[@]+"${test_session_pids[@]}"}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${test_session_pids[@]+"${test_session_pids[@]}"}"; do wait "$pid" 2>/dev/null || true; done
    test_session_pids=()
}
