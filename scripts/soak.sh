#!/usr/bin/env bash
# The long reliability runs: 1000 start/stop cycles of each capture mode, 100 sessions released
# while their preview runs, 200 unplug cycles; natively (LeakSanitizer) and with the DLL's code
# under Wine (handles, GDI objects, threads, private bytes). About 10 minutes on two cores.
# Needs the native and win-sim builds of ./kelvox.sh test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export KELVOX_SOAK=1
filter='Soak.*:Unplug.*'
echo "== native (AddressSanitizer, LeakSanitizer) =="
"$top/build/native/bin/kelvox_threaded_tests" --gtest_filter="$filter" | grep -E '^soak |OK \]|FAILED|PASSED'
echo "== Windows code under Wine =="
export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix}
xvfb-run -a -s "-screen 0 1920x1200x24" "$top/scripts/wine-run.sh" "$top/build/win-sim/bin/kelvox_unit_tests.exe" \
    --gtest_filter="$filter" | tr -d '\r' | grep -E '^soak |OK \]|FAILED|PASSED'
/usr/lib/wine/wineserver -k 2>/dev/null || true
