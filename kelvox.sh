#!/usr/bin/env bash
# The front door:
#   ./kelvox.sh demo   build and run the demo host on the simulated camera (Linux, then Windows under Wine)
#   ./kelvox.sh test   install what is missing, build every preset and run every test suite
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"

export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wineserver=/usr/lib/wine/wineserver

step() { printf '\n== %s ==\n' "$*"; }

build() {  # build <preset>
    cmake --preset "$1" >"build/configure-$1.log" 2>&1 || { cat "build/configure-$1.log"; exit 1; }
    cmake --build --preset "$1"
}

wine_up() {
    scripts/wine-prefix.sh
    # A persistent server and one warm process: without them each Wine start under ctest is slow
    # or hangs on the server's pipe.
    "$wineserver" -p 2>/dev/null || true  # already running is fine
    /usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 || true
}
wine_down() { "$wineserver" -k >/dev/null 2>&1 || true; }

cmd_demo() {
    step "install"
    scripts/bootstrap.sh
    mkdir -p build out
    step "demo (Linux)"
    build native-release
    build/native-release/bin/kelvox_demo
    step "demo (Windows, under Wine)"
    build win-sim
    wine_up
    trap wine_down EXIT
    xvfb-run -a scripts/wine-run.sh build/win-sim/bin/kelvox_demo.exe
}

cmd_test() {
    local started=$SECONDS
    step "install"
    scripts/bootstrap.sh
    mkdir -p build
    step "native (AddressSanitizer + UndefinedBehaviorSanitizer)"
    build native
    ctest --preset native
    step "native (ThreadSanitizer, threaded suites)"
    build native-tsan
    ctest --preset native-tsan
    step "Windows product DLL"
    build win
    ctest --test-dir build/win --output-on-failure
    step "Windows DLL on the simulated camera, under Wine"
    build win-sim
    wine_up
    trap wine_down EXIT
    xvfb-run -a ctest --preset win-sim
    wine_down
    trap - EXIT
    step "all suites passed in $((SECONDS - started)) s"
}

case "${1:-}" in
    demo) cmd_demo ;;
    test) cmd_test ;;
    *) echo "usage: $0 demo|test" >&2; exit 2 ;;
esac
