#!/usr/bin/env bash
# The start-up path of `make run-wine` (tools/run-program.sh) from a fresh
# clone: its Wine prefix goes into a build folder that does not exist yet,
# and the program's window must come up. Without a display it must say so.
#   run_program_test.sh PROGRAM.exe [REPORT.xml]
# Runs on the display of the test session (tools/wine-run.sh), or starts one.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
if [[ -z ${DISPLAY:-} ]]; then
    exec "$root/tools/wine-run.sh" "$0" "$@"
fi
exe=$(realpath "$1")
report=${2:-}
source "$root/tests/tools/checks.sh" RunProgram
unset WINEPREFIX
work=$(mktemp -d)
prefix=$work/fresh-clone/build/wine/run-prefix
runner=""
before=$(wineservers)

stop_everything() {
    [[ -n $runner ]] && kill -TERM "$runner" 2>/dev/null
    WINEPREFIX=$prefix timeout 20 wineserver -k >/dev/null 2>&1
    WINEPREFIX=$prefix timeout 20 wineserver -w >/dev/null 2>&1
    rm -rf "$work"
}
trap stop_everything EXIT

window_up() { xwininfo -root -tree 2>/dev/null | grep -q '"Quillantern": '; }

# 1. No display: a clear message, a failing status, nothing started.
message=$(env -u DISPLAY -u WAYLAND_DISPLAY QUILL_RUN_PREFIX="$prefix" "$root/tools/run-program.sh" "$exe" 2>&1)
status=$?
check "without a display it fails" test $status -ne 0
check "without a display it says so" grep -q "no display" <<<"$message"
check "without a display it makes no prefix" test ! -e "$prefix"

# 2. A fresh clone: no build/wine folder yet.
QUILL_RUN_PREFIX=$prefix "$root/tools/run-program.sh" "$exe" >"$work/run.log" 2>&1 &
runner=$!
for _ in $(seq 1800); do  # up to 3 minutes: the prefix is made first
    window_up && break
    gone "$runner" && break
    sleep 0.1
done
check "the window comes up with a fresh prefix" window_up
check "the prefix was made where asked" test -f "$prefix/.quill-ready"
window_up || cat "$work/run.log"

# 3. Everything it started stops, by process id.
started=$(comm -13 <(echo "$before") <(wineservers))
kill -TERM "$runner" 2>/dev/null
WINEPREFIX=$prefix timeout 20 wineserver -k >/dev/null 2>&1
for _ in $(seq 100); do gone "$runner" && break; sleep 0.1; done
check "the program has stopped" gone "$runner"
for pid in $started; do
    for _ in $(seq 100); do gone "$pid" && break; sleep 0.1; done
done
check "every wineserver it started has stopped" all_gone $started
check "the window is gone" bash -c "! xwininfo -root -tree 2>/dev/null | grep -q '\"Quillantern\": '"
runner=""

finish "$report"
