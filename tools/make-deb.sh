#!/usr/bin/env bash
# Builds the Debian source package and, from it, the binary package, the
# Debian way (dpkg-buildpackage, debhelper's CMake build), from the last
# commit, in a staging folder: dpkg-buildpackage writes beside the source
# folder, never into the tree.
#   make-deb.sh OUTDIR [JOBS]
# Leaves in OUTDIR the source package, quillantern_VERSION.dsc with
# quillantern_UPSTREAM.orig.tar.xz (the commit without debian/) and
# quillantern_VERSION.debian.tar.xz, and the binary package built from it,
# quillantern_VERSION_ARCH.deb, with the package of its debug symbols,
# quillantern-dbgsym_VERSION_ARCH.deb; and prints their checksums.
#
# The build's dates are debian/changelog's (SOURCE_DATE_EPOCH is not passed
# on), so that anyone's dpkg-source -x and dpkg-buildpackage -b of the
# source package give the same .deb.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$(realpath -m "$1")
jobs=${2:-$(nproc 2>/dev/null || echo 2)}
version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
upstream=${version%-*}
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
stage=$out/stage
source_dir=$stage/quillantern-$upstream
orig=quillantern_$upstream.orig.tar.xz
umask 022  # the modes in the tarballs are the same whatever the caller's umask

rm -rf "$stage"
mkdir -p "$source_dir"
if git -C "$root" rev-parse --verify -q HEAD >/dev/null; then
    if [[ -n $(git -C "$root" status --porcelain --untracked-files=no) ]]; then
        echo "make deb: packaging the last commit; the uncommitted changes are not in it" >&2
    fi
    # (git archive dates every member with the commit's time.)
    git -C "$root" -c tar.umask=022 archive --format=tar --prefix="quillantern-$upstream/" HEAD -- . ':!debian' |
        xz -6 -T1 >"$stage/$orig"
    git -C "$root" archive --format=tar HEAD | tar -x -C "$source_dir"
else
    date=@$(dpkg-parsechangelog -l "$root/debian/changelog" -S Timestamp)
    tar -C "$root" --exclude=./build --exclude=./.git --exclude=./debian --sort=name --mtime="$date" --owner=0 \
        --group=0 --numeric-owner --transform="s|^\\.|quillantern-$upstream|" -cf - . | xz -6 -T1 >"$stage/$orig"
    tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -x -C "$source_dir"
fi

log=$out/build.log
echo "make deb: building quillantern $version in $source_dir (log: $log)"
if ! (cd "$source_dir" && env -u SOURCE_DATE_EPOCH -u QT_RCC_SOURCE_DATE_OVERRIDE \
          dpkg-buildpackage -us -uc -j"$jobs") >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "make deb: dpkg-buildpackage failed; the whole log is $log" >&2
    exit 1
fi
files=("quillantern_$version.dsc" "$orig" "quillantern_$version.debian.tar.xz"
       "quillantern_${version}_$arch.deb" "quillantern-dbgsym_${version}_$arch.deb")
for file in "${files[@]}"; do
    rm -f "$out/$file"
    mv "$stage/$file" "$out/"
done
rm -rf "$stage"
(cd "$out" && sha256sum "${files[@]}" | sed 's/^/sha256 /')
echo "$out/quillantern_${version}_$arch.deb and its source package $out/quillantern_$version.dsc written"
