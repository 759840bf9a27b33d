#!/usr/bin/env bash
# Builds the SDK's sample host from the packaged folder each way an application developer would,
# and runs each on a simulated camera:
#   1. natively against the Linux library, with pkg-config and with the CMake package;
#   2. with the SDK README's plain MinGW-w64 command line (the .dll.a), run under Wine;
#   3. with CMake and MinGW-w64 through find_package(Kelvox), run under Wine;
#   4. with the MSVC ABI (clang --target=x86_64-pc-windows-msvc, lld-link) against the .lib, under Wine.
# The Windows programs link the product's import libraries and run beside the simulator build of the
# same DLL (same exports and ordinals). Wine runs need the caller's display and Wine server.
#   scripts/sdk-proofs.sh <SDK folder> <simulator build of ZorezoRer_Av40_IVA3_V5.dll>
set -euo pipefail
if [ $# -ne 2 ] || [ ! -d "$1" ] || [ ! -f "$2" ]; then
    echo "usage: $0 <SDK folder> <simulator DLL>" >&2
    exit 2
fi
top=$(cd "$(dirname "$0")/.." && pwd)
sdk=$(realpath "$1")
sim_dll=$(realpath "$2")
work=$top/build/sdk-proofs
rm -rf "$work"
mkdir -p "$work"
wine=/usr/lib/wine/wine64
mingw_root=/usr/x86_64-w64-mingw32

# The sample's settings and the simulator's shared device table stay apart from other runs.
export XDG_CONFIG_HOME=$work/config
export KELVOX_SIM_SHARED_SUFFIX=-sdk-proofs
export KELVOX_SIM_CAMERAS=1

# run <name> <dir> <command...>: runs the sample in <dir>, which must write a whole PNG there.
run() {
    local name=$1 dir=$2; shift 2
    local started=$SECONDS
    if ! (cd "$dir" && timeout 120 "$@" 40 snapshot.png) >"$work/$name.log" 2>&1; then
        cat "$work/$name.log"
        echo "sdk: the $name sample failed"
        exit 1
    fi
    python3 - "$dir/snapshot.png" <<'EOF' || { cat "$work/$name.log"; echo "sdk: the $name sample wrote no whole PNG"; exit 1; }
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n', 'signature'
width, height = struct.unpack('>II', data[16:24])
assert (width, height) == (1920, 1200), (width, height)
assert data[-12:-8] == b'\0\0\0\0' and data[-8:-4] == b'IEND', 'end'
EOF
    echo "sdk: $name sample: $(tail -n 1 "$work/$name.log") ($((SECONDS - started)) s)"
}

# 1. Linux, pkg-config.
mkdir -p "$work/native"
export PKG_CONFIG_PATH=$sdk/lib/pkgconfig
cc -std=c99 -Wall -Wextra -Werror -pedantic "$sdk/samples/kelvox_sample.c" $(pkg-config --cflags --libs kelvox) \
    -Wl,-rpath,"$(pkg-config --variable=libdir kelvox)" -o "$work/native/kelvox_sample"
run native "$work/native" ./kelvox_sample
# The same through the CMake package.
cmake -S "$sdk/samples" -B "$work/native-cmake" -G Ninja -DCMAKE_PREFIX_PATH="$sdk" -DCMAKE_C_FLAGS="-Wall -Werror" \
    >"$work/native-cmake.log" 2>&1 && cmake --build "$work/native-cmake" >>"$work/native-cmake.log" 2>&1 \
    || { cat "$work/native-cmake.log"; exit 1; }
run native-cmake "$work/native-cmake" ./kelvox_sample

# 2. The README's plain MinGW command line, linking the .dll.a.
mkdir -p "$work/mingw-plain"
(cd "$sdk" && x86_64-w64-mingw32-gcc -Wall -Werror -I include samples/kelvox_sample.c -L lib -lZorezoRer_Av40_IVA3_V5 \
    -o "$work/mingw-plain/sample.exe")
cp "$sim_dll" "$work/mingw-plain/ZorezoRer_Av40_IVA3_V5.dll"
run mingw-plain "$work/mingw-plain" "$wine" sample.exe

# 3. CMake + MinGW-w64, the package's imported target.
cmake -S "$sdk/samples" -B "$work/mingw" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64-posix.cmake" -DCMAKE_PREFIX_PATH="$sdk" \
    -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" >"$work/mingw-configure.log" 2>&1 \
    || { cat "$work/mingw-configure.log"; exit 1; }
cmake --build "$work/mingw" >"$work/mingw-build.log" 2>&1 || { cat "$work/mingw-build.log"; exit 1; }
cmp -s "$sdk/bin/ZorezoRer_Av40_IVA3_V5.dll" "$work/mingw/ZorezoRer_Av40_IVA3_V5.dll" \
    || { echo "sdk: the CMake package did not put the DLL beside the program"; exit 1; }
cp "$sim_dll" "$work/mingw/ZorezoRer_Av40_IVA3_V5.dll"
run mingw "$work/mingw" "$wine" kelvox_sample.exe

# 4. MSVC ABI against the .lib. No Windows SDK here: MinGW's headers in MSVC mode, and its import
# archives of the system DLLs (COFF, which lld-link reads); the C runtime's startup is msvcrt.dll's own.
mkdir -p "$work/msvc"
cat >"$work/msvc/startup.c" <<'END'
/* What MSVC's C runtime does before main, for a program linked without it. */
int __getmainargs(int *argc, char ***argv, char ***env, int expand, int *startup);
void exit(int code);
int main(int argc, char **argv);
int _fltused = 0x9875; /* the compiler's marker that floating point is used */
void mainCRTStartup(void) {
    int argc = 0, startup = 0;
    char **argv = 0, **env = 0;
    __getmainargs(&argc, &argv, &env, 0, &startup);
    exit(main(argc, argv));
}
END
msvc_cc=(clang --target=x86_64-pc-windows-msvc -fno-ms-compatibility -D__USE_MINGW_ANSI_STDIO=0 -Wall -Werror
         -isystem "$mingw_root/include" -I "$sdk/include")
"${msvc_cc[@]}" -c "$sdk/samples/kelvox_sample.c" -o "$work/msvc/kelvox_sample.obj"
"${msvc_cc[@]}" -c "$work/msvc/startup.c" -o "$work/msvc/startup.obj"
lld-link /nologo /subsystem:console /out:"$work/msvc/kelvox_sample.exe" "$work/msvc/kelvox_sample.obj" \
    "$work/msvc/startup.obj" "$sdk/lib/ZorezoRer_Av40_IVA3_V5.lib" "$mingw_root/lib/libmsvcrt.a" \
    "$mingw_root/lib/libkernel32.a" "$mingw_root/lib/libuser32.a"
cp "$sim_dll" "$work/msvc/ZorezoRer_Av40_IVA3_V5.dll"
run msvc "$work/msvc" "$wine" kelvox_sample.exe
