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

The compound file is then written anew in one plain layout: the streams in
the order of their names, each in whole sectors (a small one in the mini
stream), then the mini stream, its table, the directory as one chain of
entries, and the sector table last. That is the layout osslsigncode writes
whenever it adds or removes a signature, so the package signed and its
signature removed again is this file, byte for byte; wixl's own layout it
would not give back.
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
COMPOUND_MAGIC = bytes.fromhex("d0cf11e0a1b11ae1")
ENDOFCHAIN, FATSECT, NOSTREAM = 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFF


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


def lay_out(msi):
    """The same streams, with the same names, dates and class, in the plain
    layout above. Only what wixl writes is taken: 512-byte sectors, no storage
    below the root, less than 7 MB (osslsigncode gives a larger file 4096-byte
    sectors)."""
    if msi[:8] != COMPOUND_MAGIC:
        raise RuntimeError("the package is not a compound file")
    minor, _, order, sector_shift, mini_shift = struct.unpack_from("<5H", msi, 24)
    fat_count, first_dir, _, cutoff, first_minifat, _, _, difat_count = struct.unpack_from("<8I", msi, 44)
    size, mini = 1 << sector_shift, 1 << mini_shift
    if size != 512 or cutoff != 4096 or difat_count != 0 or len(msi) > 7 * 1024 * 1024:
        raise RuntimeError("the package is not a small compound file of 512-byte sectors: cannot lay it out")

    # Reading: the sector table, the directory, the mini stream and its table.
    def sector(number):
        return msi[512 + number * size:512 + (number + 1) * size]

    def table(numbers):
        return [n for number in numbers for n in struct.unpack(f"<{size // 4}I", sector(number))]

    fat = table(struct.unpack_from(f"<{fat_count}I", msi, 76))

    def chain(start, links=fat):
        numbers = []
        while start < 0xFFFFFFFA:
            if start >= len(links) or len(numbers) > len(links):
                raise RuntimeError("the package's sector chains are broken: cannot lay it out")
            numbers.append(start)
            start = links[start]
        return numbers

    directory = b"".join(sector(n) for n in chain(first_dir))
    entries = [bytearray(directory[at:at + 128]) for at in range(0, len(directory), 128)]
    root = entries[0]
    minifat = table(chain(first_minifat))
    mini_stream = b"".join(sector(n) for n in chain(struct.unpack_from("<I", root, 116)[0]))

    def content(entry):
        start, length = struct.unpack_from("<IQ", entry, 116)
        if length >= cutoff:
            return b"".join(sector(n) for n in chain(start))[:length]
        return b"".join(mini_stream[n * mini:(n + 1) * mini] for n in chain(start, minifat))[:length]

    def name_length(entry):
        return struct.unpack_from("<H", entry, 64)[0]

    # The root's streams, whatever the shape of their tree, in name order:
    # shorter names first, then by UTF-16 code unit.
    streams, pending, seen = [], [struct.unpack_from("<I", root, 76)[0]], set()
    while pending:
        number = pending.pop()
        if number == NOSTREAM or number in seen:
            continue
        seen.add(number)
        entry = entries[number]
        if entry[66] != 2:
            raise RuntimeError("the package holds a storage: cannot lay it out")
        streams.append(entry)
        pending += struct.unpack_from("<II", entry, 68)
    streams.sort(key=lambda e: (name_length(e), struct.unpack_from(f"<{name_length(e) // 2}H", e)))

    # Writing: each stream's data, then the mini stream, its table, the
    # directory and the sector table, each in whole sectors of the file.
    body, small, new_fat, new_minifat = bytearray(), bytearray(), [], []

    def append(data, target, links, unit, fill=b"\0"):
        start = len(target) // unit
        target += data + fill * (-len(data) % unit)
        links += list(range(start + 1, start + (len(data) + unit - 1) // unit)) + [ENDOFCHAIN]
        return start

    for entry in streams:
        data = content(entry)
        if data:  # (an empty stream keeps its entry as it is)
            if len(data) < cutoff:
                start = append(data, small, new_minifat, mini)
            else:
                start = append(data, body, new_fat, size)
            struct.pack_into("<IQ", entry, 116, start, len(data))
    struct.pack_into("<IQ", root, 116, append(bytes(small), body, new_fat, size), len(small))
    if new_minifat:
        links = struct.pack(f"<{len(new_minifat) + 1}I", *new_minifat, ENDOFCHAIN)
        minifat_start, minifat_sectors = append(links, body, new_fat, size, b"\xff"), (len(links) + size - 1) // size
    else:
        minifat_start, minifat_sectors = ENDOFCHAIN, 0

    # Every entry black, each stream the right sibling of the one before.
    struct.pack_into("<BIII", root, 67, 1, NOSTREAM, NOSTREAM, 1)
    listing = bytearray(root)
    for number, entry in enumerate(streams, 1):
        struct.pack_into("<BII", entry, 67, 1, NOSTREAM, number + 1 if number < len(streams) else NOSTREAM)
        entry[name_length(entry):64] = bytes(64 - name_length(entry))
        entry[124:128] = bytes(4)
        listing += entry
    unused = bytes(68) + struct.pack("<III", NOSTREAM, NOSTREAM, NOSTREAM) + bytes(48)
    listing += unused * (-len(listing) // 128 % (size // 128))
    dir_start = append(bytes(listing), body, new_fat, size)

    # The sector table counts its own sectors too.
    fat_sectors = (len(new_fat) * 4 + (len(new_fat) * 4 + size - 1) // size * 4 + size - 1) // size
    if fat_sectors > 109:
        raise RuntimeError("the package needs more sector table than its header holds: cannot lay it out")
    fat_start = len(body) // size
    new_fat += [FATSECT] * fat_sectors
    new_fat += [NOSTREAM] * (-len(new_fat) % (size // 4))
    body += struct.pack(f"<{len(new_fat)}I", *new_fat)

    header = bytearray(512)
    header[:8] = COMPOUND_MAGIC
    struct.pack_into("<5H", header, 24, minor, 3, order, 9, mini_shift)
    struct.pack_into("<9I", header, 40, 0, fat_sectors, dir_start, 0, cutoff, minifat_start, minifat_sectors,
                     ENDOFCHAIN, 0)
    struct.pack_into("<109I", header, 76, *range(fat_start, fat_start + fat_sectors),
                     *[NOSTREAM] * (109 - fat_sectors))
    return bytes(header + body)


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
            msi = lay_out(msi)
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
