# Shared by the shell tests: named checks that are counted and written as a
# GoogleTest-style XML report, so that the closing line counts them too.
#   source checks.sh SUITE; check NAME COMMAND...; finish REPORT.xml
suite=$1
cases=""
failures=0

check() {  # NAME COMMAND...
    local name=$1; shift
    # (The report is XML: a name with & or < in it would spoil the whole report.)
    local xml=${name//&/"&amp;"}
    xml=${xml//</"&lt;"}; xml=${xml//>/"&gt;"}; xml=${xml//\"/"&quot;"}
    if "$@"; then
        echo "ok: $name"
        cases+="<testcase classname=\"$suite\" name=\"$xml\"/>"
    else
        echo "FAILED: $name"
        failures=$((failures + 1))
        cases+="<testcase classname=\"$suite\" name=\"$xml\"><failure message=\"failed\"/></testcase>"
    fi
}

gone() {  # PID: true when the process has ended (or is only a zombie)
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 0
    [[ $state == Z* ]]
}

all_gone() {  # PID...: true when every one has ended; names those still running
    local pid left=0
    for pid; do
        gone "$pid" || { echo "process $pid still runs" >&2; left=1; }
    done
    return $left
}

wineservers() { pgrep wineserver | sort; }

finish() {  # [REPORT.xml]: writes the report; the exit status says whether all passed
    echo "$suite: $failures failed"
    if [[ -n ${1:-} ]]; then
        mkdir -p "$(dirname "$1")"
        echo "<testsuites><testsuite name=\"$suite\">$cases</testsuite></testsuites>" > "$1"
    fi
    [[ $failures -eq 0 ]]
}
