#!/usr/bin/env bash
# Runs one GoogleTest program as a single ctest entry and fails unless it passed AND ran at least
# <min> tests, so a filter, a lost source file or an empty build cannot pass as green.
#   scripts/run-gtest.sh <min> <command...>      (e.g. scripts/wine-run.sh prog.exe)
set -uo pipefail
min=$1; shift
out=$(mktemp); trap 'rm -f "$out"' EXIT
"$@" 2>&1 | tee "$out"
rc=${PIPESTATUS[0]}
# "[==========] 123 tests from 45 test suites ran." (Wine ends lines with \r\n)
ran=$(tr -d '\r' <"$out" | sed -n -E 's/^\[=+\] ([0-9]+) tests? from [0-9]+ test (suites?|cases?) ran.*/\1/p' | tail -n1)
if [ "$rc" -ne 0 ]; then echo "run-gtest: exit code $rc"; exit "$rc"; fi
# A program started through another (Wine's explorer for a virtual desktop) may lose its exit code.
if tr -d '\r' <"$out" | grep -q '^\[  FAILED  \]'; then echo "run-gtest: tests failed"; exit 1; fi
if [ -z "$ran" ]; then echo "run-gtest: no test summary in the output"; exit 1; fi
if [ "$ran" -lt "$min" ]; then echo "run-gtest: only $ran tests ran, expected at least $min"; exit 1; fi
echo "run-gtest: $ran tests ran (at least $min expected)"
