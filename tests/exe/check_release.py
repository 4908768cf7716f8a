#!/usr/bin/env python3
"""scripts/release as a shipper runs it, unsigned and then signed with a throwaway key.

    check_release.py SOURCE_DIR WORK_DIR PXUNINS.EXE INSTALLER_DIR

Makes a certificate authority and a code-signing certificate of its own with openssl in WORK_DIR/ca (never
in the tree), and checks:
  - with no key: the release says it is unsigned (manifest and last line), and its four files are byte for
    byte the ones the presets built (PXUNINS.EXE, INSTALLER_DIR/plexitone-setup*.exe), which the release
    built again in folders of its own from the same commit;
  - with the key: each file verifies with osslsigncode against that authority, and a copy with one byte
    changed is refused; SHA256SUMS and the manifest name each file's size and hash and the signer; each
    file's version resource shows the version of fixed_names.h that its name carries; the uninstaller the
    presets built, signed again with the same key and SOURCE_DATE_EPOCH, is the release's byte for byte.
WORK_DIR/dist keeps the signed release, WORK_DIR/ca/ca.der the authority, and WORK_DIR/changed.exe the
changed copy of the uninstaller, for the Wine rows that run the signed uninstaller and verify it there.
"""

import hashlib
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
import version_info  # noqa: E402
from pxwine import fixed_names as names  # noqa: E402

SETUPS = ("plexitone-setup", "plexitone-setup-unicode", "plexitone-setup-ja")
PASSWORD = "throwaway"
CA_CONFIG = """[req]
distinguished_name = dn
prompt = no
[dn]
CN = Plexitone Test Authority
[authority]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
"""
SIGNER = "/CN=Morvaine test signer/O=" + names.MAKER_NAME


def run(command, **options):
    return subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, text=True, **options)


def make_authority(folder):
    """ca.pem/ca.der, and signer.p12 (certificate, chain and key) under PASSWORD."""
    os.makedirs(folder)
    config = os.path.join(folder, "ca.cnf")
    with open(config, "w") as stream:
        stream.write(CA_CONFIG)
    at = lambda name: os.path.join(folder, name)  # noqa: E731
    for command in (
            ["openssl", "req", "-x509", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", at("ca.key"),
             "-out", at("ca.pem"), "-days", "30", "-config", config, "-extensions", "authority"],
            ["openssl", "req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", at("signer.key"),
             "-out", at("signer.csr"), "-subj", SIGNER],
            ["openssl", "x509", "-req", "-in", at("signer.csr"), "-CA", at("ca.pem"), "-CAkey", at("ca.key"),
             "-set_serial", "2", "-days", "30", "-extfile", config, "-extensions", "signer", "-out",
             at("signer.pem")],
            ["openssl", "pkcs12", "-export", "-inkey", at("signer.key"), "-in", at("signer.pem"), "-certfile",
             at("ca.pem"), "-out", at("signer.p12"), "-passout", "pass:" + PASSWORD],
            ["openssl", "x509", "-in", at("ca.pem"), "-outform", "der", "-out", at("ca.der")]):
        result = run(command)
        if result.returncode != 0:
            raise RuntimeError("%s: %s" % (" ".join(command[:2]), result.stderr))


def release(source, out, environment):
    result = run([os.path.join(source, "scripts", "release"), "--out", out], cwd=source, env=environment)
    lines = result.stdout.strip().splitlines()
    print("scripts/release --out %s: exit %d; %s" % (out, result.returncode, lines[-1] if lines else ""))
    if result.returncode != 0:
        print(result.stdout[-3000:], result.stderr[-3000:])
    return result.returncode, lines


def release_files():
    return ["pxunins-%s.exe" % names.VERSION_TEXT] + ["%s-%s.exe" % (setup, names.VERSION_TEXT) for setup in SETUPS]


def verify(path, authority):
    result = run(["osslsigncode", "verify", "-CAfile", authority, "-in", path])
    return result.returncode == 0 and "Signature verification: ok" in result.stdout, result.stdout


def main(argv):
    source, work, exe, installers = argv[1:5]
    failures = []
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    authority = os.path.join(work, "ca")
    make_authority(authority)
    unsigned = {key: value for key, value in os.environ.items() if not key.startswith("PX_SIGN_")}
    commit_time = run(["git", "log", "-1", "--format=%ct"], cwd=source).stdout.strip()
    unsigned["SOURCE_DATE_EPOCH"] = commit_time

    # Unsigned: what the presets built, made again in the release's own folders.
    dist = os.path.join(work, "dist-unsigned")
    code, lines = release(source, dist, unsigned)
    if code != 0 or not lines or "UNSIGNED" not in lines[-1]:
        failures.append("the release with no key does not end saying it is unsigned: exit %d, %r"
                        % (code, lines[-1:]))
    with open(os.path.join(dist, "MANIFEST.txt")) as stream:
        if "signed: no" not in stream.read():
            failures.append("the unsigned release's manifest does not say it is unsigned")
    built = [exe] + [os.path.join(installers, setup + ".exe") for setup in SETUPS]
    for name, preset in zip(release_files(), built):
        with open(os.path.join(dist, name), "rb") as ours, open(preset, "rb") as theirs:
            same = ours.read() == theirs.read()
        print("%s %s %s" % (name, "is byte for byte" if same else "DIFFERS from", preset))
        if not same:
            failures.append("%s differs from what the preset built, %s" % (name, preset))

    # Signed with the throwaway key.
    signed = dict(unsigned, PX_SIGN_PKCS12=os.path.join(authority, "signer.p12"), PX_SIGN_PASSWORD=PASSWORD)
    dist = os.path.join(work, "dist")
    code, lines = release(source, dist, signed)
    if code != 0 or not lines or not lines[-1].endswith("signed by " + SIGNER):
        failures.append("the signed release does not end naming its signer: exit %d, %r" % (code, lines[-1:]))
    listed = sorted(os.listdir(dist))
    if listed != sorted(release_files() + ["SHA256SUMS", "MANIFEST.txt"]):
        failures.append("dist holds %s" % listed)
    with open(os.path.join(dist, "MANIFEST.txt")) as stream:
        manifest = stream.read()
    commit = run(["git", "rev-parse", "HEAD"], cwd=source).stdout.strip()
    if not manifest.startswith("Plexitone %s\ncommit: %s" % (names.VERSION_TEXT, commit)):
        failures.append("the manifest does not open with the version and the commit:\n" + manifest[:200])
    sums = run(["sha256sum", "-c", "SHA256SUMS"], cwd=dist)
    if sums.returncode != 0:
        failures.append("sha256sum -c SHA256SUMS: " + sums.stdout + sums.stderr)
    for name in release_files():
        path = os.path.join(dist, name)
        with open(path, "rb") as stream:
            data = stream.read()
        line = "%s %d  %s  signed by %s" % (name, len(data), hashlib.sha256(data).hexdigest(), SIGNER)
        if not re.search(re.escape(name) + r" +" + re.escape(line[len(name) + 1:]), manifest):
            failures.append("the manifest has no line %r" % line)
        strings = version_info.read(data)[1]
        shown = (strings.get("FileVersion"), strings.get("ProductVersion"), strings.get("CompanyName"))
        if shown != (names.VERSION_TEXT, names.VERSION_TEXT, names.MAKER_NAME):
            failures.append("%s shows file version, product version and maker %r, not %s and %s"
                            % (name, shown, names.VERSION_TEXT, names.MAKER_NAME))
        good, report = verify(path, os.path.join(authority, "ca.pem"))
        changed = bytearray(data)
        changed[len(data) // 3] ^= 0x01
        copy = os.path.join(work, "changed-" + name)
        with open(copy, "wb") as stream:
            stream.write(changed)
        refused = not verify(copy, os.path.join(authority, "ca.pem"))[0]
        print("osslsigncode verify %s: %s; one byte changed: %s; %d bytes, %s %s"
              % (name, "ok" if good else "FAILED", "refused" if refused else "ACCEPTED", len(data),
                 strings.get("FileDescription"), strings.get("FileVersion")))
        if not good:
            failures.append("osslsigncode does not verify %s:\n%s" % (name, report[-1500:]))
        if not refused:
            failures.append("osslsigncode accepts %s with one byte changed" % name)
    os.replace(os.path.join(work, "changed-" + release_files()[0]), os.path.join(work, "changed.exe"))

    # The same key and time sign the same bytes the same way.
    again = os.path.join(work, "signed-again.exe")
    shutil.copyfile(exe, again)
    with open(exe, "rb") as stream:
        description = version_info.read(stream.read())[1].get("FileDescription", "")
    result = run([os.path.join(source, "tools", "sign.sh"), description, names.HOME_PAGE_URL, again], env=signed)
    with open(again, "rb") as ours, open(os.path.join(dist, release_files()[0]), "rb") as theirs:
        if result.returncode != 0 or ours.read() != theirs.read():
            failures.append("the preset's uninstaller signed again with the same key and time is not the "
                            "release's: %s" % result.stderr)

    for failure in failures:
        print("FAIL " + failure)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
