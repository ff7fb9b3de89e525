#!/usr/bin/env python3
"""Writes the Windows installer with msitools' wixl from
win32/installer/Quillantern.wxs, the same bytes for the same inputs.
  make-msi.py OUT.msi VERSION ARCH Quillantern.exe LICENSE THIRD-PARTY-NOTICES.txt quillantern.ico
ARCH is x86 (the shipped program) or x64 (the x86-64 test build).

wixl makes up three things on every run, which are pinned here: the package
code and the two dates of the summary information (it reads no setting for
them, so they are written over in the finished file, whose layout keeps them
at fixed places). The package code is derived from what the package holds;
the dates are SOURCE_DATE_EPOCH's. The product code is one for each version
and architecture, derived from the upgrade code; the cabinet's file dates are
SOURCE_DATE_EPOCH's too.
"""
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import uuid

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE = os.path.join(ROOT, "win32", "installer", "Quillantern.wxs")
INPUT_NAMES = ["Quillantern.exe", "LICENSE", "THIRD-PARTY-NOTICES.txt", "quillantern.ico"]
FILETIME_EPOCH = 11644473600  # seconds from 1601 to 1970


def filetime(seconds):
    return struct.pack("<Q", (seconds + FILETIME_EPOCH) * 10_000_000)


def package_uuid(path):
    output = subprocess.run(["msiinfo", "suminfo", path], check=True, capture_output=True, text=True).stdout
    found = re.search(r"^Revision number \(UUID\): (\{[0-9A-F-]{36}\})$", output, re.M)
    if not found:
        raise RuntimeError(f"msiinfo shows no package code for {path}")
    return found.group(1)


def replace_once(data, old, new, what, count=1):
    if data.count(old) != count:
        raise RuntimeError(f"{what} is {data.count(old)} times in the package, not {count}: cannot pin it")
    return data.replace(old, new)


def main():
    if len(sys.argv) != 8 or sys.argv[3] not in ("x86", "x64"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    output, version, arch, *inputs = sys.argv[1:]
    for path in inputs:
        if not os.path.isfile(path):
            print(f"make-msi: {path} is missing", file=sys.stderr)
            return 1
    if shutil.which("wixl") is None or shutil.which("msiinfo") is None:
        print("make-msi: wixl and msiinfo are missing (tools/install-deps.sh --msi installs msitools)", file=sys.stderr)
        return 1
    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH") or 0), 315532800)
    with open(SOURCE, encoding="utf-8") as wxs:
        upgrade_code = uuid.UUID(re.search(r'UpgradeCode="\{([0-9A-F-]{36})\}"', wxs.read()).group(1))
    product_code = str(uuid.uuid5(upgrade_code, f"Quillantern {version} {arch}")).upper()

    contents = hashlib.sha256(f"{version} {arch}".encode())
    with tempfile.TemporaryDirectory() as work:
        staged = os.path.join(work, "inputs")
        os.mkdir(staged)
        for path, name in zip(inputs, INPUT_NAMES):
            target = os.path.join(staged, name)
            shutil.copyfile(path, target)
            os.utime(target, (epoch, epoch))
            with open(target, "rb") as data:
                contents.update(hashlib.sha256(data.read()).digest())
        with open(SOURCE, "rb") as data:
            contents.update(data.read())
        package_code = "{%s}" % str(uuid.UUID(bytes=contents.digest()[:16], version=4)).upper()

        built = os.path.join(work, "built.msi")
        started = int(time.time())
        # (wixl's own dates are in local time; any zone gives the same bytes.)
        run = subprocess.run(["wixl", "-a", arch, "-D", f"Version={version}", "-D", f"ProductCode={{{product_code}}}",
                              "-D", "Inputs=inputs", "-o", built, SOURCE],
                             capture_output=True, text=True, cwd=work, env=dict(os.environ, TZ="UTC"))
        ended = int(time.time())
        if run.returncode != 0 or not os.path.isfile(built):
            sys.stderr.write(run.stderr)
            print(f"make-msi: wixl failed on {SOURCE}", file=sys.stderr)
            return 1
        with open(built, "rb") as data:
            msi = data.read()
        try:
            msi = replace_once(msi, package_uuid(built).encode("ascii"), package_code.encode("ascii"), "the package code")
            stamps = [filetime(t) for t in range(started - 1, ended + 2) if filetime(t) in msi]
            if sum(msi.count(stamp) for stamp in stamps) != 2:
                raise RuntimeError("the package's two dates were not found once each: cannot pin them")
            for stamp in stamps:
                msi = msi.replace(stamp, filetime(epoch))
        except RuntimeError as error:
            print(f"make-msi: {error}", file=sys.stderr)
            return 1
        partial = output + ".part"
        os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
        with open(partial, "wb") as out:
            out.write(msi)
        if package_uuid(partial) != package_code:
            os.remove(partial)
            print("make-msi: the pinned package does not read back", file=sys.stderr)
            return 1
        os.replace(partial, output)
    print(f"{output}: {len(msi)} bytes, product code {{{product_code}}}, package code {package_code}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
