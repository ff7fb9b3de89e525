# A private Xvfb display and a bounded command, for scripts that source
# this file.
#   start_xvfb SCREEN TMPDIR   starts Xvfb on a free display (it picks the
#                              number), exports DISPLAY and QUILL_XVFB_PID
#   stop_xvfb                  stops that Xvfb by its process id
#   stop_process PID [SECONDS] stops a process: TERM, then KILL after SECONDS
#                              (default 5)
#   run_bounded SECONDS CMD... runs CMD for at most SECONDS; sets `status`
#   stop_child                 stops a command run_bounded still runs
#   begin_session              makes $tmp and, on exit, failure or interruption,
#                              stops what the session started: the command,
#                              then on_session_end (the caller's own, if it
#                              defines one), then Xvfb; removes $tmp
xvfb_pid=""
child_pid=""
status=0

# -noreset: an X server resets when its last client leaves and refuses the
# clients that connect meanwhile; a session's first clients (a probe, the
# accessibility bus setting its root property) come and go before the
# window manager connects.
start_xvfb() {
    local screen=$1 tmp=$2
    command -v Xvfb >/dev/null || { echo "Xvfb is missing (run tools/install-deps.sh)" >&2; exit 2; }
    Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -noreset \
        3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 600); do
        [[ -s $tmp/display ]] && break
        kill -0 "$xvfb_pid" 2>/dev/null || { cat "$tmp/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 2; }
        sleep 0.1
    done
    [[ -s $tmp/display ]] || { echo "Xvfb gave no display within 60 s" >&2; exit 2; }
    export DISPLAY=":$(head -n1 "$tmp/display")"
    export QUILL_XVFB_PID=$xvfb_pid
}

stop_process() {
    local pid=$1 tenths=$(( ${2:-5} * 10 ))
    [[ -n $pid ]] || return 0
    kill -TERM "$pid" 2>/dev/null || return 0
    for _ in $(seq "$tenths"); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
}

stop_xvfb() {
    stop_process "$xvfb_pid"
    xvfb_pid=""
}

run_bounded() {
    local limit=$1; shift
    timeout -k 10 "$limit" "$@" &
    child_pid=$!
    set +e
    wait "$child_pid"
    status=$?
    set -e
    child_pid=""
}

stop_child() {
    if [[ -n $child_pid ]] && kill -0 "$child_pid" 2>/dev/null; then
        kill -TERM "$child_pid" 2>/dev/null || true
    fi
}

on_session_end() { :; }

end_session() {
    local code=$?
    trap - EXIT INT TERM HUP
    stop_child
    on_session_end
    stop_xvfb
    rm -rf "$tmp"
    exit "$code"
}

begin_session() {
    tmp=$(mktemp -d)
    trap end_session EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM HUP
}
