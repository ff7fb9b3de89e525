#!/usr/bin/env python3
"""Writes the Windows archive and its SHA256SUMS, the same bytes for the same
inputs: members sorted, dated SOURCE_DATE_EPOCH, with fixed permissions.
  make-dist.py OUTDIR VERSION Quillantern.exe FILE... [--listed FILE...]
Files after --listed (the installer) are released beside the archive: listed
in SHA256SUMS, not packed.
"""
import hashlib
import os
import sys
import time
import zipfile


def main() -> int:
    if len(sys.argv) < 4:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    out_dir, version, *inputs = sys.argv[1:]
    listed = []
    if "--listed" in inputs:
        listed = inputs[inputs.index("--listed") + 1:]
        inputs = inputs[:inputs.index("--listed")]
    for path in inputs + listed:
        if not os.path.isfile(path):
            print(f"make-dist: {path} is missing", file=sys.stderr)
            return 1
    for path in listed:
        if os.path.abspath(os.path.dirname(path)) != os.path.abspath(out_dir):
            print(f"make-dist: {path} is not in {out_dir}", file=sys.stderr)
            return 1
    # Zip dates start in 1980; without SOURCE_DATE_EPOCH, that first day.
    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH") or 0), 315532800)
    date = time.gmtime(epoch)[:6]
    os.makedirs(out_dir, exist_ok=True)
    name = f"Quillantern-{version}-win32.zip"
    archive = os.path.join(out_dir, name)
    partial = archive + ".part"
    members = sorted(inputs, key=os.path.basename)
    with zipfile.ZipFile(partial, "w") as zip_file:
        for path in members:
            info = zipfile.ZipInfo(os.path.basename(path), date_time=date)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that the permissions below count
            info.external_attr = (0o100755 if path.endswith(".exe") else 0o100644) << 16
            with open(path, "rb") as source:
                zip_file.writestr(info, source.read(), compresslevel=9)
    os.replace(partial, archive)

    sums = []
    for path in [archive] + [p for p in inputs if p.endswith(".exe")]:
        with open(path, "rb") as data:
            sums.append((hashlib.sha256(data.read()).hexdigest(), os.path.basename(path)))
    released = [sums[0]]
    for path in listed:
        with open(path, "rb") as data:
            released.append((hashlib.sha256(data.read()).hexdigest(), os.path.basename(path)))
    with open(os.path.join(out_dir, "SHA256SUMS"), "w", encoding="ascii") as listing:
        for digest, base in released:
            listing.write(f"{digest}  {base}\n")
    print(f"{archive}:")
    with zipfile.ZipFile(archive) as zip_file:
        for info in zip_file.infolist():
            print(f"  {info.file_size:>8}  {info.filename}")
    for digest, base in sums + released[1:]:
        print(f"sha256 {digest}  {base}")
    print(f"{os.path.join(out_dir, 'SHA256SUMS')} written")
    return 0


if __name__ == "__main__":
    sys.exit(main())
