#!/usr/bin/env bash
# Runs every test tree given (the Windows tree's programs each under a
# private Xvfb + Wine session) and closes with one line that counts the
# test cases of all trees. Exits non-zero if anything failed.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The tests run in English whatever the user's language; a test that is
# about a language sets its own.
export LANG=C.UTF-8
unset LANGUAGE LC_ALL $(compgen -e | grep '^LC_' || true)
status=0
skipped_trees=0
windows=""

for tree in "$@"; do
    rm -rf "$tree/test-results"
    mkdir -p "$tree/test-results"
    echo "== tests in $tree"
    # The Windows tree runs each test program through its CMake emulator,
    # tools/wine-run.sh (a private Xvfb and Wine prefix). The 32-bit tree's
    # tests count as skipped, never as passed, where 32-bit programs cannot
    # run; the x86-64 tree's run there (make test picks it).
    toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$tree/CMakeCache.txt" 2>/dev/null)
    if [[ $toolchain == *mingw-x86_64* ]]; then
        # (make test says why, tools/windows-test-arch.sh.)
        if [[ -n ${QUILL_WINE_WHY:-} ]]; then
            why=$QUILL_WINE_WHY
        elif "$here/can-run-win32.sh" 2>/dev/null; then
            why="QUILL_WINE_ARCH=win64 asks for it"
        else
            why="this machine cannot run 32-bit programs"
        fi
        windows="Windows tests: the x86-64 build in $tree under 64-bit Wine ($why); the shipped 32-bit file checked natively"
        echo "$windows"
    elif [[ $toolchain == *mingw* ]]; then
        if ! reason=$("$here/can-run-win32.sh" 2>&1); then
            count=$(ctest --test-dir "$tree" -N | sed -n 's/^Total Tests: //p')
            echo "SKIPPED: the ${count:-0} tests of $tree: $reason"
            skipped_trees=$((skipped_trees + ${count:-0}))
            windows="Windows tests: skipped ($reason)"
            continue
        fi
        windows="Windows tests: the shipped 32-bit build in $tree under 32-bit Wine (this machine can run 32-bit programs)"
        echo "$windows"
    fi
    ctest --test-dir "$tree" --output-on-failure || status=1
done

[[ -n $windows ]] && echo "$windows"
# Count GoogleTest cases from the XML reports; a test program that failed
# without leaving a report counts as one failure.
python3 - "$status" "$skipped_trees" "$@" <<'PY'
import glob, os, sys
import xml.etree.ElementTree as ET
status = int(sys.argv[1])
passed = failed = 0
skipped = int(sys.argv[2])
for tree in sys.argv[3:]:
    for path in glob.glob(os.path.join(tree, "test-results", "*.xml")):
        try:
            root = ET.parse(path).getroot()
        except ET.ParseError:
            failed += 1
            continue
        for case in root.iter("testcase"):
            if case.find("failure") is not None or case.find("error") is not None:
                failed += 1
            elif case.get("result") == "skipped" or case.find("skipped") is not None:
                skipped += 1
            else:
                passed += 1
if status != 0 and failed == 0:
    failed = 1
print(f"tests: {passed} passed, {failed} failed, {skipped} skipped")
PY
exit $status
