#!/usr/bin/env bash
# Builds the Debian package the Debian way (dpkg-buildpackage, debhelper's
# CMake build) from a clean export of the last commit, in a staging folder:
# dpkg-buildpackage writes beside the source folder, never into the tree.
#   make-deb.sh OUTDIR [JOBS]
# Leaves OUTDIR/quillantern_VERSION_ARCH.deb and the package of its debug
# symbols, quillantern-dbgsym_VERSION_ARCH.deb, and prints their checksums.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(realpath -m "$1")
jobs=${2:-$(nproc 2>/dev/null || echo 2)}
version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
stage=$out/stage
source_dir=$stage/quillantern-$version

rm -rf "$stage"
mkdir -p "$source_dir"
if git -C "$root" rev-parse --verify -q HEAD >/dev/null; then
    if [[ -n $(git -C "$root" status --porcelain --untracked-files=no) ]]; then
        echo "make deb: packaging the last commit; the uncommitted changes are not in it" >&2
    fi
    git -C "$root" archive --format=tar HEAD | tar -x -C "$source_dir"
else
    tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -x -C "$source_dir"
fi

log=$out/build.log
echo "make deb: building quillantern $version in $source_dir (log: $log)"
if ! (cd "$source_dir" && dpkg-buildpackage -b -us -uc -j"$jobs") >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "make deb: dpkg-buildpackage failed; the whole log is $log" >&2
    exit 1
fi
package=quillantern_${version}_${arch}.deb
symbols=quillantern-dbgsym_${version}_${arch}.deb
rm -f "$out/$package" "$out/$symbols"
mv "$stage/$package" "$stage/$symbols" "$out/"
rm -rf "$stage"
(cd "$out" && sha256sum "$package" "$symbols" | sed 's/^/sha256 /')
echo "$out/quillantern_${version}_${arch}.deb written"
