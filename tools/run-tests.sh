#!/usr/bin/env bash
# Runs every test tree given (native trees directly, the Windows tree under
# a private Xvfb + Wine session) and closes with one line that counts the
# test cases of all trees. Exits non-zero if anything failed.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
status=0

for tree in "$@"; do
    rm -rf "$tree/test-results"
    mkdir -p "$tree/test-results"
    echo "== tests in $tree"
    if grep -q 'CMAKE_CROSSCOMPILING_EMULATOR' "$tree/CMakeCache.txt" 2>/dev/null &&
        grep -q 'CMAKE_SYSTEM_NAME:.*=Windows' "$tree/CMakeCache.txt"; then
        QUILL_WINE_TIMEOUT=3600 "$here/wine-run.sh" ctest --test-dir "$tree" --output-on-failure || status=1
    else
        ctest --test-dir "$tree" --output-on-failure || status=1
    fi
done

# Count GoogleTest cases from the XML reports; a test program that failed
# without leaving a report counts as one failure.
python3 - "$status" "$@" <<'PY'
import glob, os, sys
import xml.etree.ElementTree as ET
status = int(sys.argv[1])
passed = failed = skipped = 0
for tree in sys.argv[2:]:
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
