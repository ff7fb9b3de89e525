#!/usr/bin/env bash
# The Windows installer as a user meets it, under Wine in the test session's
# prefix: a silent install, its files, shortcut and Apps & features entry,
# the program started from the shortcut, a second install that changes
# nothing, a later version that replaces it in place, a silent removal that
# leaves nothing behind; then the installer of a signed release (make dist's
# signing, with a throwaway certificate made here), which installs the
# signed program.
#   installer_test.sh Quillantern.msi Quillantern.exe VERSION ARCH [REPORT.xml]
# (ARCH as tools/make-msi.py takes it, for the later version's package.)
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
if [[ -z ${DISPLAY:-} ]]; then
    exec "$root/tools/wine-run.sh" "$0" "$@"
fi
source "$root/tests/tools/checks.sh" Installer
report=${5:-}
if [[ ! -f $1 ]]; then
    check "the installer was built ($1; tools/install-deps.sh --msi installs msitools' wixl)" false
    finish "$report"; exit 1
fi
msi=$(realpath "$1") exe=$(realpath "$2") version=$3 arch=$4
work=$(mktemp -d)
program=""
later_msi=$work/later/Quillantern.msi
signed_msi=$work/signed/Quillantern-$version.msi

win() { timeout 120 wine "$@" 2>/dev/null | tr -d '\r'; }
unix_path() { win winepath.exe -u "$1"; }
msiexec() { timeout 300 wine msiexec.exe "$@" >/dev/null 2>&1; }
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }

product=$(product_code "$msi")
folder_w="$(win cmd.exe /c echo '%LOCALAPPDATA%')\\Programs\\Quillantern"
folder=$(unix_path "$folder_w")
shortcut="$(unix_path "$(win cmd.exe /c echo '%APPDATA%')")/Microsoft/Windows/Start Menu/Programs/Quillantern.lnk"

cleanup() {
    [[ -n $program ]] && kill -TERM "$program" 2>/dev/null
    # Whatever a failed case left installed goes, for the tests after this one.
    [[ -f $later_msi ]] && msiexec /x "$later_msi" /qn
    [[ -f $signed_msi ]] && msiexec /x "$signed_msi" /qn
    msiexec /x "$msi" /qn
    rm -rf "$work"
}
trap cleanup EXIT

# The Apps & features entry: Wine keeps it under HKLM even for a per-user
# product (Windows under HKCU); either counts.
uninstall_entry() {  # PRODUCT-CODE: "Name=Value" lines
    local hive
    for hive in HKCU HKLM; do
        win reg.exe query "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" |
            sed -n 's/^    \([A-Za-z]*\)    REG_[A-Z_]*    \(.*\)$/\1=\2/p'
    done
}
entries() {  # how many Apps & features entries are named Quillantern
    local hive count=0
    for hive in HKCU HKLM; do
        count=$((count + $(win reg.exe query "$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall" /s |
                           grep -c '^    DisplayName    REG_SZ    Quillantern$')))
    done
    echo "$count"
}
value() { sed -n "s/^$1=//p" <<<"$2" | head -n1; }
# The program icon Windows Installer keeps for the entry: DisplayIcon on
# Windows, the product's ProductIcon under Wine (a user's or the machine's
# product key: Wine's user is an administrator).
product_icon() {
    local icon key
    icon=$(value DisplayIcon "$(uninstall_entry "$product")")
    for key in 'HKCU\Software\Microsoft\Installer\Products' 'HKLM\Software\Classes\Installer\Products'; do
        [[ -n $icon ]] || icon=$(win reg.exe query "$key" /s |
                                 sed -n 's/^    ProductIcon    REG_SZ    //p' | grep -F "$product" | head -n1)
    done
    [[ -n $icon ]] && unix_path "$icon"
}
state() {  # what an install leaves: files and their sums, the shortcut's target, the entries
    (cd "$folder" 2>/dev/null && sha256sum -- *)
    [[ -f $shortcut ]] && read_shortcut "$shortcut"
    entries
}
# A shell link's target, working folder and icon (the binary .lnk format).
read_shortcut() {
    python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
flags = struct.unpack_from("<I", data, 20)[0]
at = 76
if flags & 0x1:  # an item list first
    at += 2 + struct.unpack_from("<H", data, at)[0]
target = ""
if flags & 0x2:  # the target's path
    size, _, info_flags, _, base = struct.unpack_from("<IIIII", data, at)
    if info_flags & 1:
        target = data[at + base:data.index(b"\0", at + base)].decode("latin-1")
    at += size
texts = {}
for bit, name in ((0x4, "name"), (0x8, "relative"), (0x10, "folder"), (0x20, "arguments"), (0x40, "icon")):
    if flags & bit:
        count = struct.unpack_from("<H", data, at)[0]
        width = 2 if flags & 0x80 else 1
        texts[name] = data[at + 2:at + 2 + width * count].decode("utf-16-le" if width == 2 else "latin-1")
        at += 2 + width * count
print(f"target={target}")
print(f"folder={texts.get('folder', '')}")
print(f"icon={texts.get('icon', '')}")
PY
}
window_up() { xwininfo -root -tree 2>/dev/null | grep -q '"Quillantern": '; }
wait_for() {  # TENTHS CONDITION...: bounded
    local tenths=$1; shift
    for _ in $(seq "$tenths"); do "$@" && return 0; sleep 0.1; done
    "$@"
}

# 0. A clean start: nothing of an earlier, interrupted run.
msiexec /x "$msi" /qn
check "nothing is installed before the test" test ! -e "$folder" -a ! -e "$shortcut" -a "$(entries)" -eq 0

# 1. A silent install as the user.
msi_w=$(win winepath.exe -w "$msi")
check "msiexec /i Quillantern-$version.msi /qn succeeds" msiexec /i "$msi_w" /qn
check "the program, licence and notices, and only they, are in %LOCALAPPDATA%\\Programs\\Quillantern" \
    test "$(ls "$folder" 2>/dev/null | tr '\n' ' ')" == "LICENSE Quillantern.exe THIRD-PARTY-NOTICES.txt "
check "the installed program is the built one, byte for byte" cmp -s "$exe" "$folder/Quillantern.exe"

link=$(read_shortcut "$shortcut" 2>/dev/null)
target=$(value target "$link")
check "the Start-menu shortcut Quillantern starts the installed program, in its folder, with its icon" \
    test "$target" == "$folder_w\\Quillantern.exe" -a "$(value folder "$link")" == "$folder_w\\" -a \
         -f "$(unix_path "$(value icon "$link")")"
entry=$(uninstall_entry "$product")
check "Apps & features lists Quillantern $version by the Quillantern authors, with an uninstall command" \
    test "$(value DisplayName "$entry")|$(value DisplayVersion "$entry")|$(value Publisher "$entry")|$(value UninstallString "$entry")" \
         == "Quillantern|$version|the Quillantern authors|MsiExec.exe /X$product"
icon=$(product_icon)
check "the entry has the program's icon" cmp -s "$root/win32/resources/quillantern.ico" "${icon:-/nonexistent}"
echo "$entry"

# 2. The installed program starts from the shortcut's target.
if [[ -n $target ]]; then
    wine "$target" >/dev/null 2>&1 &
    program=$!
fi
check "the program started from the shortcut's target shows its window" wait_for 600 window_up
[[ -n $program ]] && kill -TERM "$program" 2>/dev/null
wait_for 100 gone "${program:-0}"
program=""
check "its window closes" wait_for 100 bash -c "! xwininfo -root -tree 2>/dev/null | grep -q '\"Quillantern\": '"

# 3. Installing it again changes nothing.
before=$(state)
check "a second install succeeds" msiexec /i "$msi_w" /qn
check "a second install changes nothing (one copy, one entry)" test "$(state)" == "$before" -a "$(entries)" -eq 1

# 4. A later version replaces it in place.
later=$(python3 -c 'import sys; major, minor = sys.argv[1].split("."); print(f"{major}.{int(minor) + 1:0{len(minor)}d}")' "$version")
"$root/tools/make-msi.py" "$later_msi" "$later" "$arch" "$exe" "$root/LICENSE" "$root/THIRD-PARTY-NOTICES.txt" \
    "$root/win32/resources/quillantern.ico" >/dev/null
check "version $later installs over $version" msiexec /i "$(win winepath.exe -w "$later_msi")" /qn
later_entry=$(uninstall_entry "$(product_code "$later_msi")")
check "after the upgrade: one entry, of version $later, and one copy" \
    test "$(entries)" -eq 1 -a "$(value DisplayVersion "$later_entry")" == "$later" -a -z "$(uninstall_entry "$product")" -a \
         "$(ls "$folder" 2>/dev/null | tr '\n' ' ')" == "LICENSE Quillantern.exe THIRD-PARTY-NOTICES.txt "

# 5. A silent removal leaves nothing behind.
check "msiexec /x /qn succeeds" msiexec /x "$(win winepath.exe -w "$later_msi")" /qn
check "the removal leaves no file, folder, shortcut or Apps & features entry" \
    test ! -e "$folder" -a ! -e "$shortcut" -a "$(entries)" -eq 0

# 6. The signed release's installer: it installs the signed program, the
# same one as the signed archive's, which is this build's program plus its
# signature; it removes as cleanly.
keys=$work/keys
mkdir -p "$keys" && chmod 700 "$keys" && printf 'installer-test\n' >"$keys/password"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quillantern installer test" \
    -addext extendedKeyUsage=codeSigning -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null &&
    openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -passout "file:$keys/password" \
        -out "$keys/signer.p12"
QUILL_SIGN_PKCS12=$keys/signer.p12 QUILL_SIGN_PASSWORD_FILE=$keys/password \
    "$root/tools/make-dist.py" "$work/signed" "$version" "$exe" "$root/LICENSE" "$root/THIRD-PARTY-NOTICES.txt" \
    --installer "$arch" "$root/LICENSE" "$root/THIRD-PARTY-NOTICES.txt" "$root/win32/resources/quillantern.ico" \
    >"$work/signing.log" 2>&1 || cat "$work/signing.log"
check "make dist's signing signs the installer of this build's program" \
    bash -c "osslsigncode verify -CAfile '$keys/cert.pem' -in '$signed_msi' >/dev/null 2>&1"
python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read("Quillantern.exe"))' \
    "$work/signed/Quillantern-$version-win32.zip" >"$work/signed.exe"
check "the signed installer installs silently" msiexec /i "$(win winepath.exe -w "$signed_msi")" /qn
osslsigncode remove-signature -in "$folder/Quillantern.exe" -out "$work/installed-unsigned.exe" >/dev/null 2>&1
check "it installs the signed archive's program, which less its signature is this build's" \
    bash -c "cmp -s '$work/signed.exe' '$folder/Quillantern.exe' && cmp -s '$exe' '$work/installed-unsigned.exe'"
check "the signed installer removes silently" msiexec /x "$(win winepath.exe -w "$signed_msi")" /qn
check "after that removal: no file, folder, shortcut or Apps & features entry" \
    test ! -e "$folder" -a ! -e "$shortcut" -a "$(entries)" -eq 0

finish "$report"
