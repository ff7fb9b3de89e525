#!/usr/bin/env bash
# The release as someone passing it on gets it. The last commit is cloned
# twice, at different paths, the second with other file dates, umask, time
# zone and locale; each clone builds the Linux program (make), the Windows
# archive (make dist) and the Debian package (make deb). The outputs must be
# the same bytes. Then the first clone's outputs are checked: the package's
# files, lintian, AppStream, the hardening of both programs, the archive.
#   release_test.sh [REPORT.xml]        (minutes: two full builds)
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tests/tools/checks.sh" Release
work=$(mktemp -d "${TMPDIR:-/tmp}/quill-release.XXXXXX")
trap 'rm -rf "$work"' EXIT
version=$(sed -n 's/^set(QUILL_VERSION_TEXT \(.*\))$/\1/p' "$root/CMakeLists.txt")
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
deb=build/deb/quillantern_${version}_${arch}.deb
zip=build/dist/Quillantern-${version}-win32.zip
msi=build/dist/Quillantern-${version}.msi
outputs=(build/native/quillantern build/win32/Quillantern.exe "$zip" "$msi" "$deb"
         build/deb/quillantern-dbgsym_${version}_${arch}.deb)

a=$work/a/quillantern
b=$work/second/other-path/quill
git clone -q --no-hardlinks "$root" "$a" && git clone -q --no-hardlinks "$root" "$b" ||
    { echo "cloning $root failed" >&2; exit 1; }
echo "building $(git -C "$a" rev-parse --short HEAD) in $a and $b"
find "$b" -path "$b/.git" -prune -o -exec touch -h -d '2001-02-03 04:05:06' {} +

build() {  # CLONE: make quillantern, dist and deb; the log beside the clone
    (cd "$1" && make BUILD=build quillantern dist deb) >"$1.log" 2>&1 ||
        { tail -n 30 "$1.log"; echo "the build in $1 failed" >&2; return 1; }
}
built=true
build "$a" || built=false
(umask 0002 && TZ=Pacific/Kiritimati LC_ALL=C.UTF-8 build "$b") || built=false
check "both clones build" $built
$built || { finish "${1:-}"; exit 1; }

# 1. The same bytes from both clones.
for output in "${outputs[@]}"; do
    sums=$(cd "$work" && sha256sum "a/quillantern/$output" "second/other-path/quill/$output")
    echo "$sums"
    check "$(basename "$output") is the same from both clones" \
        test "$(cut -d' ' -f1 <<<"$sums" | uniq | wc -l)" -eq 1
done

cd "$a" || exit 1
x=$work/unpacked
dpkg-deb -x "$deb" "$x"

# 2. The package: its files, its version, its computed dependencies.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort >"$work/files"
cat >"$work/expected" <<LIST
/usr/bin/quillantern
/usr/libexec/quillantern/quillantern-clipboard-wayland
/usr/libexec/quillantern/quillantern-clipboard-x11
/usr/share/applications/quillantern.desktop
$(for size in 16 32 48 64 128 256; do echo "/usr/share/icons/hicolor/${size}x${size}/apps/quillantern.png"; done)
/usr/share/doc/quillantern/changelog.gz
/usr/share/doc/quillantern/copyright
/usr/share/man/man1/quillantern.1.gz
/usr/share/metainfo/org.quillantern.Quillantern.metainfo.xml
LIST
sort -o "$work/expected" "$work/expected"
check "the package holds exactly the program, its clipboard helper and its desktop files" diff -u "$work/expected" "$work/files"
check "the package's version is the program's" \
    test "$(dpkg-deb -f "$deb" Version)" == "$version" -a \
         "$(env -u DISPLAY "$x/usr/bin/quillantern" --version)" == "Quillantern $version"
check "the Qt dependency is computed from the binary" grep -q 'libqt6widgets6 (>=' <(dpkg-deb -f "$deb" Depends)
check "the binary is stripped, its symbols in the dbgsym package" \
    bash -c "file '$x/usr/bin/quillantern' | grep -q ', stripped' &&
             dpkg-deb -c build/deb/quillantern-dbgsym_${version}_${arch}.deb | grep -c '/usr/lib/debug/.build-id/.*\.debug' >/dev/null"

# 3. lintian: no error, no warning (pedantic tags are shown, not required).
lintian --pedantic -I "$deb" >"$work/lintian" 2>&1
cat "$work/lintian"
check "lintian reports no error and no warning" bash -c "! grep -E '^[EW]: ' '$work/lintian'"

# 4. AppStream: valid, and it launches the desktop entry the package holds.
metainfo=$x/usr/share/metainfo/org.quillantern.Quillantern.metainfo.xml
check "appstreamcli validates the metainfo" appstreamcli validate --no-net "$metainfo"
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
check "the metainfo launches the package's desktop entry" test -f "$x/usr/share/applications/$launchable"

# 5. Hardening: the packaged program and the one make builds.
for program in "$x/usr/bin/quillantern" "$x"/usr/libexec/quillantern/quillantern-clipboard-{x11,wayland} \
               build/native/quillantern build/native/quillantern-clipboard-{x11,wayland}; do
    hardening-check --nocfprotection "$program" | tee "$work/hardening"
    check "$program: PIE, stack protector, FORTIFY, full RELRO, BIND_NOW" \
        bash -c "[[ \$(grep -cE '(PIE|Executable|protected|functions|relocations|binding): yes' '$work/hardening') -eq 5 ]]"
done
pe=$(python3 - build/win32/Quillantern.exe <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
stamp = struct.unpack_from("<I", data, pe + 8)[0]
flags = struct.unpack_from("<H", data, pe + 24 + 70)[0]
print(f"{stamp} {flags:#06x}")
PY
)
echo "Quillantern.exe: TimeDateStamp DllCharacteristics: $pe"
check "the exe's header holds no link time" test "${pe% *}" == 0
check "the exe has ASLR, DEP and TERMINAL_SERVER_AWARE" test $(( ${pe#* } & 0x8140 )) -eq $((0x8140))

# 6. The Windows archive: its members, the built exe in it, its checksum.
check "the archive holds the exe, licence, notices and read-me" \
    test "$(python3 -c 'import sys, zipfile; print(" ".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip")" == \
         "LICENSE Quillantern.exe README.txt THIRD-PARTY-NOTICES.txt"
check "the archive's exe is the built one" \
    cmp <(python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read("Quillantern.exe"))' "$zip") \
        build/win32/Quillantern.exe
check "SHA256SUMS matches the archive and the installer" bash -c "cd build/dist && sha256sum --quiet -c SHA256SUMS"
check "SHA256SUMS lists the archive and the installer" \
    test "$(awk '{print $2}' build/dist/SHA256SUMS | tr '\n' ' ')" == "$(basename "$zip") $(basename "$msi") "

# 6b. The installer's tables: the product, per user without elevation, the
# same exe, and nothing but files and a shortcut (no custom action, no
# registry, no file types, no services).
property() { msiinfo export "$msi" Property | tr -d '\r' | sed -n "s/^$1\t//p"; }
rows() { msiinfo export "$msi" "$1" 2>/dev/null | tr -d '\r' | tail -n +4 | grep -c .; }
check "the installer is Quillantern $version by the Quillantern authors" \
    test "$(property ProductName)|$(property ProductVersion)|$(property Manufacturer)" == \
         "Quillantern|$version|the Quillantern authors"
check "the installer installs per user (ALLUSERS=2, MSIINSTALLPERUSER=1) without asking for elevation" \
    bash -c "[[ '$(property ALLUSERS)|$(property MSIINSTALLPERUSER)' == '2|1' ]] &&
             (( \$(msiinfo suminfo '$msi' | sed -n 's/^Source: \([0-9]*\).*/\1/p') & 8 ))"
check "the installer goes to %LOCALAPPDATA%\\Programs\\Quillantern, with one Start-menu shortcut" \
    bash -c "msiinfo export '$msi' Directory | tr -d '\r' | grep -qx \$'INSTALLFOLDER\tUserProgramsFolder\tQuillantern' &&
             msiinfo export '$msi' Directory | tr -d '\r' | grep -qx \$'UserProgramsFolder\tLocalAppDataFolder\tPrograms' &&
             [[ \$(msiinfo export '$msi' Shortcut | tail -n +4 | cut -f2,3,5 | tr -d '\r') == \$'ProgramMenuFolder\tQuillantern\t[#Quillantern.exe]' ]]"
for table in CustomAction Registry Extension ProgId Verb ServiceInstall IniFile Environment; do
    check "the installer has no $table rows" test "$(rows "$table")" -eq 0
done
check "a later version replaces it (a major upgrade by the upgrade code)" \
    bash -c "msiinfo export '$msi' Upgrade | tr -d '\r' | grep -q \$'^{2A41F302-3EC1-4CEA-8E19-9C0CB8EBAF9E}\t\t$version\t' &&
             msiinfo export '$msi' InstallExecuteSequence | grep -q '^RemoveExistingProducts'"
mkdir -p "$work/msi" && (cd "$work/msi" && msiextract "$a/$msi" >/dev/null)
check "the installer's exe is the built one" \
    cmp "$(find "$work/msi" -name Quillantern.exe | head -n1)" build/win32/Quillantern.exe

# 7. The notices name every runtime library the linker took objects from.
missing=$(python3 - build/win32/Quillantern.map THIRD-PARTY-NOTICES.txt <<'PY'
import os, re, sys
text = open(sys.argv[1]).read()
section = text[text.find("Archive member included"):text.find("Discarded input sections")]
archives = {os.path.basename(m) for m in re.findall(r"^(\S+\.a)\(", section, re.M)}
notices = open(sys.argv[2]).read()
own = {"libquill_core.a", "libquill_win32.a", "objects.a"}
for archive in sorted(archives - own):
    name = archive[:-2]
    if name not in notices and name[3:] not in notices:
        print(archive)
PY
)
check "the notices cover every runtime library in the exe${missing:+ (not: $missing)}" test -z "$missing"

finish "${1:-}"
