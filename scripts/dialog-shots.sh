#!/usr/bin/env bash
# Screenshots of every settings dialog template, English and Japanese, for checking the layouts by eye:
#   scripts/dialog-shots.sh [build dir (build/win-sim)] [output dir (build/dialog-shots)] [template...]
# Each shot is <template>.png; containers are shown holding their pages (e.g. 111+110.png), and the
# analog pages once with each of their two exposure rows.
# Japanese as a Japanese system shows it: Wine takes the system language from LANG/LC_ALL, so the
# Japanese shots run with LC_ALL=ja_JP.UTF-8 (GetSystemDefaultLangID() 1041, code page 932; the glibc
# locale itself need not exist). The glyphs come from fonts-ipafont-gothic (bootstrap.sh installs it).
# Needs Xvfb, x11-apps (xwd) and imagemagick (convert).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/win-sim}
out=${2:-$top/build/dialog-shots}
shift $(( $# < 2 ? $# : 2 ))
viewer=$build/bin/kelvox_dialog_viewer.exe
mkdir -p "$out"
export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix} WINEDEBUG=${WINEDEBUG:--all}

# Exposure row, extended exposure row (the dialog shows one of the two).
exposure="-2135 -1026 -1027 -1043 -1049"
extended="-2131 -2132 -2133 -2134"
shots_en=("106" "108 107" "108 112" "111 110 $extended" "111 110 $exposure" "111 117 $extended"
          "111 117 $exposure" "115")
shots_ja=("101" "102 103" "102 113" "104 105 $extended" "104 105 $exposure" "104 116 $extended"
          "104 116 $exposure" "114")

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x1024x24 -br -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; /usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
sleep 1

shoot() {  # locale, viewer arguments
    local locale=$1; shift
    local name; name=$(printf '%s' "$1${2:++$2}")
    [ -n "${3:-}" ] && name+=$([ "$3" = "-2131" ] && echo "-exposure" || echo "-extended")
    local log; log=$(mktemp)
    DISPLAY=$display LANG=$locale LC_ALL=$locale "$top/scripts/wine-run.sh" "$viewer" "$@" >"$log" 2>&1 &
    local pid=$!
    for _ in $(seq 1 300); do grep -q shown "$log" && break; sleep 0.1; done
    if grep -q shown "$log"; then
        sleep 0.3
        xwd -root -display "$display" | convert xwd:- -trim "$out/$name.png"
    fi
    wait $pid || true
    echo "$name.png: $(tr -d '\r' <"$log" | grep -m1 'system language' || cat "$log")"
    rm -f "$log"
}

japanese() { case ${1%% *} in 101|102|103|104|105|113|114|116) return 0;; esac; return 1; }
if [ $# -gt 0 ]; then
    for s in "$@"; do
        if japanese "$s"; then shoot ja_JP.UTF-8 $s; else shoot C.UTF-8 $s; fi
    done
    exit 0
fi
for s in "${shots_en[@]}"; do shoot C.UTF-8 $s; done
/usr/lib/wine/wineserver -w
for s in "${shots_ja[@]}"; do shoot ja_JP.UTF-8 $s; done
