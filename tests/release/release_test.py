"""scripts/release.sh as administrators use it: two checkouts of the same commit in different
folders, built days apart, give the same exe and the same Windows Installer package, whose tables
hold what deployment relies on; a working tree with uncommitted changes is refused; the exe and the
package sign with a throwaway certificate made here and verify against its thumbprint; a wrong
password or a certificate not meant for code signing leaves dist/ as it was."""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent.parent


def copy_sources(destination):
    """The checkout's own files (uncommitted edits too), committed the same way in each copy, so
    that both are checkouts of one and the same commit."""
    files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT, check=True,
                           capture_output=True).stdout.decode().split("\0")
    for name in filter(None, files):
        source = ROOT / name
        if source.is_file():
            (destination / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(source, destination / name)
    env = dict(os.environ, GIT_AUTHOR_DATE="2026-12-01T09:00:00Z", GIT_COMMITTER_DATE="2026-12-01T09:00:00Z",
               GIT_AUTHOR_NAME="Release", GIT_AUTHOR_EMAIL="release@example.org",
               GIT_COMMITTER_NAME="Release", GIT_COMMITTER_EMAIL="release@example.org")
    for command in (["init", "-q"], ["add", "-A"], ["-c", "commit.gpgsign=false", "commit", "-q", "-m", "release"]):
        subprocess.run(["git", *command], cwd=destination, env=env, check=True, capture_output=True)


def table(msi, name):
    """A table of the package as rows of columns, without its three header lines."""
    exported = subprocess.run(["msiinfo", "export", msi, name], check=True, capture_output=True,
                              text=True).stdout
    return [line.split("\t") for line in exported.splitlines()[3:]]


def check_package(msi):
    """What deployment relies on, read from the built package's tables."""
    summary = subprocess.run(["msiinfo", "suminfo", msi], check=True, capture_output=True, text=True).stdout
    assert "Template: Intel;1033" in summary, summary  # a 32-bit package
    assert "Created: Tue Dec  1 09:00:00 2026" in summary, summary  # the commit's time
    properties = dict(table(msi, "Property"))
    assert properties["ALLUSERS"] == "1" and properties["ARPNOMODIFY"] == "1", properties
    assert properties["ProductVersion"] == "1.0.0", properties
    actions = {row[0]: row for row in table(msi, "CustomAction")}
    sequence = {row[0]: (row[1], int(row[2])) for row in table(msi, "InstallExecuteSequence")}
    at = {name: number for name, (_, number) in sequence.items()}
    for name, switch in (("RegisterDataSources", "/repair /quiet"), ("RemoveDataSources", "/uninstall /quiet"),
                         ("RegisterDataSourcesAndTask", "/repair /schedule /quiet")):
        # 3090: an installed exe (18), deferred (1024), not impersonating (2048); its result checked.
        assert actions[name][1] == "3090" and actions[name][2] == "QuilletSetupExe", actions[name]
        assert actions[name][3].startswith(switch + ' /log "[WindowsFolder]Logs\\'), actions[name]
        assert at["InstallInitialize"] < at[name] < at["InstallFinalize"], (name, at)
    assert at["RemoveDataSources"] < at["RemoveFiles"], "removed while the program is still there"
    assert min(at["RegisterDataSources"], at["RegisterDataSourcesAndTask"]) > at["InstallFiles"], \
        "run once the program is in place"
    # The task by default; QUILLETSCHEDULE=0 leaves it out.
    assert properties["QUILLETSCHEDULE"] == "1", properties
    assert sequence["RegisterDataSourcesAndTask"][0] == 'NOT REMOVE="ALL" AND NOT QUILLETSCHEDULE="0"', sequence
    assert sequence["RemoveDataSources"][0] == 'REMOVE="ALL" AND NOT UPGRADINGPRODUCTCODE', sequence
    assert sequence["RegisterDataSources"][0] == 'NOT REMOVE="ALL" AND QUILLETSCHEDULE="0"', sequence
    # The old version goes inside the new one's transaction: a failing run rolls back to it.
    assert at["InstallInitialize"] < at["RemoveExistingProducts"] < at["InstallFiles"], at
    upgrades = {row[6]: row for row in table(msi, "Upgrade")}
    assert upgrades["WIX_UPGRADE_DETECTED"][:3] == [properties["UpgradeCode"], "", "1.0.0"], upgrades
    assert upgrades["WIX_DOWNGRADE_DETECTED"][1] == "1.0.0", upgrades  # newer versions: only found
    assert dict(table(msi, "LaunchCondition"))["NOT WIX_DOWNGRADE_DETECTED"].startswith("A newer"), \
        table(msi, "LaunchCondition")
    directories = {row[0]: row for row in table(msi, "Directory")}
    assert directories["INSTALLDIR"][1:] == ["WindowsFolder", "QuilletSetup"], directories["INSTALLDIR"]
    assert [row[1] for row in table(msi, "File")] == ["Program"], table(msi, "File")
    assert table(msi, "Media")[0][3] == "#QuilletSetup.cab", table(msi, "Media")  # embedded
    print("package:", {name: sequence[name] for name in ("RemoveExistingProducts", "RemoveDataSources",
                                                         "RegisterDataSources")})


def release(checkout, *arguments, days_later=0, expect_ok=True):
    # Days later through the faketime wrapper: it holds libfaketime's shared clock for the whole
    # run, where a preloaded shell that created it may take it away with a subshell that ends
    # (libfaketime 0.9.10), and a process started after that one would fail to start.
    later = ["faketime", "-f", f"+{days_later}d"] if days_later else []
    result = subprocess.run([*later, "bash", "scripts/release.sh", *map(str, arguments)], cwd=checkout,
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
        packaged = [digest(checkout / "dist" / "QuilletSetup.msi") for checkout in (first, second)]
        print(f"two folders, three days apart: exe {built[0]} and {built[1]}; msi {packaged[0]} and {packaged[1]}")
        assert built[0] == built[1], "the exe is not reproducible"
        assert packaged[0] == packaged[1], "the package is not reproducible"
        sums = (first / "dist" / "SHA256SUMS").read_text()
        assert sums == f"{built[0]}  QuilletSetup.exe\n{packaged[0]}  QuilletSetup.msi\n", sums
        assert str(first) not in (first / "dist" / "QuilletSetup.exe").read_bytes().decode("latin-1")
        info = (first / "dist" / "BUILDINFO").read_text()
        commit = subprocess.run(["git", "rev-parse", "HEAD"], cwd=first, check=True, capture_output=True,
                                text=True).stdout.strip()
        for expected in (f"commit: {commit}", "commit date: 2026-12-01T09:00:00Z", "compiler: ",
                         "binutils: ", "wixl: 0.101"):
            assert expected in info, info
        assert "uncommitted" not in info, info
        check_package(first / "dist" / "QuilletSetup.msi")

        # What is released is what a commit holds.
        (first / "README.md").write_text((first / "README.md").read_text() + "\nedited\n")
        dirty = release(first, expect_ok=False)
        assert dirty.returncode != 0 and "uncommitted changes" in dirty.stderr, dirty.stderr
        assert digest(first / "dist" / "QuilletSetup.msi") == packaged[0], "dist/ changed"
        allowed = release(first, "--allow-uncommitted")
        assert "uncommitted changes: yes" in (first / "dist" / "BUILDINFO").read_text(), allowed.stdout
        subprocess.run(["git", "checkout", "-q", "README.md"], cwd=first, check=True)

        keys = work / "keys"
        keys.mkdir()
        pfx, secret, cert = make_certificate(keys, "codeSigning", "correct horse")
        signed = release(first, "--sign", pfx, "--password-file", secret)
        print(signed.stdout.strip())
        exe, msi = first / "dist" / "QuilletSetup.exe", first / "dist" / "QuilletSetup.msi"
        thumbprint = hashlib.sha256(subprocess.run(["openssl", "x509", "-in", cert, "-outform", "der"],
                                                   check=True, capture_output=True).stdout).hexdigest()
        for signed_file in (exe, msi):
            verify = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-require-leaf-hash",
                                     f"sha256:{thumbprint}", "-in", signed_file], capture_output=True, text=True)
            assert verify.returncode == 0 and "Signature verification: ok" in verify.stdout, verify.stdout
        print(f"exe and msi signed and verified against the certificate {thumbprint}")
        assert f"thumbprint {thumbprint}" in (first / "dist" / "BUILDINFO").read_text()
        assert (first / "dist" / "SHA256SUMS").read_text() == (f"{digest(exe)}  QuilletSetup.exe\n"
                                                                f"{digest(msi)}  QuilletSetup.msi\n")
        assert digest(exe) != built[0] and digest(msi) != packaged[0], "both were signed"

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
