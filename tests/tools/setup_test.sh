#!/usr/bin/env bash
# What make test does before it builds, where a machine gets in its way: a
# package source that cannot be read, 32-bit Wine that cannot be installed.
# The scripts run against stand-ins for apt, dpkg and the machine checks.
#   setup_test.sh [REPORT.xml]
set -uo pipefail
report=${1:-}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tests/tools/checks.sh" SetupScripts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- tools/install-deps.sh, with apt-get's update failing as it does when an
# index cannot be read (exit 100), and its install succeeding or not.
stubs=$work/stubs
mkdir -p "$stubs"
stub() {  # NAME BODY
    printf '#!/usr/bin/env bash\n%s\n' "$2" >"$stubs/$1"
    chmod +x "$stubs/$1"
}
stub sudo 'exec "$@"'
stub dpkg-query 'exit 1'  # nothing is installed
stub dpkg 'exit 0'
stub apt-get "
case \" \$* \" in
    *\" update \"*)
        echo \"E: Failed to fetch http://mirror.invalid/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (46 != 45). Mirror sync in progress? [IP: 192.0.2.1 80]\" >&2
        echo \"E: Some index files failed to download. They have been ignored, or old ones used instead.\" >&2
        exit 100 ;;
    *\" install \"*)
        echo \"\$*\" >>\"$work/installed\"
        exit \$(cat \"$work/install-status\") ;;
esac"

install_deps() {  # INSTALL-STATUS: runs install-deps.sh; its output in $work/out
    echo "$1" >"$work/install-status"
    rm -f "$work/installed"
    PATH=$stubs:$PATH "$root/tools/install-deps.sh" >"$work/out" 2>&1
}
install_deps 0
check "an unreadable package source does not stop the install" test $? -eq 0
check "the packages are installed all the same" grep -q 'install -y -qq --no-install-recommends cmake' "$work/installed"
check "the source that could not be read is named" \
    grep -qx '  http://mirror.invalid/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz' "$work/out"
install_deps 100
check "an install that fails after it fails the script" test $? -eq 1
check "and says that some sources could not be read" grep -q 'some package sources could not be read' "$work/out"

# --- tools/windows-test-arch.sh, beside stand-ins for the machine check and
# the install of 32-bit Wine.
tools=$work/tools
mkdir -p "$tools"
cp "$root/tools/windows-test-arch.sh" "$tools/"
decide() {  # CAN-RUN-STATUS INSTALL-STATUS [QUILL_WINE_ARCH]: prints the decision
    printf '#!/bin/sh\n[ %s -eq 0 ] || echo "no 32-bit programs here" >&2\nexit %s\n' "$1" "$1" >"$tools/can-run-win32.sh"
    printf '#!/bin/sh\n[ %s -eq 0 ] || echo "install-deps: could not install wine32:i386"\nexit %s\n' "$2" "$2" \
        >"$tools/install-deps.sh"
    chmod +x "$tools/can-run-win32.sh" "$tools/install-deps.sh"
    QUILL_WINE_ARCH=${3:-} "$tools/windows-test-arch.sh" 2>/dev/null
}
while IFS='|' read -r can_run install asked expected; do
    check "can run 32-bit: $can_run, Wine installs: $install, asked: ${asked:-nothing} -> $expected" \
        test "$(decide "$can_run" "$install" "$asked")" == "$expected"
done <<'TABLE'
0|0||win32: this machine can run 32-bit programs
0|1||win64: 32-bit Wine could not be installed on this machine (could not install wine32:i386)
1|0||win64: no 32-bit programs here
0|0|win64|win64: QUILL_WINE_ARCH=win64 asks for it
TABLE

finish "$report"
