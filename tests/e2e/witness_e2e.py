"""What a real ODBC driver manager makes of the data sources. Wine 10 (Debian trixie) reads them from
the registry as Windows' driver manager does; it runs in a Debian root kept in build/trixie, made
and entered by scripts/debian-root.sh. The witness (odbcwitness.exe) lists the data sources as an
ODBC program of its bitness does and connects to each through the stand-in Access driver
(odbcjt32.dll, registered in the test prefix alone), which reads the data source back.

Wine 10 differs from Windows: its driver manager finds the driver through the data source's line
in "ODBC Data Sources" and ODBCINST.INI, never through the data source's own "Driver" value, which
Windows' driver manager loads; its SQLGetPrivateProfileString reads texts only (a DWORD reads as
the default); and the real Access driver is not here. Only Windows shows those.

    witness_e2e.py --build64 DIR --build32 DIR CASE
"""

import argparse
import fcntl
import os
import re
import shlex
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "wine"))

import odbc_expectation as expect  # noqa: E402
from winelab import FAKETIME_LIB, SKIPPED, seconds_until, thirty_two_bit_kernel  # noqa: E402

ROOT = Path(__file__).resolve().parent.parent.parent
TRIXIE = ROOT / "build" / "trixie" / "root"
DRIVER = "Microsoft Access Driver (*.mdb)"


def trixie_root():
    """Why Wine 10 cannot be had here, or None once its root is ready (made once, by one test)."""
    packages = ["wine", "wine64", "faketime"] + ([] if thirty_two_bit_kernel() else ["wine32:i386"])
    TRIXIE.parent.mkdir(parents=True, exist_ok=True)
    with open(TRIXIE.parent / ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        stamp = TRIXIE.parent / "packages"
        if stamp.exists() and stamp.read_text() == " ".join(packages):
            return None
        if os.geteuid() != 0:
            return "making the Debian trixie root for Wine 10 needs root"
        made = subprocess.run(["bash", ROOT / "scripts" / "debian-root.sh", "make", TRIXIE, "trixie",
                               *packages], capture_output=True, text=True)
        print(made.stdout, made.stderr)
        if made.returncode != 0:
            return f"the Debian trixie root could not be made: {(made.stdout + made.stderr)[-300:]}"
        stamp.write_text(" ".join(packages))
    return None


class Prefix:
    """A Wine 10 prefix inside the trixie root, every Wine process of each step in namespaces
    that end with it."""

    def __init__(self, name, arch="win64"):
        self.inside = f"/quillet/{name}"
        self.path = TRIXIE / self.inside.lstrip("/")
        shutil.rmtree(self.path, ignore_errors=True)
        self.path.mkdir(parents=True)
        self.arch = arch
        self.drive = self.path / "prefix" / "drive_c"

    def run(self, command, year=None, check=True):
        env = (f"WINEPREFIX={self.inside}/prefix WINEARCH={self.arch} WINEDEBUG=-all HOME={self.inside} "
               "WINEDLLOVERRIDES='mscoree=;mshtml='")
        if year:  # the clock of every process of the step, the wineserver's too
            env += f" LD_PRELOAD={FAKETIME_LIB} FAKETIME=+{seconds_until(year)}s FAKETIME_DONT_RESET=1"
        # One wineserver kept for the whole step: one left to itself ends as soon as a program
        # does, and the step's next program, started in that moment, may be killed saying
        # nothing. It writes the registry to disk when it ends: waited for inside the step.
        script = (f"export {env}; cd {self.inside} && mkdir -p prefix && wineserver -p && {{ {command}; }}; s=$?; "
                  "wineserver -k; wineserver -w; exit $s")
        done = subprocess.run(["bash", ROOT / "scripts" / "debian-root.sh", "run", TRIXIE,
                               "bash", "-c", script], capture_output=True, text=True, timeout=900)
        if check and done.returncode != 0:
            raise AssertionError(f"{command}: exit code {done.returncode}\n{done.stdout}\n{done.stderr}")
        return done

    def boot(self, native, wow64):
        """The prefix, with the stand-in driver of each bitness in its system directory, registered
        in its view."""
        self.run("wineboot -i")
        for folder, built in (("system32", native), ("syswow64", wow64)):
            if built and (self.drive / "windows" / folder).exists():
                shutil.copy(built / "odbcjt32.dll", self.drive / "windows" / folder / "odbcjt32.dll")
        keys = ["HKLM\\SOFTWARE\\ODBC\\ODBCINST.INI"]
        if (self.drive / "windows" / "syswow64").exists():
            keys.append("HKLM\\SOFTWARE\\WOW6432Node\\ODBC\\ODBCINST.INI")
        # /reg:64: where 32-bit Wine is there, "wine reg" is the 32-bit reg.exe, whose native paths
        # would land in the 32-bit view.
        self.run(" && ".join(
            f'wine reg add "{key}\\{DRIVER}" /v Driver /d C:\\\\windows\\\\{folder}\\\\odbcjt32.dll /f /reg:64 && '
            f'wine reg add "{key}\\ODBC Drivers" /v "{DRIVER}" /d Installed /f /reg:64'
            for key, folder in zip(keys, ("system32", "syswow64"))))


def seen(prefix, witness):
    """{name: what the driver read} for each data source the witness listed; None where its
    connection was refused."""
    out = prefix.run(f"wine {witness}").stdout.splitlines()
    found = {line.split(" ", 1)[1].split("|")[0]: None for line in out if line.startswith("listed ")}
    for line in out:
        if line.startswith("connected "):
            name, read = line.split(" ", 1)[1].split("|", 1)
            found[name] = dict(part.split("=", 1) for part in read.split("\t") if "=" in part)
    return found


def expected(year, current):
    """{name: (DBQ, Description)} of the data sources an ODBC program lists: the archive years',
    and with `current` the current five (which go to the view Quillet's 32-bit ODBC reads)."""
    wanted = list(expect.CURRENT) if current else []
    wanted += [spec for archive_year in range(2002, year) for spec in expect.archive(archive_year)]
    return {name: (dbq, description) for name, dbq, description in wanted}


def assert_seen(prefix, witness, year, current, changed=None):
    found = {name: read for name, read in seen(prefix, witness).items() if name.startswith("Quillet")}
    want = expected(year, current) if year else {}
    assert sorted(found) == sorted(want), (sorted(set(found) - set(want))[:5], sorted(set(want) - set(found))[:5])
    for name, (dbq, description) in want.items():
        read = found[name]
        assert read is not None, f"{name} did not connect"
        wanted = {"DBQ": (changed or {}).get(name, dbq), "Description": description, "FIL": "MS Access;"}
        assert {key: read[key] for key in wanted} == wanted, (name, read)
    return len(found)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build64", required=True, type=Path)
    parser.add_argument("--build32", required=True, type=Path)
    parser.add_argument("case", choices=["x86_64_build", "shipped_wow64", "shipped_win32", "msi", "task"])
    options = parser.parse_args()
    why_not = trixie_root()
    if not why_not and options.case.startswith("shipped"):
        why_not = thirty_two_bit_kernel()
    if why_not:
        print(f"{options.case}: SKIPPED: {why_not}")
        return SKIPPED
    shipped = options.case.startswith("shipped")
    exe = (options.build32 if shipped else options.build64) / "QuilletSetup.exe"
    # Each witness, with whether the current five are among what it lists: a 32-bit ODBC program
    # reads the view they go to.
    both = [(options.build32, True), (options.build64, False)]
    if options.case == "task" and (thirty_two_bit_kernel() or not (options.build32 / "odbcwitness.exe").exists()):
        print("task: the 32-bit witness cannot run here:", thirty_two_bit_kernel() or "build/win32 is not built")
        both = both[1:]
    witnesses = {"x86_64_build": [(options.build64, False)], "msi": [(options.build64, False)],
                 "shipped_wow64": both, "shipped_win32": [(options.build32, True)], "task": both}[options.case]
    prefix = Prefix(options.case, "win32" if options.case == "shipped_win32" else "win64")
    print("Wine:", prefix.run("wine --version").stdout.strip())
    bin_ = prefix.path / "bin"
    bin_.mkdir()
    shutil.copy(exe, bin_ / "QuilletSetup.exe")
    for built, _ in witnesses:
        shutil.copy(built / "odbcwitness.exe", bin_ / f"odbcwitness-{built.name}.exe")
    inside = f"Z:{prefix.inside}/bin/".replace("/", "\\\\")
    prefix.boot(options.build32 if options.case == "shipped_win32" else options.build64,
                options.build32 if shipped or len(witnesses) > 1 else None)
    year = expect.this_year()
    setup = f"wine {inside}QuilletSetup.exe"

    def all_seen(when, year, changed=None):
        # A change to the native view is seen by the witnesses that read it: all but a 32-bit one
        # on 64-bit Windows.
        counts = [assert_seen(prefix, f"{inside}odbcwitness-{built.name}.exe", year, current,
                              None if built == options.build32 and prefix.arch == "win64" else changed)
                  for built, current in witnesses]
        print(f"{when}: the witnesses ({', '.join(b.name for b, _ in witnesses)}) listed and connected {counts}")

    own = "'C:\\windows\\QuilletSetup\\QuilletSetup.exe'"
    task_file = prefix.drive / "windows" / "system32" / "tasks" / "QuilletSetup"

    def task(when):
        """The task as Wine keeps it (by name: Wine drops its triggers and actions) and as /check
        tells it."""
        checked = prefix.run(f"wine {own} /check /json", check=False).stdout
        told = next((line.split(":", 1)[1].strip(" ,") for line in checked.splitlines()
                     if line.strip().startswith('"task"')), "no answer")
        print(f"{when}: task file {'there' if task_file.exists() else 'absent'}, /check says {told}")
        if task_file.exists():  # what Wine keeps of the account and the program, which tell whose it is
            kept = re.findall(r"<(?:UserId|Command|Arguments)>[^<]*", task_file.read_text(errors="replace"))
            print(f"{when}: Wine keeps {kept or 'neither its account nor its program'}")
        return task_file.exists(), told

    if options.case == "msi":
        subprocess.run(["bash", ROOT / "scripts" / "build-msi.sh", exe, bin_ / "QuilletSetup.msi", "1.0.0",
                        "1765000000"], check=True, capture_output=True)
        prefix.run(f"wine msiexec /i {inside}QuilletSetup.msi /qn")
        all_seen("msiexec /i", year)
        assert task("msiexec /i") == (True, '"present"')
        prefix.run(f"wine msiexec /x {inside}QuilletSetup.msi /qn")
        all_seen("msiexec /x", None)
        assert not task_file.exists(), "the removal takes the task away"
        return 0
    if options.case == "task":
        program = prefix.drive / "windows" / "QuilletSetup"
        program.mkdir(parents=True, exist_ok=True)
        shutil.copy(exe, program / "QuilletSetup.exe")
        assert task("before") == (False, '"absent"')
        prefix.run(f"wine {own} /quiet /schedule")
        all_seen("/quiet /schedule", year)
        assert task("after /quiet /schedule") == (True, '"present"')
        # The action as the definition gives it, in the next year: %windir% as Windows expands it.
        definition = ElementTree.parse(ROOT / "packaging" / "QuilletSetup.task.xml").getroot()
        exec_ = definition.find("t:Actions/t:Exec", {"t": definition.tag[1:].split("}")[0]})
        command, arguments = (exec_[0].text.strip(), exec_[1].text.strip())
        # Its quotes are the command line's own, which Windows takes off as it splits it.
        words = [command.strip('"')] + shlex.split(arguments)
        action = " ".join(f"'{word}'" for word in words).replace("%windir%", "C:\\windows")
        print("the task's action:", action)
        prefix.run(f"wine {action}", year=year + 1)
        all_seen(f"the task's action in {year + 1}", year + 1)
        prefix.run(f"wine {own} /uninstall /quiet", year=year + 1)  # its plan holds that year's
        all_seen("/uninstall", None)
        assert task("after /uninstall") == (False, '"absent"')
        return 0
    prefix.run(f"{setup} /quiet")
    all_seen("/quiet", year)
    changed = {"Quillet2002-R": "D:\\Changed\\Quillet-R.mdb"}
    key = "HKLM\\SOFTWARE\\ODBC\\ODBC.INI\\Quillet2002-R"
    prefix.run(f'wine reg add "{key}" /v DBQ /d "{changed["Quillet2002-R"]}" /f /reg:64 && {setup} /quiet && '
               f"{setup} /repair /quiet")
    all_seen("an administrator's DBQ, then the plain run and /repair", year, changed)
    prefix.run(f'wine reg add "{key}" /v DBQ /d "{expected(year, False)["Quillet2002-R"][0]}" /f /reg:64 && '
               f"{setup} /uninstall /quiet /log C:\\\\uninstall.log")
    all_seen("/uninstall", None)
    if shipped:
        # libfaketime's library is 64-bit: 32-bit Wine's processes keep the real clock.
        print(f"/quiet in {year + 1}: not shown for the 32-bit program, whose clock cannot be moved here")
        return 0
    prefix.run(f"{setup} /quiet", year=year + 1)
    all_seen(f"/quiet in {year + 1}", year + 1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
