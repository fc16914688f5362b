"""The Windows Installer package under Wine's msiexec, in a 64-bit prefix with 32-bit Wine (the
package is 32-bit, as its program is): install while anyone who may list %windir%\Logs holds it
sharing nothing, repair, a second version over the first, a third whose run fails (the second
stays), an older one refused, removal, and a run that fails. Where this machine cannot run 32-bit
programs, the same package is built around the x86-64 build of the program and runs under wine64,
and the test says so.

Wine differs from Windows here: a custom action that fails ends msiexec with 1627 where Windows
ends 1603; repair by product code (/fa) is not implemented, so REINSTALL=ALL is used; and during a
major upgrade Wine runs the old product's removal action as well, where Windows skips it by its
condition (the data sources are then registered again by the new product's run)."""

import argparse
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "wine"))

import odbc_expectation as expect  # noqa: E402
from registration_e2e import assert_tree  # noqa: E402
from winelab import HKLM_ODBC_VIEWS, Display, WinePrefix, kill_group, thirty_two_bit_wine  # noqa: E402

ROOT = Path(__file__).resolve().parent.parent.parent
# A 32-bit package's Apps & features entry, as a 64-bit reader sees it.
UNINSTALL = "HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
WINE_FAILED_ACTION = 1627  # Windows: 1603


def build_msi(exe, out, version):
    codes = subprocess.run(["bash", ROOT / "scripts" / "build-msi.sh", exe, out, version, "1765000000"],
                           check=True, capture_output=True, text=True).stdout
    return dict(line.split(": ", 1) for line in codes.splitlines())["ProductCode"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True, help="the shipped 32-bit QuilletSetup.exe")
    parser.add_argument("--exe64", required=True, help="the x86-64 build, where 32-bit Wine is missing")
    parser.add_argument("--reader", required=True, help="the 64-bit regdump.exe")
    parser.add_argument("--work", required=True)
    options = parser.parse_args()
    exe = options.exe
    why_not = thirty_two_bit_wine()
    if why_not:
        exe = options.exe64
        print(f"the package is built around the x86-64 build {exe} and runs under wine64: {why_not}")
    with tempfile.TemporaryDirectory() as folder, Display() as display, \
            WinePrefix(options.work, "msi", display) as prefix:
        first, second, third = (Path(folder) / f"QuilletSetup-1.0.{n}.msi" for n in range(3))
        product = build_msi(exe, first, "1.0.0")
        newer = build_msi(exe, second, "1.0.1")
        newest = build_msi(exe, third, "1.0.2")
        drive = prefix.path / "prefix" / "drive_c"
        program = drive / "windows" / "QuilletSetup" / "QuilletSetup.exe"

        def logs_folder():
            # Wine's prefix may already hold the folder as "logs": Windows names are not case-sensitive.
            logs = [p for p in (drive / "windows").iterdir() if p.name.lower() == "logs"]
            if not logs:
                (drive / "windows" / "Logs").mkdir()
                return drive / "windows" / "Logs"
            return logs[0]

        def program_log():
            return logs_folder() / "QuilletSetup.log"

        def msiexec(*arguments):
            result = prefix.run_wine(["msiexec", *map(str, arguments), "/qn"], check=False, timeout=600)
            return result.returncode

        def dump():
            lines = prefix.run_tool([options.reader, *HKLM_ODBC_VIEWS]).stdout.splitlines()
            return {line for line in lines if line and not line.startswith("MISSING")}

        def entry(code):
            found = prefix.run_wine(["reg", "query", f"{UNINSTALL}\\{code}"], check=False)
            return found.stdout if found.returncode == 0 else ""

        before = dump()
        registered = before | expect.expected_lines(expect.this_year(), x86=False)

        # Install, while %windir%\Logs is held sharing nothing: the data sources exactly as the exe
        # registers them, the program kept where the recipes call it, its log in %windir%\Logs, and
        # an Apps & features entry without Modify.
        logs = logs_folder()
        holder = prefix.start_holder([Path(options.reader).parent / "holdfile.exe", f"C:\\windows\\{logs.name}"],
                                     drive / "windows" / f"{logs.name}.held")
        try:
            assert msiexec("/i", first, "/l*v", "C:\\msi-install.log") == 0
        finally:
            kill_group(holder)
        assert_tree(dump(), registered)
        assert program.exists(), "the program is kept in %windir%\\QuilletSetup"
        log = program_log().read_bytes().decode("utf-8")
        assert log.endswith("Result: success, exit code 0\r\n"), log[-300:]
        listed = entry(product)
        assert "Brannic" in listed and "NoModify" in listed, listed
        print("install: exit code 0;", log.split("\r\n")[0])
        # Windows Installer's folder lets users read the program (Wine: mode 755); the run gives
        # it to SYSTEM and the Administrators alone, which Wine answers with success and ignores.
        assert "it was given to SYSTEM and the Administrators alone" in log, log[:800]

        # Repair: what was taken away is completed.
        wow = expect.WOW64[0]
        prefix.run_tool(["reg", "delete", f"HKLM\\{wow}\\Quillet-R\\Engines\\Jet", "/v", "Threads", "/f"])
        assert msiexec("/i", first, "REINSTALL=ALL", "REINSTALLMODE=omus") == 0
        assert_tree(dump(), registered)
        print("repair: exit code 0; the missing value is back")

        # A second version over the first: the data sources stay, one product is listed.
        assert msiexec("/i", second) == 0
        assert_tree(dump(), registered)
        assert "Brannic" in entry(newer) and not entry(product).strip(), "the old product is gone"
        print("upgrade: exit code 0; the data sources stay")

        # An upgrade whose run fails (the run lock held for longer than the program waits) fails.
        # Windows removes the old version inside the upgrade's transaction and so rolls back to it;
        # Wine removes it by a msiexec of its own beforehand, which no rollback undoes, so here the
        # old version is installed again before an older one is refused.
        holder = prefix.start_holder([Path(options.reader).parent / "holdlock.exe", "C:\\lock-held"],
                                     drive / "lock-held")
        try:
            failed = msiexec("/i", third)
        finally:
            kill_group(holder)
        assert failed == WINE_FAILED_ACTION & 0xFF, failed
        assert not entry(newest).strip(), "the failed version is not listed"
        print(f"failed upgrade: exit code {failed}; 1.0.1 listed afterwards: {bool(entry(newer).strip())}")
        assert msiexec("/i", second) == 0
        assert_tree(dump(), registered)
        refused = msiexec("/i", first)
        assert refused != 0 and "Brannic" in entry(newer) and not entry(product).strip(), refused
        assert_tree(dump(), registered)
        print(f"downgrade: refused, exit code {refused}; 1.0.1 stays")

        # Removal: what is still exactly as written goes, a customised data source stays.
        prefix.reg_add(f"HKLM\\{wow}\\Quillet-S", "DBQ", "D:\\Kept.mdb")
        kept = {line for line in dump() if "\\Quillet-S|" in line or "\\Quillet-S\\" in line
                or line.endswith("\\Quillet-S") or "|Quillet-S|" in line}
        assert msiexec("/x", newer) == 0
        after = dump()
        assert kept <= after, sorted(kept - after)[:5]
        assert not [line for line in after if "Quillet2002-R" in line], "the rest is removed"
        assert not program.exists(), "the program is removed with the package"
        print(f"removal: exit code 0; {len(kept)} lines of the customised data source kept")

        # A run that fails fails the install, and the file is rolled back: the run lock is held by
        # another process for longer than the program waits.
        holder = prefix.start_holder([Path(options.reader).parent / "holdlock.exe", "C:\\held"], drive / "held")
        try:
            code = msiexec("/i", first)
        finally:
            kill_group(holder)
        assert code == WINE_FAILED_ACTION & 0xFF, code
        assert not program.exists(), "the failed install is rolled back"
        assert not entry(product).strip(), "nothing is listed after a failed install"
        print(f"failing run: msiexec exit code {code} (Wine's 1627; Windows ends 1603); rolled back")

        # A program folder Everyone may change (mode 777, as Wine shows it) fails the install's run,
        # which registers no task: rolled back, no SYSTEM task left pointing at a missing program.
        program.parent.mkdir(exist_ok=True)
        program.parent.chmod(0o777)
        code = msiexec("/i", first)
        tasks = [p for p in (drive / "windows" / "system32").iterdir() if p.name.lower() == "tasks"]
        said = [line for line in program_log().read_bytes().decode("utf-8").split("\r\n") if "SYSTEM" in line]
        print(f"a program folder of mode 777: msiexec exit code {code}; {said[:2]}")
        assert code == WINE_FAILED_ACTION & 0xFF and not program.exists(), code
        assert not (tasks and (tasks[0] / "QuilletSetup").exists()), "no task is left"
    print("msi: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
