#!/usr/bin/env bash
# The front door:
#   ./kelvox.sh demo   build and run the demo host on the simulated camera (Linux, then Windows under Wine)
#   ./kelvox.sh test   install what is missing, build every preset and run every test suite
#   ./kelvox.sh fuzz [seconds]   run each fuzz target for longer (default 600 s each)
#   ./kelvox.sh package  build the SDK folder and zip for application developers (build/sdk/)
#   ./kelvox.sh bench    build the optimised tools, run our benchmarks and the OpenCV peers, print the ratios
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"

export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wineserver=/usr/lib/wine/wineserver
library=ZorezoRer_Av40_IVA3_V5
# Where scripts/package.sh puts the SDK folder.
sdk_dir() { echo "build/sdk/kelvox-sdk-$(sed -n 's/^project(kelvox VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"; }

# Each step's wall time, printed at the end.
timings=()
step_name='' step_started=0
step_end() {
    if [ -n "$step_name" ]; then timings+=("$(printf '%5d s  %s' $((SECONDS - step_started)) "$step_name")"); fi
    step_name=''
}
step() { step_end; step_name=$*; step_started=$SECONDS; printf '\n== %s (%s) ==\n' "$*" "$(date +%T)"; }
step_summary() { step_end; printf '%s\n' "${timings[@]}"; }

# build <preset> [cmake --build args...]: logs to build/{configure,build}-<preset>.log, shown on failure.
# KELVOX_CONFIGURE_ARGS adds cache settings to the configure step.
build() {
    local preset=$1; shift
    local started=$SECONDS
    # shellcheck disable=SC2086  # word splitting of the extra arguments is wanted
    cmake --preset "$preset" ${KELVOX_CONFIGURE_ARGS:-} >"build/configure-$preset.log" 2>&1 \
        || { cat "build/configure-$preset.log"; echo "configure $preset failed"; exit 1; }
    cmake --build --preset "$preset" "$@" >"build/build-$preset.log" 2>&1 \
        || { cat "build/build-$preset.log"; echo "build $preset failed"; exit 1; }
    echo "built $preset in $((SECONDS - started)) s (log: build/build-$preset.log)"
}

# Runs inside the X display: Wine's desktop process starts with the first Wine program and keeps
# the display it found, so a server started without one could never show a window.
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
    build native-release --target kelvox_demo
    build/native-release/bin/kelvox_demo
    step "demo (Windows, under Wine)"
    build win-sim --target kelvox_demo
    trap wine_down EXIT
    # A 24-bit screen large enough for the preview window's 1920 x 1200 client area.
    xvfb-run -a -s "-screen 0 2560x1600x24" "$0" under-wine scripts/wine-run.sh build/win-sim/bin/kelvox_demo.exe
}

cmd_test() {
    local started=$SECONDS
    # The project's own code must build without warnings; third-party libraries are built apart.
    export KELVOX_CONFIGURE_ARGS="-DKELVOX_WERROR=ON ${KELVOX_CONFIGURE_ARGS:-}"
    step "install"
    scripts/bootstrap.sh
    mkdir -p build
    step "native (AddressSanitizer + UndefinedBehaviorSanitizer)"
    build native
    ctest --preset native
    step "native (ThreadSanitizer, threaded suites)"
    build native-tsan
    ctest --preset native-tsan
    step "fuzz (libFuzzer, a fixed number of inputs per target)"
    build fuzz
    ctest --preset fuzz
    step "Windows product DLL"
    build win
    ctest --test-dir build/win --output-on-failure --no-tests=error
    step "SDK package and the Python binding"
    build native-release --target "$library"
    scripts/package.sh
    scripts/python-tests.sh "build/native-release/bin/lib$library.so"
    step "Windows DLL on the simulated camera, under Wine"
    build win-sim
    trap wine_down EXIT
    # Windows are drawn and read back: a 24-bit screen (xvfb-run's default is 8-bit). Then the SDK's
    # sample is built from the package each way a developer would and run on a simulated camera.
    xvfb-run -a -s "-screen 0 1920x1200x24" "$0" under-wine sh -c \
        "ctest --preset win-sim && scripts/sdk-proofs.sh $(sdk_dir) build/win-sim/bin/$library.dll"
    wine_down
    trap - EXIT
    printf '\n== all suites passed in %d s ==\n' $((SECONDS - started))
    step_summary
}

cmd_package() {
    step "install"
    scripts/bootstrap.sh
    mkdir -p build
    step "product DLL and the Linux library"
    build win --target "$library" kelvox_msvc_import_library
    build native-release --target "$library"
    step "SDK folder and zip"
    scripts/package.sh
    step_summary
}

# Long fuzzing runs: every target for the given seconds (default 600), keeping what it learns in
# build/fuzz/long/<target>/corpus; crashes land in build/fuzz/long/<target>/artifacts.
cmd_fuzz() {
    local seconds=${1:-600}
    step "install"
    scripts/bootstrap.sh
    mkdir -p build
    step "fuzz build"
    build fuzz
    local failed=()
    for name in mask_file config_file registry_file stored_settings api_sequence; do
        step "fuzz $name for $seconds s"
        local log=build/fuzz/long/$name.log
        mkdir -p build/fuzz/long
        if tests/fuzz/run-fuzzer.sh "build/fuzz/bin/kelvox_fuzz_$name" "$name" "build/fuzz/long/$name" \
            -max_total_time="$seconds" >"$log" 2>&1; then
            grep -E '^#[0-9]+ +(INITED|DONE)|^stat::number_of_executed_units' "$log" || true
        else
            tail -n 60 "$log"
            failed+=("$name")
        fi
    done
    step_summary
    if [ ${#failed[@]} -gt 0 ]; then echo "fuzzing found problems in: ${failed[*]} (logs: build/fuzz/long/*.log)"; exit 1; fi
}

case "${1:-}" in
    demo) cmd_demo ;;
    fuzz) shift; cmd_fuzz "$@" ;;
    bench) scripts/bench.sh ;;
    package) cmd_package ;;
    test) cmd_test ;;
    under-wine) shift; wine_up; "$@" ;;  # internal: the Wine server up on this display, then the command
    *) echo "usage: $0 demo|test|package|bench|fuzz [seconds per target]" >&2; exit 2 ;;
esac
