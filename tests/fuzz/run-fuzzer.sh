#!/usr/bin/env bash
# Runs one fuzz target over its seeds and regression inputs (read, never written):
#   run-fuzzer.sh [--fresh] <program> <target name> <work dir> [libFuzzer options...]
# New inputs go to <work dir>/corpus (emptied first with --fresh), crashes to <work dir>/artifacts.
set -euo pipefail
fresh=0
if [ "${1:-}" = --fresh ]; then fresh=1; shift; fi
program=$1 name=$2 work=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
if [ $fresh = 1 ]; then rm -rf "$work"; fi
mkdir -p "$work/corpus" "$work/artifacts"
dirs=("$work/corpus")
for d in "$here/regressions/$name" "$here/corpus/$name"; do
    if [ -d "$d" ]; then dirs+=("$d"); fi
done
# An input running a minute is a hang; sessions with full-size pictures need more than 2 GB.
options=(-artifact_prefix="$work/artifacts/" -print_final_stats=1 -timeout=60 -rss_limit_mb=4096)
if [ -f "$here/$name.dict" ]; then options+=(-dict="$here/$name.dict"); fi
exec "$program" "${options[@]}" "$@" "${dirs[@]}"
