#!/usr/bin/env bash
# The built program's own options, with no display at all (over ssh, in a
# package's post-install check): answered without opening a window.
#   command_line_run_test.sh QUILLANTERN [REPORT.xml]
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
program=$1
source "$root/tests/tools/checks.sh" CommandLineRun
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() {  # NAME ARGS...: runs the program with no display, at most 20 s
    local name=$1; shift
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$program" "$@" \
        >"$work/$name.out" 2>"$work/$name.err"
    echo $? >"$work/$name.status"
}
status_is() { [[ $(cat "$work/$1.status") == "$2" ]]; }

run help --help
check "--help exits 0" status_is help 0
check "--help prints the usage" grep -q '^Usage: quillantern' "$work/help.out"
check "--help writes nothing to stderr" test ! -s "$work/help.err"

run version --version
check "--version exits 0" status_is version 0
check "--version prints the version" test "$(cat "$work/version.out")" == "Quillantern 1.00"

run unknown --no-such-option
check "an unknown option exits 2" status_is unknown 2
check "an unknown option is named on stderr" grep -q "unknown option '--no-such-option'" "$work/unknown.err"
check "an unknown option shows the usage on stderr" grep -q '^Usage: quillantern' "$work/unknown.err"
check "an unknown option prints nothing on stdout" test ! -s "$work/unknown.out"

# Without options it really starts Qt, which says there is no display.
run plain
check "without options it starts Qt, which fails without a display" \
    bash -c "! grep -qx 0 '$work/plain.status' && grep -qi 'display\|platform' '$work/plain.err'"

finish "${2:-}"
