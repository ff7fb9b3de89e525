#!/usr/bin/env bash
# The release as someone passing it on gets it. The last commit is cloned
# twice, at different paths, the second with other file dates, umask, time
# zone and locale; each clone builds the Linux program (make), the Windows
# archive (make dist) and the Debian source and binary packages (make deb).
# The outputs must be the same bytes. Then the first clone's outputs are
# checked: the package's files, lintian, AppStream, the hardening of both
# programs, the archive; the source package built again as a distribution
# builds it; and make dist signing with a throwaway certificate and OpenPGP
# key made here.
#   release_test.sh [REPORT.xml]        (minutes: three full builds)
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tests/tools/checks.sh" Release
work=$(mktemp -d "${TMPDIR:-/tmp}/quill-release.XXXXXX")
trap 'rm -rf "$work"' EXIT
version=$(sed -n 's/^set(QUILL_VERSION_TEXT \(.*\))$/\1/p' "$root/CMakeLists.txt")
debian_version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
deb=build/deb/quillantern_${debian_version}_${arch}.deb
dbgsym=build/deb/quillantern-dbgsym_${debian_version}_${arch}.deb
dsc=build/deb/quillantern_${debian_version}.dsc
orig=build/deb/quillantern_${version}.orig.tar.xz
zip=build/dist/Quillantern-${version}-win32.zip
msi=build/dist/Quillantern-${version}.msi
outputs=(build/native/quillantern build/win32/Quillantern.exe "$zip" "$msi" "$deb" "$dbgsym" "$dsc" "$orig"
         build/deb/quillantern_${debian_version}.debian.tar.xz)

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
/usr/share/doc/quillantern/changelog.Debian.gz
/usr/share/doc/quillantern/copyright
/usr/share/lintian/overrides/quillantern
/usr/share/man/man1/quillantern.1.gz
/usr/share/metainfo/org.quillantern.Quillantern.metainfo.xml
LIST
sort -o "$work/expected" "$work/expected"
check "the package holds exactly the program, its clipboard helper and its desktop files" diff -u "$work/expected" "$work/files"
check "the package's version is the program's, with a Debian revision" \
    test "$(dpkg-deb -f "$deb" Version)" == "$version-${debian_version##*-}" -a \
         "$(env -u DISPLAY "$x/usr/bin/quillantern" --version)" == "Quillantern $version"
check "the Qt dependency is computed from the binary" grep -q 'libqt6widgets6 (>=' <(dpkg-deb -f "$deb" Depends)
check "the binary is stripped, its symbols in the dbgsym package" \
    bash -c "file '$x/usr/bin/quillantern' | grep -q ', stripped' &&
             dpkg-deb -c '$dbgsym' | grep -c '/usr/lib/debug/.build-id/.*\.debug' >/dev/null"

# 3. lintian, on the binary and the source package: no error, no warning
# (pedantic tags are shown, not required).
for package in "$deb" "$dsc"; do
    lintian --pedantic -I "$package" >"$work/lintian" 2>&1
    cat "$work/lintian"
    check "lintian reports no error and no warning on $(basename "$package")" \
        bash -c "! grep -E '^[EW]: ' '$work/lintian'"
done

# 3b. The source package as a distribution takes it: the upstream tarball is
# the commit less debian/, and dpkg-source -x and dpkg-buildpackage -b of it,
# elsewhere and without the Makefile's settings, build the same packages.
check "the upstream tarball holds the commit's files but debian/" \
    diff <(git ls-tree -r --name-only HEAD | grep -v '^debian/' | sort) \
         <(tar -tJf "$orig" | grep -v '/$' | sed 's|^quillantern-[^/]*/||' | sort)
# (dpkg-source -x puts the tarballs beside the folder it extracts, and
# dpkg-buildpackage the packages.)
rebuild=$work/distribution/src
mkdir -p "$work/distribution"
if dpkg-source -x "$dsc" "$rebuild" >"$work/rebuild.log" 2>&1 &&
   (cd "$rebuild" && env -u SOURCE_DATE_EPOCH -u QT_RCC_SOURCE_DATE_OVERRIDE -u MAKEFLAGS \
        dpkg-buildpackage -b -us -uc -j"$(nproc)") >>"$work/rebuild.log" 2>&1; then
    rebuilt=true
else
    tail -n 30 "$work/rebuild.log"
    rebuilt=false
fi
check "dpkg-source -x and dpkg-buildpackage -b of the source package succeed" $rebuilt
for package in "$deb" "$dbgsym"; do
    check "the source package builds the same $(basename "$package")" \
        cmp "$package" "$work/distribution/$(basename "$package")"
done

# 4. AppStream: valid, and it launches the desktop entry the package holds.
metainfo=$x/usr/share/metainfo/org.quillantern.Quillantern.metainfo.xml
check "appstreamcli validates the metainfo" appstreamcli validate --no-net "$metainfo"
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
check "the metainfo launches the package's desktop entry" test -f "$x/usr/share/applications/$launchable"

# 5. Hardening: the packaged program and the one make builds.
for program in "$x/usr/bin/quillantern" "$x"/usr/libexec/quillantern/quillantern-clipboard-{x11,wayland} \
               build/native/quillantern build/native/quillantern-clipboard-{x11,wayland}; do
    hardening-check --nocfprotection "$program" | tee "$work/hardening"
    label=$program
    [[ $program == "$x"/* ]] && label="the package's ${program#"$x"/}"
    check "$label: PIE, stack protector, FORTIFY, full RELRO, BIND_NOW" \
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

# 8. A signed release, with a throwaway code-signing certificate and OpenPGP
# key made here (the key's gpg-agent stopped at the end). No network: the
# certificate names no revocation list, and the time-stamps come from a
# server on this machine's loopback, started here and stopped by its id.
keys=$work/keys
export GNUPGHOME=$keys/gnupg
mkdir -p "$GNUPGHOME" && chmod 700 "$keys" "$GNUPGHOME"
tsa=""
trap '[[ -n $tsa ]] && kill "$tsa" 2>/dev/null; gpgconf --kill all 2>/dev/null; rm -rf "$work"' EXIT
password="throwaway-$RANDOM$RANDOM"
printf '%s\n' "$password" >"$keys/password"
printf 'wrong-%s\n' "$password" >"$keys/wrong-password"
openssl req -x509 -newkey rsa:3072 -nodes -days 2 -subj "/CN=Quillantern release test" \
    -addext extendedKeyUsage=codeSigning -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null &&
    openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -passout "file:$keys/password" \
        -out "$keys/signer.p12"
gpg --batch --pinentry-mode loopback --passphrase '' \
    --quick-generate-key 'Quillantern release test <release-test@invalid>' ed25519 sign 1d 2>/dev/null
fingerprint=$(gpg --batch --with-colons --list-secret-keys | awk -F: '/^fpr:/ {print $10; exit}')
check "a throwaway certificate and OpenPGP key are made" test -s "$keys/signer.p12" -a -n "$fingerprint"
mkdir -p "$work/unsigned" && cp build/dist/* "$work/unsigned/"
export SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
signed_dist() {  # LOG SETTINGS...: make dist with those settings
    local log=$1; shift
    make BUILD=build dist "$@" >"$work/$log" 2>&1
}
zip_exe() {  # ZIP: the archive's Quillantern.exe, on standard output
    python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read("Quillantern.exe"))' "$1"
}
signed_dist signed.log QUILL_SIGN_PKCS12="$keys/signer.p12" QUILL_SIGN_PASSWORD_FILE="$keys/password" \
    QUILL_GPG_KEY="$fingerprint"
status=$?
cat "$work/signed.log"
check "make dist signs with the key and says so" \
    bash -c "[[ $status -eq 0 ]] && grep -q 'signed (Authenticode, SHA-256)' '$work/signed.log' &&
             grep -q 'signed in SHA256SUMS.asc by $fingerprint' '$work/signed.log'"
zip_exe "$zip" >"$work/signed.exe"
mkdir -p "$work/signed-msi" && (cd "$work/signed-msi" && msiextract "$a/$msi" >/dev/null)
for file in "$work/signed.exe" "$msi"; do
    osslsigncode verify -CAfile "$keys/cert.pem" -in "$file" >"$work/verify" 2>&1
    verified=$?
    check "osslsigncode verify accepts $(basename "$file") against the certificate" test $verified -eq 0
    check "$(basename "$file")'s signature names the product, with SHA-256, and no URL" \
        bash -c "grep -q 'Text description: Quillantern\$' '$work/verify' && grep -q 'SHA256' '$work/verify' &&
                 ! grep -qi 'URL description' '$work/verify'"
done
check "the installer holds the archive's signed exe" \
    cmp "$(find "$work/signed-msi" -name Quillantern.exe | head -n1)" "$work/signed.exe"
check "gpg --verify accepts SHA256SUMS.asc, and SHA256SUMS matches the signed files" \
    bash -c "gpg --batch --verify build/dist/SHA256SUMS.asc build/dist/SHA256SUMS 2>/dev/null &&
             cd build/dist && sha256sum --quiet -c SHA256SUMS"
# Without its signature, each is the unsigned build's file: the exe the one
# in the unsigned archive, the installer the one make-msi.py makes of the
# signed exe.
osslsigncode remove-signature -in "$work/signed.exe" -out "$work/stripped.exe" >/dev/null &&
    osslsigncode remove-signature -in "$msi" -out "$work/stripped.msi" >/dev/null
zip_exe "$work/unsigned/$(basename "$zip")" >"$work/unsigned.exe"
check "the exe without its signature is the unsigned build's, byte for byte" \
    bash -c "cmp '$work/stripped.exe' build/win32/Quillantern.exe && cmp '$work/stripped.exe' '$work/unsigned.exe'"
tools/make-msi.py "$work/unsigned-of-signed.msi" "$version" x86 "$work/signed.exe" LICENSE THIRD-PARTY-NOTICES.txt \
    win32/resources/quillantern.ico >/dev/null
check "the installer without its signature is the unsigned one made of the signed exe, byte for byte" \
    cmp "$work/stripped.msi" "$work/unsigned-of-signed.msi"

# A wrong password, an unreadable or wrong key: make dist fails, saying why,
# and the release already there stays as it was, with nothing left beside it.
(cd build/dist && sha256sum ./*) >"$work/release"
while IFS='|' read -r case expected settings; do
    eval "signed_dist failed.log $settings"
    status=$?
    check "$case: make dist fails, saying '$expected', and changes nothing" \
        bash -c "[[ $status -ne 0 ]] && grep -qF '$expected' '$work/failed.log' &&
                 diff '$work/release' <(cd build/dist && sha256sum ./*) && [[ -z \$(ls -A build/dist | grep -v '^[QS]') ]]"
    check "$case: make dist prints no password" bash -c "! grep -qF '$password' '$work/failed.log'"
done <<CASES
a wrong password|(a wrong password?)|QUILL_SIGN_PKCS12='$keys/signer.p12' QUILL_SIGN_PASSWORD_FILE='$keys/wrong-password'
a missing key|cannot read the signing key|QUILL_SIGN_PKCS12='$keys/missing.p12' QUILL_SIGN_PASSWORD_FILE='$keys/password'
a key that is no PKCS#12 file|is not a PKCS#12 file|QUILL_SIGN_PKCS12='$keys/cert.pem' QUILL_SIGN_PASSWORD_FILE='$keys/password'
a key without its password file|takes both|QUILL_SIGN_PKCS12='$keys/signer.p12'
an OpenPGP key gpg does not have|gpg has no secret key|QUILL_GPG_KEY=0123456789ABCDEF0123456789ABCDEF01234567
a time-stamp server that does not answer|no time-stamp from|QUILL_SIGN_PKCS12='$keys/signer.p12' QUILL_SIGN_PASSWORD_FILE='$keys/password' QUILL_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')/
CASES

# Time-stamped: an RFC 3161 server made of openssl ts, for at most 5 minutes.
mkdir -p "$keys/tsa" && cd "$keys/tsa" || exit 1
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quillantern test time-stamps" \
    -addext extendedKeyUsage=critical,timeStamping -keyout tsa.key -out tsa.pem 2>/dev/null
echo 01 >serial
printf '%s\n' '[tsa]' 'default_tsa = here' '[here]' 'serial = serial' 'signer_cert = tsa.pem' 'signer_key = tsa.key' \
    'signer_digest = sha256' 'default_policy = 1.2.3.4.1' 'digests = sha256' 'ess_cert_id_alg = sha256' >ts.cnf
timeout 300 python3 -c '
import http.server, subprocess
class Stamp(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", "ts.cnf", "-queryfile", "/dev/stdin",
                                "-out", "/dev/stdout"], input=query, capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
    def log_message(self, *arguments):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Stamp)
print(server.server_address[1], flush=True)
server.serve_forever()' >port &
tsa=$!
for _ in $(seq 50); do [[ -s port ]] && break; sleep 0.1; done
cd "$a" || exit 1
signed_dist stamped.log QUILL_SIGN_PKCS12="$keys/signer.p12" QUILL_SIGN_PASSWORD_FILE="$keys/password" \
    QUILL_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat "$keys/tsa/port")/"
check "make dist time-stamps the signatures when given a server" grep -q 'time-stamped by http://127.0.0.1' "$work/stamped.log"
zip_exe "$zip" >"$work/stamped.exe"
for file in "$work/stamped.exe" "$msi"; do
    check "$(basename "$file") carries a time-stamp from that server, which verifies" \
        bash -c "osslsigncode verify -CAfile '$keys/cert.pem' -TSA-CAfile '$keys/tsa/tsa.pem' -in '$file' 2>&1 |
                 grep -q 'Timestamp Server Signature verification: ok'"
done
kill "$tsa" 2>/dev/null
tsa=""

check "no password, private key or key file is left in build/ or printed" \
    bash -c "! grep -rqF '$password' build '$work/signed.log' '$work/stamped.log' && ! grep -rq 'PRIVATE KEY' build &&
             [[ -z \$(find build -type f -size $(stat -c %s "$keys/signer.p12")c -exec cmp -s '$keys/signer.p12' {} \\; -print) ]]"

# Unsigned again: the same bytes as the first unsigned release, no signature
# of the checksums beside them, and make dist says it did not sign.
signed_dist unsigned.log
check "make dist without a key says it did not sign, and writes the unsigned release again" \
    bash -c "grep -q 'not signed' '$work/unsigned.log' && test ! -e build/dist/SHA256SUMS.asc &&
             diff <(cd '$work/unsigned' && sha256sum ./*) <(cd build/dist && sha256sum ./*)"

finish "${1:-}"
