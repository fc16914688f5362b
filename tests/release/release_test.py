"""scripts/release.sh as administrators use it: two copies of the sources in different folders,
built days apart, give the same bytes; the exe signs with a throwaway certificate made here and
verifies; a wrong password or a certificate not meant for code signing leaves dist/ as it was."""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent.parent
FAKETIME_LIB = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"


def copy_sources(destination):
    """The checkout's own files, as a clean clone of it would have them (uncommitted edits too)."""
    files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT, check=True,
                           capture_output=True).stdout.decode().split("\0")
    for name in filter(None, files):
        source = ROOT / name
        if source.is_file():
            (destination / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(source, destination / name)


def release(checkout, *arguments, days_later=0, expect_ok=True):
    env = dict(os.environ)
    if days_later:
        env.update(LD_PRELOAD=FAKETIME_LIB, FAKETIME=f"+{days_later}d", FAKETIME_DONT_RESET="1")
    result = subprocess.run(["bash", "scripts/release.sh", *map(str, arguments)], cwd=checkout, env=env,
                            capture_output=True, text=True, timeout=900)
    if expect_ok and result.returncode != 0:
        raise AssertionError(f"release.sh {arguments} exited {result.returncode}:\n{result.stdout}\n{result.stderr}")
    return result


def digest(path):
    return hashlib.sha256(path.read_bytes()).hexdigest()


def make_certificate(folder, usage, password):
    """A throwaway self-signed certificate and key in a PKCS#12 file, never kept."""
    key, cert, pfx, secret = folder / "key.pem", folder / "cert.pem", folder / f"{usage}.pfx", folder / "password"
    secret.write_text(password + "\n")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-keyout", key, "-out", cert, "-days", "2",
                    "-nodes", "-subj", "/CN=QuilletSetup test signing", "-addext", f"extendedKeyUsage={usage}"],
                   check=True, capture_output=True)
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx,
                    "-passout", f"file:{secret}"], check=True, capture_output=True)
    return pfx, secret, cert


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--work", required=True)
    options = parser.parse_args()
    work = Path(options.work).resolve() / f"release-{os.getpid()}"
    shutil.rmtree(work, ignore_errors=True)
    first, second = work / "first" / "QuilletSetup", work / "elsewhere" / "a" / "copy-2"
    try:
        for checkout in (first, second):
            checkout.mkdir(parents=True)
            copy_sources(checkout)
        one = release(first)
        two = release(second, days_later=3)
        print(one.stdout.strip())
        built = [digest(checkout / "dist" / "QuilletSetup.exe") for checkout in (first, second)]
        print(f"two folders, three days apart: {built[0]} and {built[1]}")
        assert built[0] == built[1], "the release is not reproducible"
        sums = (first / "dist" / "SHA256SUMS").read_text()
        assert sums == f"{built[0]}  QuilletSetup.exe\n", sums
        assert str(first) not in (first / "dist" / "QuilletSetup.exe").read_bytes().decode("latin-1")

        keys = work / "keys"
        keys.mkdir()
        pfx, secret, cert = make_certificate(keys, "codeSigning", "correct horse")
        signed = release(first, "--sign", pfx, "--password-file", secret)
        print(signed.stdout.strip())
        exe = first / "dist" / "QuilletSetup.exe"
        verify = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", exe], capture_output=True,
                                text=True)
        print(verify.stdout.strip())
        assert verify.returncode == 0 and "Signature verification: ok" in verify.stdout, verify.stdout
        assert (first / "dist" / "SHA256SUMS").read_text() == f"{digest(exe)}  QuilletSetup.exe\n"
        assert digest(exe) != built[0], "the exe was signed"

        before = {path.name: path.read_bytes() for path in (first / "dist").iterdir()}
        wrong = keys / "wrong"
        wrong.write_text("not the password\n")
        server_keys = work / "server-keys"
        server_keys.mkdir()
        server_pfx, server_secret, _ = make_certificate(server_keys, "serverAuth", "correct horse")
        for arguments, said in (((pfx, wrong), "does not open with the password"),
                                ((server_pfx, server_secret), "is not for code signing")):
            refused = release(first, "--sign", arguments[0], "--password-file", arguments[1], expect_ok=False)
            print(f"refused: {refused.stderr.strip()}")
            assert refused.returncode != 0 and said in refused.stderr, refused.stderr
            after = {path.name: path.read_bytes() for path in (first / "dist").iterdir()}
            assert after == before, "dist/ changed"
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("release: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
