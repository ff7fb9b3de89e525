#!/usr/bin/env bash
# Starts Quillantern on the user's display: the Linux desktop program
# directly; the Windows program natively on Windows, elsewhere under Wine
# (with a Wine prefix of the project's own, not ~/.wine).
#   run-program.sh build/native/quillantern | build/win32/Quillantern.exe
set -euo pipefail
exe=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")

case "$(uname -s)" in
    MINGW*|MSYS*|CYGWIN*) exec "$exe" ;;
esac

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    echo "make run: there is no display to show the window on (DISPLAY is not set)." >&2
    echo "          Run it from a desktop session, or see it with: make screenshot" >&2
    exit 1
fi
if [[ $exe != *.exe ]]; then
    echo "make run: starting $exe"
    exec "$exe"
fi
if ! reason=$("$here/can-run-win32.sh" 2>&1); then
    echo "make run-wine: $reason" >&2
    exit 1
fi
export WINEPREFIX=${QUILL_RUN_PREFIX:-$root/build/wine/run-prefix}
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [[ ! -f $WINEPREFIX/.quill-ready ]]; then
    echo "make run: preparing the program's Wine prefix (once)..."
    "$here/make-wine-prefix.sh" "$WINEPREFIX"
fi
echo "make run: starting $exe"
exec wine "$exe"
