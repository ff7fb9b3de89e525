#!/usr/bin/env bash
# Runs a command inside a private X display and a private Wine prefix.
#
#   tools/wine-run.sh PROGRAM.exe [ARGS...]   runs the Windows program under Wine
#   tools/wine-run.sh COMMAND [ARGS...]       runs COMMAND (e.g. ctest) with the
#                                             session's DISPLAY and WINEPREFIX set,
#                                             so that nested calls reuse them
#
# The display is a new Xvfb (it picks a free display number); the prefix lives
# in the build tree (QUILL_WINE_DIR, default build/wine), is made once and then
# reused, and runs every program in a Wine virtual desktop so that windows get
# frames, centring and focus as on Windows. QUILL_DPI (default 96) selects a
# prefix whose system DPI is that value. The kind of Wine (tools/wine-env.sh)
# is the program's own: win32 for the 32-bit program, win64 for the x86-64
# build, with nothing 32-bit; for another COMMAND, QUILL_WINE_ARCH (default
# win32) says which. Never touches ~/.wine or the user's
# display. Whatever it starts (Xvfb, wineserver, the program) is stopped on
# exit, also after a failure or an interruption. Every wait is bounded: the
# command itself by QUILL_WINE_TIMEOUT seconds (default 900).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
wine_dir=${QUILL_WINE_DIR:-$root/build/wine}
dpi=${QUILL_DPI:-96}
arch=${QUILL_WINE_ARCH:-win32}
if [[ ${1:-} == *.[eE][xX][eE] && -f $1 ]]; then
    # The machine field of the PE header.
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    [[ $(od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' ') == 8664 ]] && arch=win64 || arch=win32
fi
prefix=$wine_dir/prefix-$dpi
[[ $arch == win64 ]] && prefix=$wine_dir/prefix64-$dpi
screen=${QUILL_SCREEN:-1024x768}

log() { echo "wine-run: $*" >&2; }
source "$here/wine-env.sh"
if ! use_wine "$arch" "$wine_dir"; then
    log "$wine_problem"
    exit 2
fi
source "$here/session.sh"

own_server=0
on_session_end() {
    if [[ $own_server -eq 1 ]]; then
        WINEPREFIX=$prefix timeout 20 wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$prefix timeout 20 wineserver -w >/dev/null 2>&1 || true
    fi
}
begin_session

make_prefix() {
    # One maker at a time.
    mkdir -p "$wine_dir"
    exec 9>"$wine_dir/.lock"
    flock -w 300 9 || { log "timed out waiting for another run to make the prefix"; exit 2; }
    if [[ ! -f $prefix/.quill-ready ]]; then
        log "making the Wine prefix $prefix (once; takes a while)"
        "$here/make-wine-prefix.sh" "$prefix" --desktop "$screen" --dpi "$dpi"
    fi
    flock -u 9
}

# Reuse the session of an outer wine-run.sh when it has the same prefix.
if [[ ${QUILL_WINE_SESSION:-} != "$prefix" ]]; then
    if [[ -z ${QUILL_WINE_SESSION:-} ]]; then
        start_xvfb "$screen" "$tmp"
    fi
    # (A nested call with another DPI shares the display but has its own
    # prefix and wineserver.)
    make_prefix
    own_server=1
    export QUILL_WINE_SESSION=$prefix
fi
export WINEPREFIX=$prefix

[[ $# -ge 1 ]] || { log "usage: wine-run.sh PROGRAM [ARGS...]"; exit 2; }
if [[ $1 == *.exe || $1 == *.EXE ]]; then
    set -- wine "$@"
fi
limit=${QUILL_WINE_TIMEOUT:-900}
unset QUILL_WINE_TIMEOUT  # nested runs get the default again
run_bounded "$limit" "$@"
[[ $status -eq 124 ]] && log "stopped after $limit s: $*"
exit "$status"
