#!/usr/bin/env bash
# tools/wine-run.sh must stop everything it started, by process id, when
# the command fails and when the run is interrupted.
#   wine_run_cleanup_test.sh [REPORT.xml]
set -uo pipefail
# Always a session of its own, even when run inside another one.
unset QUILL_WINE_SESSION QUILL_XVFB_PID WINEPREFIX
report=${1:-}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tests/tools/checks.sh" WineRunCleanup
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 1. A failing command: its exit status comes back and the display is gone.
"$root/tools/wine-run.sh" bash -c 'echo "$QUILL_XVFB_PID" > "$0"; exit 7' "$work/xvfb1"
check "the command's exit status is passed on" test $? -eq 7
check "Xvfb is stopped after a failure" gone "$(cat "$work/xvfb1")"

# 2. An interrupted run while a Windows program is up.
before=$(wineservers)
"$root/tools/wine-run.sh" bash -c 'echo "$QUILL_XVFB_PID" > "$0"; wine winver; sleep 60' "$work/xvfb2" &
runner=$!
for _ in $(seq 300); do
    [[ -s $work/xvfb2 ]] && [[ -n $(comm -13 <(echo "$before") <(wineservers)) ]] && break
    sleep 0.1
done
started=$(comm -13 <(echo "$before") <(wineservers))
check "a wineserver was started" test -n "$started"
kill -TERM "$runner"
for _ in $(seq 300); do gone "$runner" && break; sleep 0.1; done
check "the runner ends when interrupted" gone "$runner"
check "Xvfb is stopped after an interruption" gone "$(cat "$work/xvfb2")"
check "every wineserver it started is stopped" all_gone $started

finish "$report"
