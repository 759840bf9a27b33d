#!/usr/bin/env bash
# Installs everything the builds and tests need on a Debian 12 machine, unattended.
# Safe to run again: installed packages and the cached Windows libraries are left alone.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

packages=(cmake ninja-build g++ googletest libgtest-dev libjpeg62-turbo-dev libpng-dev libtiff-dev
          zlib1g-dev g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          libz-mingw-w64-dev nasm wine64 xvfb xauth patch python3 ffmpeg
          clang libclang-rt-14-dev  # the fuzz preset: libFuzzer and the sanitizer runtimes
          fonts-ipafont-gothic  # Japanese glyphs for the Japanese dialogs under Wine
          llvm lld pkg-config  # the SDK package: the MSVC import library and the samples' builds
          python3-venv python3-setuptools python3-numpy python3-pytest)  # the Python binding
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "bootstrap: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

"$top/scripts/build-win-deps.sh"
