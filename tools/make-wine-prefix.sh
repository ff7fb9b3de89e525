#!/usr/bin/env bash
# Makes a Wine prefix for Quillantern, once: marks it ready only when
# complete, so a half-made prefix is made again next time. 32-bit unless the
# caller set up the 64-bit kind (WINEARCH=win64, tools/wine-env.sh).
#   make-wine-prefix.sh PREFIX [--desktop WxH] [--dpi N]
#     --desktop  run every program in a Wine virtual desktop of that size
#     --dpi      the prefix's system DPI (96 when not given)
# Expects DISPLAY to be set; the caller serialises concurrent makers.
set -euo pipefail

prefix=$1; shift
desktop="" dpi=96
while [[ $# -gt 0 ]]; do
    case $1 in
        --desktop) desktop=$2; shift 2 ;;
        --dpi) dpi=$2; shift 2 ;;
        *) echo "make-wine-prefix: unknown option $1" >&2; exit 2 ;;
    esac
done
[[ -f $prefix/.quill-ready ]] && exit 0

export WINEPREFIX=$prefix WINEARCH=${WINEARCH:-win32} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
log=$(mktemp)
trap 'rm -f "$log"' EXIT

rm -rf "$prefix"
# Wine makes the prefix folder itself, but not missing folders above it.
mkdir -p "$(dirname "$prefix")"
timeout 300 wineboot -i >"$log" 2>&1 || { cat "$log" >&2; echo "make-wine-prefix: wineboot failed" >&2; exit 2; }
# Wine finds its own fonts (Tahoma, MS Sans Serif, ...) only in the prefix's
# Fonts folder; without them everything falls back to DejaVu Sans.
if [[ -d /usr/share/wine/fonts ]]; then
    cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
fi
if [[ -n $desktop ]]; then
    timeout 60 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
    timeout 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$desktop" /f >/dev/null
fi
if [[ $dpi != 96 ]]; then
    timeout 60 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
fi
timeout 60 wineserver -k >/dev/null 2>&1 || true
timeout 60 wineserver -w >/dev/null 2>&1 || true
touch "$prefix/.quill-ready"
