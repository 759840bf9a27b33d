#!/usr/bin/env bash
# Static Windows (MinGW-w64) builds of libjpeg-turbo, libpng, libtiff and GoogleTest, made from
# Debian's own sources and cached under build/deps/win. A second run does nothing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/build/deps"
prefix="$deps/win"
stamp="$prefix/.complete-v2"
[ -f "$stamp" ] && exit 0

src="$deps/src"
mkdir -p "$src" "$prefix"
toolchain="$top/cmake/mingw-w64-x86_64-posix.cmake"

# Source packages come from the main and updates suites; the security suite's sources are not served.
list=/etc/apt/sources.list.d/kelvox-deb-src.sources
if [ ! -f "$list" ]; then
    uris=$(awk '/^URIs:/ && $2 !~ /security/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
    [ -n "$uris" ] || uris=http://deb.debian.org/debian
    cat > "$list" <<SRC
Types: deb-src
URIs: $uris
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    apt-get update -q
fi

cd "$src"
for pkg in libjpeg-turbo libpng1.6 tiff; do
    ls "$src"/"${pkg}"_*.orig.tar.* >/dev/null 2>&1 || apt-get source --download-only -q "$pkg"
done

unpack() {  # unpack <package> <dir>: the upstream tarball with Debian's patches (security fixes)
    rm -rf "$2"; mkdir -p "$2"
    tar -xf "$(ls "$src"/"$1"_*.orig.tar.* | head -n1)" -C "$2" --strip-components=1
    tar -xf "$(ls "$src"/"$1"_*.debian.tar.* | head -n1)" -C "$2"
    if [ -f "$2/debian/patches/series" ]; then
        sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$2/debian/patches/series" | while read -r patch _; do
            patch -d "$2" -p1 -s -N < "$2/debian/patches/$patch" \
                || { echo "build-win-deps: $patch does not apply to $1"; exit 1; }
        done
    fi
}
cmake_build() {  # cmake_build <source dir> <build dir> [cmake args...]
    local s=$1 b=$2; shift 2
    cmake -S "$s" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
          -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" "$@" >"$b.log" 2>&1 \
        || { cat "$b.log"; exit 1; }
    cmake --build "$b" --target install >>"$b.log" 2>&1 || { tail -50 "$b.log"; exit 1; }
}
zlib=(-DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include)

echo "build-win-deps: libjpeg-turbo"
unpack libjpeg-turbo "$src/jpeg"
cmake_build "$src/jpeg" "$src/jpeg-build" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON \
    -DREQUIRE_SIMD=ON -DWITH_TURBOJPEG=OFF

echo "build-win-deps: libpng"
unpack libpng1.6 "$src/png"
cmake_build "$src/png" "$src/png-build" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF "${zlib[@]}"

echo "build-win-deps: libtiff"
unpack tiff "$src/tiff"
cmake_build "$src/tiff" "$src/tiff-build" -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF \
    -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF -Djbig=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
    -Dlibdeflate=OFF -Dlerc=OFF -Djpeg12=OFF -Djpeg=ON -DJPEG_INCLUDE_DIR="$prefix/include" \
    -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" "${zlib[@]}"

echo "build-win-deps: googletest"
cmake_build /usr/src/googletest "$src/gtest-build" -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON

rm -rf "$src/jpeg" "$src/png" "$src/tiff" "$src"/*-build
touch "$stamp"
echo "build-win-deps: done ($prefix)"
