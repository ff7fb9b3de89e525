#!/usr/bin/env python3
"""What only the shipped 32-bit Quillantern.exe shows, read natively from the
file on any machine (the tests under Wine may run the x86-64 build instead):
a PE32 i386 GUI image, only Windows system DLLs imported, ASLR, DEP and
Terminal Server awareness, the icon group of three images, version "1.00".
  shipped_exe_test.py Quillantern.exe [REPORT.xml]
"""
import struct
import sys
from xml.sax.saxutils import quoteattr

RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"}


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        if (magic, self.machine) != (0x10B, 0x14C):
            raise ValueError(f"not a PE32 image for i386 (magic {magic:#x}, machine {self.machine:#x})")
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, optional + 68)
        self.directories = [struct.unpack_from("<II", data, optional + 96 + 8 * i) for i in range(16)]
        self.sections = [struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
                         for i in range(sections)]

    def offset(self, rva):
        for virtual_size, address, raw_size, raw_offset in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return rva - address + raw_offset
        raise ValueError(f"address {rva:#x} is in no section")

    def c_string(self, offset):
        return self.data[offset:self.data.index(b"\0", offset)].decode("ascii")

    def imports(self):
        names = set()
        at = self.offset(self.directories[1][0])
        while True:
            name_rva = struct.unpack_from("<I", self.data, at + 12)[0]
            if name_rva == 0:
                return names
            names.add(self.c_string(self.offset(name_rva)).lower())
            at += 20

    def resources(self):
        """{(type, id): bytes} of the first language of each resource."""
        root = self.offset(self.directories[2][0])

        def entries(directory):
            named, ids = struct.unpack_from("<HH", self.data, root + directory + 12)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.data, root + directory + 16 + 8 * i)
                yield key, target

        found = {}
        for kind, types in entries(0):
            for ident, languages in entries(types & 0x7FFFFFFF):
                _, leaf = next(entries(languages & 0x7FFFFFFF))
                rva, size = struct.unpack_from("<II", self.data, root + leaf)
                start = self.offset(rva)
                found[(kind, ident)] = self.data[start:start + size]
        return found


def version_strings(block):
    """The String entries of a VS_VERSIONINFO block, as {key: value}."""
    strings = {}

    def walk(at, end, depth):
        while at + 6 <= end:
            length, value_length, kind = struct.unpack_from("<HHH", block, at)
            if length == 0:
                return
            key_end = at + 6
            while block[key_end:key_end + 2] != b"\0\0":
                key_end += 2
            key = block[at + 6:key_end].decode("utf-16-le")
            value = (key_end + 2 + 3) & ~3
            if depth == 3 and kind == 1:
                text = block[value:value + 2 * value_length].decode("utf-16-le")
                strings[key] = text.rstrip("\0")
            children = (value + (2 * value_length if kind == 1 else value_length) + 3) & ~3
            walk(children, at + length, depth + 1)
            at = (at + length + 3) & ~3

    walk(0, len(block), 0)
    return strings


def icon_group(resources):
    group = resources.get((RT_GROUP_ICON, 1))
    if group is None:
        return None
    count = struct.unpack_from("<H", group, 4)[0]
    images = []
    for i in range(count):
        width, _, _, _, _, bits, _, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        images.append((width, bits, (RT_ICON, ident) in resources))
    return images


def main():
    if len(sys.argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    path, report = sys.argv[1], (sys.argv[2] if len(sys.argv) > 2 else None)
    cases = []

    def check(name, passed, detail=""):
        print(f"{'ok' if passed else 'FAILED'}: {name}{'' if passed else f' ({detail})'}")
        cases.append((name, passed, detail))

    try:
        with open(path, "rb") as exe:
            image = Image(exe.read())
        resources = image.resources()
        imports = image.imports()
    except (OSError, ValueError, struct.error) as error:
        check("it is a PE32 image for i386", False, f"{path}: {error}")
    else:
        check("it is a PE32 image for i386", True)
        check("it is a GUI program", image.subsystem == 2, f"subsystem {image.subsystem}")
        check("it has ASLR, DEP and Terminal Server awareness",
              image.dll_characteristics & 0x8140 == 0x8140, f"{image.dll_characteristics:#06x}")
        check("it imports only Windows system DLLs, not the colour dialog's",
              {"kernel32.dll", "user32.dll"} <= imports <= SYSTEM_DLLS, " ".join(sorted(imports)))
        images = icon_group(resources)
        check("its icon group holds the three classic images",
              images == [(32, 1, True), (32, 4, True), (16, 4, True)], f"{images}")
        strings = version_strings(resources.get((RT_VERSION, 1), b""))
        named = {key: strings.get(key) for key in ("FileVersion", "ProductVersion", "ProductName")}
        check("its version record says Quillantern 1.00",
              named == {"FileVersion": "1.00", "ProductVersion": "1.00", "ProductName": "Quillantern"},
              f"{named}")

    if report:
        with open(report, "w", encoding="utf-8") as out:
            out.write('<testsuites><testsuite name="ShippedExe">')
            for name, passed, detail in cases:
                out.write(f'<testcase classname="ShippedExe" name={quoteattr(name)}>')
                if not passed:
                    out.write(f"<failure message={quoteattr(detail)}/>")
                out.write("</testcase>")
            out.write("</testsuite></testsuites>\n")
    return 0 if all(passed for _, passed, _ in cases) else 1


if __name__ == "__main__":
    sys.exit(main())
