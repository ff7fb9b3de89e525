#!/usr/bin/env bash
# The project's own C++ sources (the files git tracks) follow .clang-format,
# and clang-tidy finds nothing in them with .clang-tidy's checks.
#   style_test.sh format [REPORT.xml]
#   style_test.sh tidy BUILD_DIR [REPORT.xml]
# tidy reads BUILD_DIR's compile_commands.json (the native tree: the Linux
# program, the clipboard helpers, the core and their tests; the project's
# headers through them), a file a core at a time. The Windows sources are
# not in it: a native clang-tidy cannot parse them.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
mode=$1
shift
build=""
if [[ $mode == tidy ]]; then
    build=$1
    shift
fi
source "$root/tests/tools/checks.sh" Style
cd "$root" || exit 1

# Debian 12's; a newer one where the machine has it.
tool() {
    local name
    for name in "$1-14" "$1"; do
        command -v "$name" >/dev/null && { echo "$name"; return; }
    done
    echo "style_test: $1 is not installed (tools/install-deps.sh --style)" >&2
    return 1
}

mapfile -t sources < <(git ls-files '*.cpp' '*.hpp' '*.h')
if [[ ${#sources[@]} -eq 0 ]]; then
    echo "style_test: no sources: $root is not a git checkout" >&2
    exit 1
fi

formatted() {
    local format
    format=$(tool clang-format) || return 1
    "$format" --dry-run -Werror "${sources[@]}"
}

tidy_clean() {
    local tidy folders units
    tidy=$(tool clang-tidy) || return 1
    # The project's headers are checked as the sources include them; the
    # generated ones in build trees, and the system's, are not.
    folders=$(printf '%s\n' "${sources[@]}" | sed -n 's|/.*||p' | sort -u | paste -sd'|')
    units=$(python3 - "$build/compile_commands.json" "$root" "${sources[@]}" <<'PY'
import json, os, sys
database, root, tracked = sys.argv[1], sys.argv[2], set(sys.argv[3:])
files = {os.path.relpath(entry["file"], root) for entry in json.load(open(database))}
print("\n".join(sorted(files & tracked)))
PY
) || return 1
    [[ -n $units ]] || { echo "style_test: no project source in $build/compile_commands.json" >&2; return 1; }
    echo "$(wc -l <<<"$units") files"
    xargs -P "$(nproc)" -n 2 "$tidy" -p "$build" --quiet --warnings-as-errors='*' \
        --header-filter="^$root/($folders)/" <<<"$units" 2>&1 | grep -v '^[0-9]* warnings generated\.$'
    return "${PIPESTATUS[0]}"
}

start=$(date +%s)
case $mode in
    format) check "every C++ source follows .clang-format" formatted ;;
    tidy) check "clang-tidy finds nothing in the project's sources" tidy_clean ;;
    *) echo "usage: style_test.sh format|tidy [BUILD_DIR] [REPORT.xml]" >&2; exit 2 ;;
esac
echo "style_test $mode: $(($(date +%s) - start)) s"
finish "${1:-}"
