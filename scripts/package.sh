#!/usr/bin/env bash
# Puts the SDK folder together from the built product DLL (preset win) and the Linux library
# (preset native-release), and zips it:
#   build/sdk/kelvox-sdk-<version>/  and  build/sdk/kelvox-sdk-<version>.zip
# ./kelvox.sh package builds both first and then runs this.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
version=$(sed -n 's/^project(kelvox VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=kelvox-sdk-$version
out=build/sdk/$name
rm -rf "$out" "build/sdk/$name.zip"
mkdir -p build/sdk
cmake --install build/win --prefix "$out" --strip >/dev/null
cmake --install build/native-release --prefix "$out" --strip >/dev/null
for f in bin/ZorezoRer_Av40_IVA3_V5.dll lib/libZorezoRer_Av40_IVA3_V5.dll.a lib/ZorezoRer_Av40_IVA3_V5.lib \
         lib/ZorezoRer_Av40_IVA3_V5.def lib/libZorezoRer_Av40_IVA3_V5.so lib/pkgconfig/kelvox.pc \
         include/kelvox/kelvox.h samples/kelvox_sample.c share/cmake/Kelvox/KelvoxConfig.cmake README.md; do
    [ -f "$out/$f" ] || { echo "package: $f is missing from $out" >&2; exit 1; }
done
(cd build/sdk && cmake -E tar cf "$name.zip" --format=zip "$name")
echo "SDK folder: $out"
echo "SDK zip:    build/sdk/$name.zip ($(du -k "build/sdk/$name.zip" | cut -f1) KiB)"
