#!/usr/bin/env python3
"""Fails when a file in src/ or sim/ includes a header from a layer it must not use.

Dependencies point downwards: api -> session -> device -> usb / sensor; session also uses imaging,
output and settings; platform is used by everyone and uses nobody. sim/ sits below the driver seam
and sees only the seam's headers. See docs/architecture.md.

Usage: scripts/check-layers.py [--root DIR]   (prints file:line: edge for each forbidden include)
"""
import argparse
import pathlib
import re
import sys

# Which layers each layer may include besides itself. "public" is include/kelvox/.
ALLOWED = {
    "api": {"session", "platform", "public"},
    # resources/resource_ids.h: the dialogs' control ids, plain numbers shared with the .rc.
    "session": {"device", "imaging", "output", "settings", "ui", "resources", "platform", "public"},
    "device": {"usb", "sensor", "platform"},
    "usb": {"platform"},
    "sensor": {"platform"},
    "imaging": {"platform"},
    "output": {"imaging", "platform"},  # the writers take a DibImage
    "settings": {"resources", "platform"},
    "ui": {"imaging", "settings", "platform", "resources"},
    "resources": set(),
    "platform": set(),
}

# Single headers a layer may include from a layer it otherwise must not use.
ALLOWED_HEADERS = {
    # The interface sensor drivers talk through; Fx3Controller implements it.
    "sensor": {"usb/controller.h", "usb/fx3_protocol.h"},
    # The filter values the frame pipeline reads and, where it measures, writes back.
    "imaging": {"settings/records.h"},
    # The simulator speaks bytes: the driver seam, the wire protocol, its own control API, and
    # the platform event the seam's overlapped completion is built on.
    "sim": {"platform/driver.h", "usb/fx3_protocol.h", "platform/event.h", "kelvox/kelvox_sim.h"},
}

# Code that still breaks the rule, one entry per include (file, included header). Remove an entry
# when its include is gone (the check names entries that no longer match). None today.
TEMPORARY_EXCEPTIONS: set = set()

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
# <windows.h> and friends belong to platform/win32, the Win32 user interface and the settings dialogs.
WIN32_HEADER = re.compile(r'^\s*#\s*include\s*<(windows|setupapi|winioctl|commctrl|mmsystem)\.h>', re.I)
WIN32_PLACES = ("src/platform/win32/", "src/ui/win32/", "src/settings/")


def layer_of(rel):
    parts = rel.split("/")
    if parts[0] == "sim":
        return "sim"
    if parts[0] == "include":
        return "public"
    if parts[0] == "src" and len(parts) > 2:
        return parts[1]
    return None


def resolve(root, including, name):
    """The included file's path relative to root, searched as the compiler does."""
    for base in (including.parent, root / "src", root / "include", root / "sim"):
        candidate = base / name
        if candidate.is_file():
            return candidate.resolve().relative_to(root).as_posix()
    # Not there (yet): take it as relative to src/ or include/.
    return ("include/" if name.startswith("kelvox/") else "src/") + name


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", default=pathlib.Path(__file__).resolve().parent.parent, type=pathlib.Path)
    root = parser.parse_args().root.resolve()

    errors, used = [], set()
    files = sorted(p for d in ("src", "sim") for p in (root / d).rglob("*")
                   if p.suffix in (".h", ".cpp", ".inc", ".c"))
    for path in files:
        rel = path.relative_to(root).as_posix()
        layer = layer_of(rel)
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            if WIN32_HEADER.match(line) and not rel.startswith(WIN32_PLACES):
                errors.append(f"{rel}:{number}: {layer} -> {line.strip()} "
                              "(Win32 headers only in platform/win32, ui/win32, settings)")
            m = INCLUDE.match(line)
            if not m:
                continue
            target = resolve(root, path, m.group(1))
            to = layer_of(target)
            header = target.split("/", 1)[1] if "/" in target else target
            if to is None or to == layer:
                ok = True
            else:
                ok = to in ALLOWED.get(layer, set()) or header in ALLOWED_HEADERS.get(layer, set())
            # The operating-system folders of the seam are private to platform/.
            if to == "platform" and layer != "platform" and re.match(r"platform/(win32|posix)/", header):
                ok = False
            if ok:
                continue
            if (rel, header) in TEMPORARY_EXCEPTIONS:
                used.add((rel, header))
                continue
            errors.append(f"{rel}:{number}: {layer} -> {to} ({m.group(1)})")

    for rel, header in sorted(TEMPORARY_EXCEPTIONS - used):
        print(f"{rel}: note: the exception for {header} is no longer needed; remove it from this script")
    for e in errors:
        print(e)
    if errors:
        print(f"check-layers: {len(errors)} forbidden include(s)")
        return 1
    print(f"check-layers: {len(files)} files, no forbidden includes "
          f"({len(used)} temporary exception(s) left)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
