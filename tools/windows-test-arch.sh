#!/usr/bin/env bash
# Which build the Windows tests run, for make test; prints one line,
# "ARCH: WHY", and installs the Wine that build needs first.
#   win32  the shipped 32-bit program under 32-bit Wine: where this machine
#          can run 32-bit programs and 32-bit Wine can be installed
#   win64  the same sources built for x86-64 under 64-bit Wine, with nothing
#          32-bit installed or started: everywhere else, or when
#          QUILL_WINE_ARCH=win64 asks for it
# What installing prints goes to stderr.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

case ${QUILL_WINE_ARCH:-} in
    win32|win64) echo "$QUILL_WINE_ARCH: QUILL_WINE_ARCH=$QUILL_WINE_ARCH asks for it"; exit 0 ;;
    "") ;;
    *) echo "windows-test-arch: QUILL_WINE_ARCH must be win32 or win64, not '$QUILL_WINE_ARCH'" >&2; exit 2 ;;
esac
if ! why=$("$here/can-run-win32.sh" 2>&1); then
    echo "win64: $why"
    exit 0
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$here/install-deps.sh" --wine 2>&1 | tee "$log" >&2
if [[ ${PIPESTATUS[0]} -ne 0 ]]; then
    reason=$(grep '^install-deps: ' "$log" | tail -n 1)
    echo "win64: 32-bit Wine could not be installed on this machine (${reason#install-deps: })"
    exit 0
fi
echo "win32: this machine can run 32-bit programs"
