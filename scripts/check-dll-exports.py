#!/usr/bin/env python3
"""Fails unless the DLL's export directory holds exactly the product's names, each at its ordinal
(its alphabetical rank, from tests/data/export_names.txt), plus, with --sim, exactly the
simulator's names at the ordinals of sim/kelvox_sim.def.
Usage: check-dll-exports.py DLL [--sim]"""
import pathlib
import re
import subprocess
import sys

top = pathlib.Path(__file__).resolve().parent.parent
dll = sys.argv[1]
expected = {}
names = [l.strip() for l in (top / "tests/data/export_names.txt").read_text().splitlines() if l.strip()]
for rank, name in enumerate(sorted(names), start=1):
    expected[name] = rank
if "--sim" in sys.argv[2:]:
    for m in re.finditer(r"^\s*(\w+)\s+@(\d+)", (top / "sim/kelvox_sim.def").read_text(), re.M):
        expected[m.group(1)] = int(m.group(2))

dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", dll], check=True, capture_output=True, text=True).stdout
base = int(re.search(r"^Ordinal Base\s+(\d+)", dump, re.M).group(1))
table = dump.split("[Ordinal/Name Pointer] Table", 1)[1]
found = {m.group(2): int(m.group(1)) + base for m in re.finditer(r"^\s*\[\s*(\d+)\]\s+(\S+)", table, re.M)}

problems = [f"missing {n} @{o}" for n, o in sorted(expected.items()) if n not in found]
problems += [f"unexpected {n} @{o}" for n, o in sorted(found.items()) if n not in expected]
problems += [f"{n} at @{found[n]}, expected @{o}" for n, o in sorted(expected.items()) if n in found and found[n] != o]
print(f"{dll}: {len(found)} exports, {len(expected)} expected")
for p in problems:
    print("  " + p)
sys.exit(1 if problems else 0)
