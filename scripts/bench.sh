#!/usr/bin/env bash
# ./kelvox.sh bench: builds the optimised tools, runs the processing, save and delivery benchmarks
# and OpenCV doing the same work on the same pictures, then prints ours / OpenCV for each pair.
# Outputs are kept in build/bench/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
started=$SECONDS

# The native-release build and the OpenCV peers; kept out of bootstrap.sh so the tests do not pay
# for OpenCV.
packages=(cmake ninja-build g++ libjpeg62-turbo-dev libpng-dev libtiff-dev zlib1g-dev python3 python3-numpy
          python3-opencv)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "bench: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# Debian's cv2 is for Debian's interpreter, which another python3 on the PATH may not be.
python=/usr/bin/python3

out=build/bench
mkdir -p "$out"
echo "== building native-release =="
cmake --preset native-release >"$out/configure.log" 2>&1 || { cat "$out/configure.log"; exit 1; }
cmake --build --preset native-release >"$out/build.log" 2>&1 || { cat "$out/build.log"; exit 1; }
bin=build/native-release/bin

# Our own simulated device table, and a fresh settings store for each program: the delivery
# bench leaves the mask filters and an exposure stored, which would change the next one's picture.
export KELVOX_SIM_SHARED_SUFFIX=-bench-$$
work=$(mktemp -d)
files=$(mktemp -d "$top/$out/files.XXXXXX")  # written files on the build's disk, ours and OpenCV's alike
trap 'rm -rf "$work" "$files"' EXIT
fresh() { mkdir -p "$work/$1"; XDG_CONFIG_HOME=$work/$1; export XDG_CONFIG_HOME; }
export KELVOX_LIBRARY=$top/$bin/libZorezoRer_Av40_IVA3_V5.so
load() { cut -d' ' -f1-3 /proc/loadavg; }

printf '\n== machine: %s, %s CPUs, load average %s ==\n' \
    "$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)" "$(nproc)" "$(load)"

echo "== processing (kelvox_processing_bench --tsv: all rows in $out/processing-*.tsv) =="
# Frames on one thread and on every processor thread, against OpenCV on one and on all.
fresh processing
KELVOX_PROCESSING_THREADS=1 "$bin/kelvox_processing_bench" --tsv >"$out/processing-1.tsv"
KELVOX_PROCESSING_THREADS=$(nproc) "$bin/kelvox_processing_bench" --tsv >"$out/processing-all.tsv"
echo "done"

printf '\n== saves (kelvox_save_bench) ==\n'
fresh save
"$bin/kelvox_save_bench" "$files" | tee "$out/save.txt"

printf '\n== delivery (kelvox_delivery_bench) ==\n'
fresh delivery
"$bin/kelvox_delivery_bench" | tee "$out/delivery.txt"

printf '\n== OpenCV peers (tools/bench/opencv_peers.py: rows in %s/peers.tsv) ==\n' "$out"
fresh peers
"$python" tools/bench/opencv_peers.py "$files" >"$out/peers.tsv"
echo "done"

echo
"$python" tools/bench/bench_report.py "$out/processing-1.tsv" "$out/processing-all.tsv" "$out/save.txt" \
    "$out/peers.tsv"
printf '\nload average at the end %s on %s CPUs (above the CPU count, other work shared the machine and\nthe figures are noisy); bench took %d s\n' "$(load)" "$(nproc)" $((SECONDS - started))
