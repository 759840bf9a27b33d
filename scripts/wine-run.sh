#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's own throwaway prefix (created on first use).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
"$top/scripts/wine-prefix.sh"
exec /usr/lib/wine/wine64 "$@"
