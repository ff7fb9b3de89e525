#!/usr/bin/env bash
# Runs a command on a private X display: a new Xvfb on a free display
# number, stopped by its process id when the command ends, fails or is
# interrupted. Reuses the display of an outer session (DISPLAY and
# QUILL_XVFB_PID set by this script or tools/wine-run.sh). The command is
# bounded by QUILL_XVFB_TIMEOUT seconds (default 300).
#   tools/xvfb-run.sh COMMAND [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/session.sh"
[[ $# -ge 1 ]] || { echo "usage: xvfb-run.sh COMMAND [ARGS...]" >&2; exit 2; }

begin_session

if [[ -z ${QUILL_XVFB_PID:-} || -z ${DISPLAY:-} ]]; then
    start_xvfb "${QUILL_SCREEN:-1024x768}" "$tmp"
fi
run_bounded "${QUILL_XVFB_TIMEOUT:-300}" "$@"
exit "$status"
