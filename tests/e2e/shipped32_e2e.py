"""The shipped 32-bit QuilletSetup.exe, run for real: on 64-bit Windows (a 64-bit prefix, where the
registry redirector applies to it) and on 32-bit Windows (a win32 prefix). The registry is read by
a 64-bit process wherever there is one, so both views are seen as they are stored. Where this
machine cannot run 32-bit programs the scenarios report themselves skipped, with the reason."""

import argparse
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "wine"))

import odbc_expectation as expect  # noqa: E402
from registration_e2e import assert_tree  # noqa: E402
from deployment_e2e import TRUST_LINES, run_quietly  # noqa: E402
from winelab import HKLM_ODBC_VIEWS, SKIPPED, Display, WinePrefix, thirty_two_bit_wine  # noqa: E402

LOG = "C:\\quillet-setup.log"
# Where a 32-bit program under WOW64 without the 64-bit view flag would put the current data sources.
DOUBLY_REDIRECTED = "SOFTWARE\\Wow6432Node\\WOW6432node\\ODBC\\ODBC.INI"


class Shipped:
    def __init__(self, options, prefix):
        self.exe = Path(options.exe)
        self.reader = Path(options.reader)
        self.prefix = prefix

    def dump(self):
        result = self.prefix.run_tool([self.reader, *HKLM_ODBC_VIEWS, DOUBLY_REDIRECTED])
        return {line for line in result.stdout.splitlines() if line and not line.startswith("MISSING")}

    def run(self, *arguments):
        return run_quietly(self, [*arguments], bits=32)

    def log_lines(self):
        path = self.prefix.path / "prefix" / "drive_c" / LOG[3:]
        return [line for line in path.read_bytes().decode("utf-8").split("\r\n")[:-1]
                if not line.startswith(TRUST_LINES)]


def expected_log(x86, outcome, wow_label="32-bit-on-64-bit view"):
    names = [(name, "native view" if x86 else wow_label) for name, _, _ in expect.CURRENT]
    for year in range(2002, expect.this_year()):
        for view in ("native view", wow_label):
            names += [(name, view) for name, _, _ in expect.archive(year)]
    return [f"{name} ({view}): {outcome}" for name, view in names]


def install_and_rerun(s, x86, wow_label, wow64_driver_dir=None):
    before = s.dump()
    assert s.run("/quiet", "/log", LOG) == 0
    after = s.dump()
    assert_tree(after, before | expect.expected_lines(expect.this_year(), x86=x86,
                                                      wow64_driver_dir=wow64_driver_dir))
    assert s.log_lines()[1] == f"Log file: {LOG}", s.log_lines()[:3]
    assert s.log_lines()[2:-3] == expected_log(x86, "registered", wow_label), s.log_lines()[:3]
    assert s.log_lines()[-1] == "Result: success, exit code 0", s.log_lines()[-1]

    assert s.run("/quiet", "/log", LOG) == 0
    assert_tree(s.dump(), after)
    assert s.log_lines()[2:-3] == expected_log(x86, "already present", wow_label), s.log_lines()[:3]


def wow64_prefix(s):
    install_and_rerun(s, x86=False, wow_label="32-bit-on-64-bit view")
    # Started from C:\Windows\System32, as a deployment tool's command often is: a relative log
    # lands there, not in the folder the redirector would give a 32-bit program.
    exe = "Z:" + str(Path(s.exe).resolve()).replace("/", "\\")
    windows = s.prefix.path / "prefix" / "drive_c" / "windows"
    result = s.prefix.run_wine(["cmd", "/c", f"cd /d C:\\windows\\system32 && {exe} /quiet /log relative.log"],
                               check=False, timeout=300, bits=32)
    assert result.returncode == 0, (result.returncode, result.stderr[-300:])
    assert not (windows / "syswow64" / "relative.log").exists(), "written through the redirector"
    written = (windows / "system32" / "relative.log").read_bytes().decode("utf-8").split("\r\n")
    assert written[1] == "Log file: C:\\windows\\system32\\relative.log", written[:2]


def check(s):
    result = s.prefix.run_wine([s.exe, "/check"], check=False, timeout=120, bits=32)
    return result.returncode, result.stdout.replace("\r\n", "\n")


def wow64_planted_and_earlier_driver(s):
    """A DLL that anyone could plant at the root of C: decides nothing: with no driver installed
    at all, every 32-bit "Driver" names the system's 32-bit directory. A workstation an earlier
    version set up converges in one cycle: /check names the earlier driver paths, the install
    command mends that value alone, and detection then passes; /repair does the same."""
    planted = s.prefix.path / "prefix" / "drive_c" / "WinNT" / "System32"
    planted.mkdir(parents=True)
    (planted / "odbcjt32.dll").write_bytes(b"MZ planted by a standard user")
    install_and_rerun(s, x86=False, wow_label="32-bit-on-64-bit view")

    wow = expect.WOW64[0]
    earlier = {"Quillet-S1": "C:\\WinNT\\System32\\odbcjt32.dll",
               "Quillet2003-R": "C:\\Windows\\System\\odbcjt32.dll"}
    before = s.dump()
    for name, path in earlier.items():
        s.prefix.reg_add(f"HKLM\\{wow}\\{name}", "Driver", path)
    code, report = check(s)
    assert code == 1, report[-600:]
    for name, path in earlier.items():
        line = (f"{name} (32-bit-on-64-bit view): driver path of an earlier version: {path} "
                "(this setup rewrites it when run again)\n")
        assert line in report, report[:1500]
    for mode in ([], ["/repair"]):
        for name, path in earlier.items():
            s.prefix.reg_add(f"HKLM\\{wow}\\{name}", "Driver", path)
        assert s.run(*mode, "/quiet", "/log", LOG) == 0, mode
        assert_tree(s.dump(), before)
        repaired = [line for line in s.log_lines() if "earlier version" in line]
        assert repaired[0] == ("Quillet-S1 (32-bit-on-64-bit view): repaired: driver path of an earlier "
                               "version, \"Driver\" was C:\\WinNT\\System32\\odbcjt32.dll"), repaired
        code, report = check(s)
        assert code == 0, (mode, report[-600:])


def win32_prefix(s):
    identifier = s.prefix.run_tool(["reg", "query", "HKLM\\Hardware\\Description\\System\\CentralProcessor\\0",
                                    "/v", "Identifier"]).stdout
    assert "x86" in identifier, identifier
    install_and_rerun(s, x86=True, wow_label="WOW6432node key",
                      wow64_driver_dir=expect.TABLE_DRIVER_DIR)


SCENARIOS = {"wow64_prefix": ("win64", wow64_prefix),
             "wow64_planted_and_earlier_driver": ("win64", wow64_planted_and_earlier_driver),
             "win32_prefix": ("win32", win32_prefix)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True, help="the shipped 32-bit QuilletSetup.exe")
    parser.add_argument("--reader", required=True, help="regdump.exe of the prefix's own bitness")
    parser.add_argument("--work", required=True, help="folder for the throwaway prefix")
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    options = parser.parse_args()
    why_not = thirty_two_bit_wine()
    if why_not:
        print(f"{options.scenario}: SKIPPED: {why_not}")
        return SKIPPED
    arch, scenario = SCENARIOS[options.scenario]
    with Display() as display, WinePrefix(options.work, options.scenario, display, arch=arch) as prefix:
        scenario(Shipped(options, prefix))
    print(f"{options.scenario}: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
