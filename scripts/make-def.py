#!/usr/bin/env python3
"""Writes src/api/kelvox.def from the exports the sources define: each name with its ordinal,
the rank of the name among all 149 exports in byte order."""
import pathlib
import re

top = pathlib.Path(__file__).resolve().parent.parent
names = [l.strip() for l in (top / "tests/data/export_names.txt").read_text().splitlines() if l.strip()]
defined = set()
for src in (top / "src/api").glob("*.cpp"):
    defined |= set(re.findall(r"KELVOX_API\s+[\w\s\*]+?\b(Kelvox_\w+)\s*\(", src.read_text()))
unknown = defined - set(names)
if unknown:
    raise SystemExit(f"not in the export list: {sorted(unknown)}")
lines = ["LIBRARY ZorezoRer_Av40_IVA3_V5.dll",
         "; Ordinal = rank of the name among all 149 exports in byte order, from 1 (scripts/make-def.py).",
         "EXPORTS"]
lines += [f"    {n} @{names.index(n) + 1}" for n in names if n in defined]
(top / "src/api/kelvox.def").write_text("\n".join(lines) + "\n")
print(f"{len(defined)} exports")
