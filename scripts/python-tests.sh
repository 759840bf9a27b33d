#!/usr/bin/env bash
# The Python binding's tests against a simulator build of the library:
#   scripts/python-tests.sh build/native-release/bin/libZorezoRer_Av40_IVA3_V5.so
# Installs python/ into build/python-venv (made once, with the system's NumPy and pytest; no
# network needed) and runs pytest there.
set -euo pipefail
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "usage: $0 <path to libZorezoRer_Av40_IVA3_V5.so>" >&2
    exit 2
fi
library=$(realpath "$1")
top=$(cd "$(dirname "$0")/.." && pwd)
venv=$top/build/python-venv
if [ ! -x "$venv/bin/python" ]; then
    /usr/bin/python3 -m venv --system-site-packages "$venv"
fi
# From a copy, so the build leaves nothing behind in the source tree.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$top/python" "$work/python"
"$venv/bin/python" -m pip install --quiet --no-build-isolation --no-index "$work/python"
cd "$top"
# Tests import the installed package; no caches written into the tree.
KELVOX_LIBRARY=$library PYTHONDONTWRITEBYTECODE=1 "$venv/bin/python" -m pytest -q -p no:cacheprovider python/tests
