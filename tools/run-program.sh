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
# (QUILL_WINE_ARCH=win64 for the x86-64 build: tools/wine-env.sh.)
arch=${QUILL_WINE_ARCH:-win32}
source "$here/wine-env.sh"
if ! use_wine "$arch" "$root/build/wine"; then
    echo "make run-wine: $wine_problem" >&2
    exit 1
fi
default_prefix=$root/build/wine/run-prefix
[[ $arch == win64 ]] && default_prefix=$root/build/wine/run-prefix64
export WINEPREFIX=${QUILL_RUN_PREFIX:-$default_prefix}
if [[ ! -f $WINEPREFIX/.quill-ready ]]; then
    echo "make run: preparing the program's Wine prefix (once)..."
    "$here/make-wine-prefix.sh" "$WINEPREFIX"
fi
echo "make run: starting $exe"
exec wine "$exe"
