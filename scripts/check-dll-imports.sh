#!/usr/bin/env bash
# Fails when the DLL imports anything but Windows system DLLs (everything else is linked in).
set -euo pipefail
dll=$1
imports=$(x86_64-w64-mingw32-objdump -p "$dll" | awk '/DLL Name:/ {print $3}')
echo "$dll imports:"; printf '  %s\n' $imports
allowed='^(KERNEL32|USER32|GDI32|ADVAPI32|SETUPAPI|WINMM|COMCTL32|COMDLG32|SHELL32|OLE32|msvcrt|api-ms-win-[a-z0-9-]+)\.dll$'
bad=$(printf '%s\n' $imports | grep -v -i -E "$allowed" || true)
if [ -n "$bad" ]; then echo "not a system DLL: $bad"; exit 1; fi
