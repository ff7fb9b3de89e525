#!/usr/bin/env python3
"""Writes the Windows release: the archive, the installer and their
SHA256SUMS, the same bytes for the same inputs (the archive's members sorted,
dated SOURCE_DATE_EPOCH, with fixed permissions).
  make-dist.py OUTDIR VERSION Quillantern.exe FILE... --installer ARCH LICENSE THIRD-PARTY-NOTICES.txt ICON
The archive holds Quillantern.exe and the FILEs; the installer is made by
tools/make-msi.py from the same Quillantern.exe and the files after ARCH.

Signing, each part only when its settings are given (in the environment):
  QUILL_SIGN_PKCS12=FILE QUILL_SIGN_PASSWORD_FILE=FILE
      Authenticode, SHA-256, with osslsigncode: Quillantern.exe before it goes
      into the archive and the installer, then the installer.
  QUILL_SIGN_TIMESTAMP_URL=URL
      an RFC 3161 time-stamp from URL on both signatures (without it, signing
      uses no network).
  QUILL_GPG_KEY=FINGERPRINT
      SHA256SUMS.asc, a detached OpenPGP signature of SHA256SUMS, with gpg.
Every file is made in a staging folder inside OUTDIR, and moved into OUTDIR
only once all of them are: a failure leaves OUTDIR as it was. Each signed
file is checked to give back the unsigned bytes with its signature removed.
"""
import filecmp
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
PRODUCT = "Quillantern"


class Failure(Exception):
    pass


def setting(name):
    return os.environ.get(name, "").strip()


def run(command, what):
    try:
        return subprocess.run(command, capture_output=True, text=True, stdin=subprocess.DEVNULL)
    except FileNotFoundError:
        raise Failure(f"{command[0]} is missing, needed to {what} (tools/install-deps.sh --sign installs it)")


class Authenticode:
    """osslsigncode with the release's key: the product's name and, while
    the project has no public address, no URL."""

    def __init__(self, key, password_file, timestamp_url):
        for path, what in ((key, "the signing key (QUILL_SIGN_PKCS12)"),
                           (password_file, "the key's password file (QUILL_SIGN_PASSWORD_FILE)")):
            try:
                with open(path, "rb"):
                    pass
            except OSError as error:
                raise Failure(f"cannot read {what}, {path}: {error.strerror}")
        self.key, self.password_file, self.timestamp_url = key, password_file, timestamp_url

    def sign(self, source, target):
        name = os.path.basename(source)
        command = ["osslsigncode", "sign", "-pkcs12", self.key, "-readpass", self.password_file,
                   "-h", "sha256", "-n", PRODUCT]
        if self.timestamp_url:
            command += ["-ts", self.timestamp_url]
        signing = run(command + ["-in", source, "-out", target], f"sign {name}")
        if signing.returncode != 0 or not os.path.isfile(target):
            said = signing.stdout + signing.stderr
            if "Failed to parse PKCS#12" in said:
                raise Failure(f"cannot open the signing key {self.key} with the password in {self.password_file} "
                              "(a wrong password?)")
            if "Failed to extract PKCS#12" in said:
                raise Failure(f"the signing key {self.key} is not a PKCS#12 file")
            if "timestamping failed" in said:
                raise Failure(f"signing {name}: no time-stamp from {self.timestamp_url}:\n{said.strip()}")
            raise Failure(f"osslsigncode could not sign {name}:\n{said.strip()}")
        # The promise of the release notes, kept before anything ships.
        check = target + ".unsigned"
        removal = run(["osslsigncode", "remove-signature", "-in", target, "-out", check], f"check {name}")
        if removal.returncode != 0 or not filecmp.cmp(check, source, shallow=False):
            raise Failure(f"{name} signed does not give back the unsigned file with its signature removed")
        os.remove(check)


class OpenPGP:
    def __init__(self, fingerprint):
        self.fingerprint = re.sub(r"\s", "", fingerprint).upper()
        if not re.fullmatch(r"[0-9A-F]{40}|[0-9A-F]{64}", self.fingerprint):
            raise Failure(f"QUILL_GPG_KEY is not a key's fingerprint (40 hexadecimal digits, as "
                          f"gpg --list-secret-keys shows it): {fingerprint}")
        listing = run(["gpg", "--batch", "--with-colons", "--list-secret-keys", "--", self.fingerprint],
                      "sign SHA256SUMS")
        if listing.returncode != 0 or not re.search(r"^sec:", listing.stdout, re.M):
            raise Failure(f"gpg has no secret key {self.fingerprint} (in {os.environ.get('GNUPGHOME', '~/.gnupg')})")

    def sign(self, path, target):
        signing = run(["gpg", "--batch", "--local-user", self.fingerprint, "--armor", "--detach-sign",
                       "--output", target, "--", path], "sign SHA256SUMS")
        if signing.returncode != 0 or not os.path.isfile(target):
            raise Failure(f"gpg could not sign {os.path.basename(path)} with {self.fingerprint}:\n"
                          f"{signing.stderr.strip()}")
        check = run(["gpg", "--batch", "--status-fd", "1", "--verify", "--", target, path], "check SHA256SUMS.asc")
        valid = re.findall(r"^\[GNUPG:\] VALIDSIG ([0-9A-F]+) .* ([0-9A-F]+)$", check.stdout, re.M)
        if check.returncode != 0 or not any(self.fingerprint in pair for pair in valid):
            raise Failure(f"the signature of {os.path.basename(path)} does not verify with {self.fingerprint}:\n"
                          f"{check.stderr.strip()}")


def sha256(path):
    with open(path, "rb") as data:
        return hashlib.sha256(data.read()).hexdigest()


def make_archive(path, members):
    # Zip dates start in 1980; without SOURCE_DATE_EPOCH, that first day.
    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH") or 0), 315532800)
    date = time.gmtime(epoch)[:6]
    with zipfile.ZipFile(path, "w") as zip_file:
        for member in sorted(members, key=os.path.basename):
            info = zipfile.ZipInfo(os.path.basename(member), date_time=date)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that the permissions below count
            info.external_attr = (0o100755 if member.endswith(".exe") else 0o100644) << 16
            with open(member, "rb") as source:
                zip_file.writestr(info, source.read(), compresslevel=9)


def release(out_dir, version, exe, files, arch, installer_files):
    key, password_file = setting("QUILL_SIGN_PKCS12"), setting("QUILL_SIGN_PASSWORD_FILE")
    timestamp_url, gpg_key = setting("QUILL_SIGN_TIMESTAMP_URL"), setting("QUILL_GPG_KEY")
    if bool(key) != bool(password_file):
        raise Failure("signing takes both QUILL_SIGN_PKCS12=FILE and QUILL_SIGN_PASSWORD_FILE=FILE")
    if timestamp_url and not key:
        raise Failure("QUILL_SIGN_TIMESTAMP_URL is given without a signing key (QUILL_SIGN_PKCS12)")
    authenticode = Authenticode(key, password_file, timestamp_url) if key else None
    openpgp = OpenPGP(gpg_key) if gpg_key else None

    os.makedirs(out_dir, exist_ok=True)
    stage = tempfile.mkdtemp(prefix=".stage-", dir=out_dir)
    try:
        staged_exe = os.path.join(stage, "Quillantern.exe")
        if authenticode:
            authenticode.sign(exe, staged_exe)
        else:
            shutil.copyfile(exe, staged_exe)

        msi_name = f"Quillantern-{version}.msi"
        built_msi = os.path.join(stage, "built", msi_name)
        staged_msi = os.path.join(stage, msi_name)
        making = subprocess.run([sys.executable, os.path.join(HERE, "make-msi.py"), built_msi, version, arch,
                                 staged_exe, *installer_files], stdin=subprocess.DEVNULL, capture_output=True, text=True)
        if making.returncode != 0:
            raise Failure(f"the installer was not made:\n{making.stderr.strip()}")
        if authenticode:
            authenticode.sign(built_msi, staged_msi)
        else:
            os.replace(built_msi, staged_msi)

        zip_name = f"Quillantern-{version}-win32.zip"
        staged_zip = os.path.join(stage, zip_name)
        make_archive(staged_zip, [staged_exe] + files)
        sums = [(sha256(path), os.path.basename(path)) for path in (staged_zip, staged_msi)]
        staged_sums = os.path.join(stage, "SHA256SUMS")
        with open(staged_sums, "w", encoding="ascii") as listing:
            listing.writelines(f"{digest}  {name}\n" for digest, name in sums)
        if openpgp:
            openpgp.sign(staged_sums, staged_sums + ".asc")

        # Into place: never an earlier signature beside a new SHA256SUMS.
        asc = os.path.join(out_dir, "SHA256SUMS.asc")
        if os.path.exists(asc):
            os.remove(asc)
        for name in [zip_name, msi_name, "SHA256SUMS"] + (["SHA256SUMS.asc"] if openpgp else []):
            os.replace(os.path.join(stage, name), os.path.join(out_dir, name))
        exe_sum = sha256(staged_exe)
    finally:
        shutil.rmtree(stage, ignore_errors=True)

    print(making.stdout.strip().replace(built_msi, os.path.join(out_dir, msi_name)) +
          (" (before its signature)" if authenticode else ""))
    archive = os.path.join(out_dir, zip_name)
    print(f"{archive}:")
    with zipfile.ZipFile(archive) as zip_file:
        for info in zip_file.infolist():
            print(f"  {info.file_size:>8}  {info.filename}")
    print(f"sha256 {sums[0][0]}  {zip_name}\nsha256 {exe_sum}  Quillantern.exe\nsha256 {sums[1][0]}  {msi_name}")
    if authenticode:
        stamp = f"time-stamped by {timestamp_url}" if timestamp_url else "not time-stamped"
        print(f"Quillantern.exe and {msi_name}: signed (Authenticode, SHA-256) with {key}, {stamp}")
    else:
        print(f"Quillantern.exe and {msi_name}: not signed (no QUILL_SIGN_PKCS12=FILE QUILL_SIGN_PASSWORD_FILE=FILE)")
    if openpgp:
        print(f"{os.path.join(out_dir, 'SHA256SUMS')} written, signed in SHA256SUMS.asc by {openpgp.fingerprint}")
    else:
        print(f"{os.path.join(out_dir, 'SHA256SUMS')} written, not signed (no QUILL_GPG_KEY=FINGERPRINT)")


def main():
    arguments = sys.argv[1:]
    at = arguments.index("--installer") if "--installer" in arguments else 0
    if at < 3 or len(arguments) != at + 5 or arguments[at + 1] not in ("x86", "x64"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    (out_dir, version, exe, *files), (arch, *installer_files) = arguments[:at], arguments[at + 1:]
    for path in [exe] + files + installer_files:
        if not os.path.isfile(path):
            print(f"make-dist: {path} is missing", file=sys.stderr)
            return 1
    # A stop by a signal still removes the staging folder.
    for stop in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(stop, lambda number, frame: sys.exit(128 + number))
    try:
        release(out_dir, version, exe, files, arch, installer_files)
    except Failure as failure:
        print(f"make-dist: {failure}", file=sys.stderr)
        print(f"make-dist: nothing in {out_dir} was changed", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
