"""Unattended runs of QuilletSetup.exe under wine64 and Xvfb, as a deployment tool starts them:
no window ever appears, the exit code tells the outcome, and the log tells every data source."""

import argparse
import json
import os
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "wine"))

import odbc_expectation as expect  # noqa: E402
from report_schema import check_report  # noqa: E402
from registration_e2e import INSTALL_FAILURE, Scenario, assert_tree  # noqa: E402
from winelab import Display, WinePrefix, kill_group, press_ok_when_shown, seconds_until  # noqa: E402

LOG_FAILURE = 1622 & 0xFF
USER_DECLINED = 1602 & 0xFF

LOG = "C:\\quillet-setup.log"
NO_DRIVER = ('"Microsoft Access Driver (*.mdb)" is not installed for the 32-bit-on-64-bit view, '
             "which Quillet uses: Quillet cannot open its databases until it is.")


def visible_windows(display):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "."], capture_output=True,
                           text=True, env={"DISPLAY": display.name})
    return found.stdout.split()


def run_quietly(s, arguments, timeout=300, bits=64, through_cmd=False):
    """Runs the program with these arguments, watching the display the whole time. Through cmd,
    the arguments are one command line, passed exactly as typed: from a batch file, since Wine
    escapes the quotes of a command line it is given by Linux."""
    exe = s.exe if bits == 32 else s.build / "QuilletSetup.exe"
    if through_cmd:
        windows_exe = "Z:" + str(Path(exe).resolve()).replace("/", "\\")
        batch = s.prefix.path / "prefix" / "drive_c" / "typed.cmd"
        batch.write_bytes(f'@"{windows_exe}" {arguments}\r\n@exit /b %errorlevel%\r\n'.encode())
        process = s.prefix.start_wine(["cmd", "/c", "C:\\typed.cmd"], bits=bits)
    else:
        process = s.prefix.start_wine([exe, *arguments], bits=bits)
    deadline, seen = time.time() + timeout, []
    try:
        while process.poll() is None and time.time() < deadline:
            seen += visible_windows(s.prefix.display)
            time.sleep(0.05)
    finally:
        if process.poll() is None:
            kill_group(process)
            raise AssertionError(f"{arguments} did not end on its own within {timeout} s")
    assert not seen, f"a window appeared during a quiet run: {sorted(set(seen))}"
    return process.returncode


TRUST_LINES = ("Junctions and links made by non-administrators are not followed (redirection trust).",
               "Redirection trust is not available here (")


def log_lines(s):
    """The log's lines, without the one that tells whether Windows offers redirection trust."""
    path = Path(s.prefix.path) / "prefix" / "drive_c" / LOG[3:]
    lines = path.read_bytes().decode("utf-8").split("\r\n")[:-1]
    trust = [line for line in lines if line.startswith(TRUST_LINES)]
    assert len(trust) == 1, lines[:4]
    return [line for line in lines if line not in trust]


def expected_names(year):
    names = [f"{name} (32-bit-on-64-bit view)" for name, _, _ in expect.CURRENT]
    for archive_year in range(2002, year):
        for view in ("native", "32-bit-on-64-bit"):
            names += [f"{name} ({view} view)" for name, _, _ in expect.archive(archive_year)]
    return names


def quiet_runs(s):
    before = s.dump()
    assert run_quietly(s, ["/quiet", "/log", LOG]) == 0
    assert_tree(s.dump(), before | expect.expected_lines(expect.this_year(), x86=False))
    names = expected_names(expect.this_year())
    lines = log_lines(s)
    assert lines[0].startswith("QuilletSetup 1.00 on ") and "archive years 2002-" in lines[0], lines[0]
    assert lines[1] == f"Log file: {LOG}", lines[1]
    assert lines[2:-3] == [f"{name}: registered" for name in names], lines[:3]
    assert lines[-3] == NO_DRIVER, lines[-3]
    assert lines[-2] == (f"{len(names)} data sources: {len(names)} registered, 0 already present, "
                         "0 present but incomplete, 0 repaired, 0 failed"), lines[-2]
    assert lines[-1] == "Result: success, exit code 0", lines[-1]

    after_first = s.dump()
    assert run_quietly(s, ["-Q", "-LOG", LOG]) == 0
    assert_tree(s.dump(), after_first)
    lines = log_lines(s)
    assert lines[2:-3] == [f"{name}: already present" for name in names], lines[:3]
    assert lines[-2] == (f"{len(names)} data sources: 0 registered, {len(names)} already present, "
                         "0 present but incomplete, 0 repaired, 0 failed"), lines[-2]


def unknown_switch(s):
    """Mistakes people make: a switch nobody knows (interactive: a box says so; quiet: standard
    error and the log say so, and nothing waits), and other installers' silent switches, which
    must never leave a run waiting for a person."""
    before = s.dump()
    assert run_quietly(s, ["/quiet", "/log", LOG, "/bogus"]) == 87
    assert log_lines(s)[1:] == [f"Log file: {LOG}", "This argument is not understood: /bogus",
                                "Result: command line not understood, exit code 87"], log_lines(s)
    # Deployment tools add /norestart out of habit; the program never restarts Windows anyway.
    result = s.prefix.run_wine([s.build / "QuilletSetup.exe", "/qn", "/norestart", "/bogus"],
                               check=False, timeout=120)
    assert result.returncode == 87, result.returncode
    assert result.stderr.strip() == ("QuilletSetup: This argument is not understood: /bogus "
                                     "(exit code 87)"), result.stderr
    process = s.prefix.start_wine([s.build / "QuilletSetup.exe", "/bogus"])
    assert press_ok_when_shown(s.prefix.display, "Setup", process, timeout=120) == 87
    assert_tree(s.dump(), before)

    assert run_quietly(s, ["/silent"]) == 0, "/silent ends with no window"
    assert_tree(s.dump(), before | expect.expected_lines(expect.this_year(), x86=False))
    help_text = s.prefix.run_wine([s.build / "QuilletSetup.exe", "/?"], timeout=60).stdout
    assert "1618" in help_text and "\t" not in help_text, help_text

    # A detection rule with a log folder that does not exist: the state decides the exit code.
    result = s.prefix.run_wine([s.build / "QuilletSetup.exe", "/check", "/quiet", "/log",
                                "C:\\NoSuchFolder\\check.log"], check=False, timeout=120)
    assert result.returncode == 0, (result.returncode, result.stdout[-400:])
    assert "The log file C:\\NoSuchFolder\\check.log could not be written" in result.stdout


STAGING = "{QuilletSetup staging}"


def killed_part_way(s):
    """In the year 3000 a run registers nearly ten thousand data sources: long enough to be cut
    off by SIGKILL part way, as a deployment tool's timeout would."""
    before = s.dump()
    process = s.prefix.start_wine([s.build / "QuilletSetup.exe", "/quiet", "/log", LOG])
    # How fast a run goes varies a lot between machines: cut it off once a data source from the
    # middle of its set has appeared, whenever that is.
    middle = f"{expect.NATIVE[0]}\\Quillet2500-R"
    deadline = time.time() + 300
    while process.poll() is None and time.time() < deadline:
        if not s.prefix.run_tool([s.build / "regdump.exe", middle]).stdout.startswith("MISSING"):
            break
        time.sleep(0.05)
    if process.poll() is not None:
        raise AssertionError(f"the run ended ({process.returncode}) before it could be cut off: "
                             f"{log_lines(s)[-1:]}")
    kill_group(process)
    process.wait()
    cut = s.dump() - before
    wanted = expect.expected_lines(3000, x86=False)
    assert cut and not wanted <= cut, "cut off part way: some data sources there, not all"
    print(f"cut off with {sum(1 for line in cut if line.startswith('KEY'))} of "
          f"{sum(1 for line in wanted if line.startswith('KEY'))} keys written")

    assert run_quietly(s, ["/quiet"], timeout=900) == 0
    after = s.dump()
    assert not [line for line in after if STAGING in line], "no staging key is left"
    assert_tree(after, before | wanted)


def incomplete_then_repair(s):
    base = f"HKLM\\{expect.NATIVE[0]}\\Quillet2010-S"
    assert run_quietly(s, ["/quiet"]) == 0
    # By hand: one value of one data source removed, another one's DBQ customised.
    s.prefix.run_tool(["reg", "delete", f"{base}\\Engines\\Jet", "/v", "Threads", "/f"])
    s.prefix.run_tool(["reg", "add", f"{base}", "/v", "DBQ", "/d", "D:\\Custom.mdb", "/f"])
    damaged = s.dump()

    assert run_quietly(s, ["/quiet", "/log", LOG]) == INSTALL_FAILURE
    assert_tree(s.dump(), damaged)
    incomplete = [line for line in log_lines(s) if "incomplete" in line]
    assert incomplete[0] == ("Quillet2010-S (native view): present but incomplete, missing "
                             "Engines\\Jet\\Threads; run this setup with /repair to complete it"), incomplete
    assert incomplete[1].endswith(", 1 present but incomplete, 0 repaired, 0 failed"), incomplete
    assert log_lines(s)[-1] == "Result: failed, exit code 1603", log_lines(s)[-1]

    assert run_quietly(s, ["/repair", "/quiet", "/log", LOG]) == 0
    repaired = [line for line in log_lines(s) if "repaired" in line]
    assert repaired[0] == "Quillet2010-S (native view): repaired, added Engines\\Jet\\Threads", repaired
    threads = next(line for line in s.dump() - damaged)
    assert threads.startswith(f"VALUE {expect.NATIVE[0]}\\Quillet2010-S\\Engines\\Jet|Threads|4|03000000"), threads
    assert len(s.dump() - damaged) == 1 and not damaged - s.dump(), "only the missing value is added"


def check(s):
    """/check as a detection rule runs it: its report read back from a redirected standard
    output; it must change nothing at all."""
    before = s.dump()
    result = s.prefix.run_wine([s.build / "QuilletSetup.exe", "/check"], check=False, timeout=120)
    assert s.dump() == before, "/check changed the registry"
    return result.returncode, result.stdout.replace("\r\n", "\n")


def check_and_uninstall(s):
    native, wow = expect.NATIVE[0], expect.WOW64[0]
    s.prefix.reg_add(f"HKLM\\{native}\\Payroll", "Server", "payroll.example")
    s.prefix.reg_add(f"HKLM\\{native}\\ODBC Data Sources", "Payroll", "SQL Server")
    unrelated = s.dump()
    assert run_quietly(s, ["/quiet"]) == 0
    s.prefix.reg_add(f"HKLM\\{wow}\\Quillet-S", "DBQ", "D:\\Custom\\Quillet-S.mdb")
    customised = {line for line in s.dump() if f"{wow}\\Quillet-S|" in line or
                  f"{wow}\\Quillet-S\\" in line or line == f"KEY {wow}\\Quillet-S" or
                  line.startswith(f"VALUE {wow}\\ODBC Data Sources|Quillet-S|")}

    code, report = check(s)
    assert code == 0, report[-500:]
    assert "Quillet-S (32-bit-on-64-bit view): customised: DBQ differs\n" in report, report[:800]
    assert "Quillet2005-R (native view): complete\n" in report

    # By hand, as the ODBC administrator removes a data source: its key and its list line.
    s.prefix.run_tool(["reg", "delete", f"HKLM\\{native}\\Quillet2005-R", "/f"])
    s.prefix.run_tool(["reg", "delete", f"HKLM\\{native}\\ODBC Data Sources", "/v", "Quillet2005-R", "/f"])
    code, report = check(s)
    assert code == 1, report[-500:]
    assert "Quillet2005-R (native view): missing\n" in report

    assert run_quietly(s, ["/uninstall", "/quiet", "/log", LOG]) == 0
    lines = log_lines(s)
    assert "Quillet-S (32-bit-on-64-bit view): kept: customised, DBQ differs" in lines, lines[:6]
    assert "Quillet2005-R (native view): not present" in lines
    parents = {f"KEY {view}" for view in (native, wow)} | {f"KEY {view}\\ODBC Data Sources" for view in (native, wow)}
    assert_tree(s.dump(), unrelated | customised | parents)
    code, report = check(s)
    assert code == 1, report[-500:]


def log_folders_as_administrators_type_them(s):
    """The trap of a folder with a trailing backslash before its closing quote, a folder given for
    the log, a log path beyond the ANSI code page, a folder that does not exist, and a previous log
    that another program holds open without sharing its deletion."""
    logs = s.prefix.path / "prefix" / "drive_c" / "Logs"
    logs.mkdir()
    before = s.dump()
    trapped = run_quietly(s, '/log "C:\\Logs\\" /quiet', through_cmd=True, timeout=120)
    assert trapped == 87, trapped
    assert s.dump() == before, "nothing is registered"

    # Nothing changes when the log cannot be started: 1622, and standard error says why.
    missing = s.prefix.run_wine([s.build / "QuilletSetup.exe", "/quiet", "/log", "C:\\NoSuchFolder\\"],
                                check=False, timeout=120)
    assert missing.returncode == LOG_FAILURE, missing.returncode
    assert s.dump() == before, "nothing is registered without a log"
    assert "The log file C:\\NoSuchFolder\\ could not be written: " in missing.stderr, missing.stderr
    assert missing.stderr.rstrip().endswith("Nothing was changed. (exit code 1622)"), missing.stderr

    # A folder, however it is written, gets QuilletSetup.log.
    written = logs / "QuilletSetup.log"
    for typed in ('/quiet /log "C:\\Logs\\\\"', "/quiet /log C:\\Logs", "/quiet /log C:\\Logs\\"):
        code = run_quietly(s, typed, through_cmd=True, timeout=300)
        assert code == 0, (typed, code, sorted(p.name for p in logs.iterdir()))
        first = written.read_bytes().decode("utf-8").split("\r\n")[:2]
        assert first[1] == "Log file: C:\\Logs\\QuilletSetup.log", (typed, first)
        written.unlink()

    # Another spelling of the folder is that folder: its 8.3 short name, other letter case.
    qlogs = s.prefix.path / "prefix" / "drive_c" / "Program Files" / "QLogs"
    qlogs.mkdir()
    # From a batch file: Wine escapes the quotes of a command line it is given by Linux.
    (s.prefix.path / "prefix" / "drive_c" / "short.cmd").write_bytes(
        b'@for %%I in ("C:\\Program Files\\QLogs") do @echo %%~sI\r\n')
    short = s.prefix.run_wine(["cmd", "/c", "C:\\short.cmd"], timeout=120).stdout.strip()
    assert short.upper() != "C:\\PROGRAM FILES\\QLOGS" and "~" in short, short
    for spelled in (short + "\\short.log", "c:\\PROGRAM files\\qlogs\\cased.log"):
        code = run_quietly(s, ["/quiet", "/log", spelled])
        assert code == 0, (spelled, code)
        print(f"/log {spelled}: exit code {code}")
    assert sorted(p.name for p in qlogs.iterdir()) == ["cased.log", "short.log"], list(qlogs.iterdir())

    polish = "C:\\Logs\\Łódź.log"
    assert run_quietly(s, ["/quiet", "/log", polish]) == 0
    written = (logs / "Łódź.log").read_bytes().decode("utf-8")
    first = written.split("\r\n")[0]
    assert first.startswith("QuilletSetup 1.00 on ") and first.endswith(f"/quiet /log {polish}"), first

    # Held open by a viewer that does not share deletion: the run keeps its exit code, the old log
    # stays whole, and this run's log is kept under the name standard error gives.
    holder = hold(s, polish, logs / "Łódź.log.held")
    try:
        held = s.prefix.run_wine([s.build / "QuilletSetup.exe", "/quiet", "/log", polish],
                                 check=False, timeout=300)
    finally:
        kill_group(holder)
    assert held.returncode == 0, (held.returncode, held.stderr)
    assert (logs / "Łódź.log").read_bytes().decode("utf-8") == written, "the old log is intact"
    kept = [p for p in logs.iterdir() if p.name.endswith(".writing")]
    assert len(kept) == 1, sorted(p.name for p in logs.iterdir())
    assert f"the log of this run is kept as C:\\Logs\\{kept[0].name}" in held.stderr, held.stderr
    assert kept[0].read_bytes().decode("utf-8").endswith("Result: success, exit code 0\r\n")
    print("held log:", held.stderr.strip())


def hold(s, path, marker):
    """Another process holds the file or folder at `path` open sharing nothing until killed."""
    return s.prefix.start_holder([s.build / "holdfile.exe", path], marker)


def planted_beside_the_log(s):
    """What a standard user can plant in a log folder: a hard link, a symbolic link and a file of
    their own at the name the temporary file used to have, and a hard link at the log's own name.
    Each is left as it was, nothing is written through it, and every log is a new file."""
    logs = s.prefix.path / "prefix" / "drive_c" / "Logs"
    logs.mkdir()
    victim = logs / "victim.txt"
    victim.write_bytes(b"not the log's to change")
    os.link(victim, logs / "hard.log.writing")
    os.symlink(victim, logs / "symbolic.log.writing")
    (logs / "theirs.log.writing").write_bytes(b"another user's file")
    os.link(victim, logs / "linked.log")
    planted = {path.name: path.read_bytes() for path in logs.iterdir()}
    for name in ("hard.log", "symbolic.log", "theirs.log", "linked.log"):
        assert run_quietly(s, ["/quiet", "/log", f"C:\\Logs\\{name}"]) == 0, name
        written = (logs / name).read_bytes().decode("utf-8")
        assert written.startswith("QuilletSetup 1.00 on "), written[:80]
    assert victim.read_bytes() == b"not the log's to change"
    assert (logs / "symbolic.log.writing").is_symlink()
    assert os.stat(logs / "linked.log").st_ino != os.stat(victim).st_ino, "the log is a new file"
    left = {path.name: path.read_bytes() for path in logs.iterdir() if path.name in planted}
    assert left == {name: data for name, data in planted.items() if name != "linked.log"} | \
        {"linked.log": left["linked.log"]}
    assert sorted(path.name for path in logs.iterdir()) == sorted(
        list(planted) + ["hard.log", "symbolic.log", "theirs.log"]), "no temporary file is left"


ALREADY_RUNNING = 1618
BUSY_YEAR = 3000


def runs_at_once(s):
    """Two, then three quiet runs started together, as a startup script, a person and a
    deployment tool's retry might: one works at a time, the others wait for it (or give up with
    1618 after a minute), and the registry ends as after one run, with no staging key left."""
    before = s.dump()
    wanted = before | expect.expected_lines(BUSY_YEAR, x86=False)
    views = (expect.NATIVE[0], expect.WOW64[0])
    emptied = before | {f"KEY {view}" for view in views} | {f"KEY {view}\\ODBC Data Sources" for view in views}
    for copies in (2, 3):
        started = time.time()
        processes = [s.prefix.start_wine([s.build / "QuilletSetup.exe", "/quiet", "/log",
                                          f"C:\\run-{copies}-{n}.log"]) for n in range(copies)]
        codes = [process.wait(timeout=900) for process in processes]
        print(f"{copies} runs at once: exit codes {codes} in {time.time() - started:.0f} s")
        assert set(codes) <= {0, ALREADY_RUNNING} and 0 in codes, codes
        after = s.dump()
        assert not [line for line in after if STAGING in line], "no staging key is left"
        assert_tree(after, wanted)
        assert run_quietly(s, ["/uninstall", "/quiet"], timeout=900) == 0
        assert_tree(s.dump(), emptied)


def abandoned_lock(s):
    """A run waiting for the lock while another process holds it takes it as soon as that one is
    killed, and completes; a run killed while it holds the lock leaves nothing that holds up the
    next one."""
    marker = Path(s.prefix.path) / "prefix" / "drive_c" / "held"
    lock = Path(s.prefix.path) / "prefix" / "drive_c" / "windows" / "QuilletSetup" / "Lock" / "QuilletSetup.lock"
    holder = s.prefix.start_holder([s.build / "holdlock.exe", "C:\\held"], marker)
    try:
        before = s.dump()
        waiting = s.prefix.start_wine([s.build / "QuilletSetup.exe", "/quiet", "/log", LOG])
        time.sleep(8)
        assert waiting.poll() is None, f"the run did not wait for the lock ({waiting.returncode})"
        assert s.dump() == before, "nothing is written while another run holds the lock"
    finally:
        kill_group(holder)
    killed = time.time()
    assert waiting.wait(timeout=300) == 0
    print(f"the waiting run ended {time.time() - killed:.1f} s after the holder was killed")
    assert_tree(s.dump(), before | expect.expected_lines(expect.this_year(), x86=False))
    assert not lock.exists(), "the lock file goes with its last handle"

    # A run of the program itself, killed while it holds the lock: the next one takes it at once.
    assert run_quietly(s, ["/uninstall", "/quiet"], timeout=300) == 0
    victim = s.prefix.start_wine([s.build / "QuilletSetup.exe", "/quiet"])
    deadline = time.time() + 60
    while not lock.exists() and time.time() < deadline and victim.poll() is None:
        time.sleep(0.02)
    assert lock.exists(), f"the run did not take the lock ({victim.poll()})"
    kill_group(victim)
    victim.wait(timeout=60)
    started = time.time()
    assert run_quietly(s, ["/quiet"], timeout=300) == 0
    took = time.time() - started
    print(f"after a run killed holding the lock, the next run took {took:.1f} s")
    assert took < 30, took
    assert_tree(s.dump(), before | expect.expected_lines(expect.this_year(), x86=False))


def old_lock_name_held(s):
    """An object of the old lock's name, whatever it is and whoever holds it, no longer matters:
    with an event and a mutex of that name held by another process, every run does its work."""
    before = s.dump()
    for kind in ("event", "foreign", "mutex"):
        marker = Path(s.prefix.path) / "prefix" / "drive_c" / f"taken-{kind}"
        arguments = ["Global\\QuilletSetup.OneRunAtATime", f"C:\\taken-{kind}"] + ([] if kind == "mutex" else [kind])
        holder = s.prefix.start_holder([s.build / "holdmutex.exe", *arguments], marker)
        try:
            started = time.time()
            code = run_quietly(s, ["/quiet"], timeout=120)
            print(f"a {kind} of the old name held: exit code {code} in {time.time() - started:.1f} s")
            assert code == 0, code
            assert_tree(s.dump(), before | expect.expected_lines(expect.this_year(), x86=False))
            for mode in ("/check", "/uninstall"):
                code = run_quietly(s, [mode, "/quiet", "/log", f"C:\\{kind}{mode[1:]}.log"], timeout=120)
                log = (Path(s.prefix.path) / "prefix" / "drive_c" / f"{kind}{mode[1:]}.log")
                assert code == 0, f"{mode}: exit code {code}\n" + (
                    log.read_text(errors="replace") if log.exists() else "no log")
        finally:
            kill_group(holder)


def log_below_a_link(s):
    """Links and folders a standard user could have changed. A folder on the way to the log turned
    into a link: the log is refused before anything changes (1622), and nothing is written where
    the link leads. The program's folder: see below. What Wine cannot show: owners, inherit-only
    entries, security that cannot be read, and a task's account or program."""
    drive = s.prefix.path / "prefix" / "drive_c"
    elsewhere = s.prefix.path / "elsewhere"
    (elsewhere / "Sub").mkdir(parents=True)
    os.symlink(elsewhere, drive / "Linked")
    before = s.dump()
    for log in ("C:\\Linked\\Sub\\run.log", "C:\\Linked\\run.log"):
        result = s.prefix.run_wine([s.build / "QuilletSetup.exe", "/quiet", "/log", log], check=False,
                                   timeout=120)
        print(f"/log {log}: exit code {result.returncode}: {result.stderr.strip()}")
        assert result.returncode == LOG_FAILURE, (log, result.returncode, result.stderr)
        assert "link or junction" in result.stderr, result.stderr
        assert s.dump() == before, "nothing is registered"
    written = [str(p) for p in elsewhere.rglob("*") if p.is_file()]
    assert not written, f"written through the link: {written}"

    # A program folder that is a link ends the run 1603, data sources registered and no task
    # (one that Everyone may change, mode 777: the package's test).
    windows = drive / "windows"
    (elsewhere / "Program").mkdir()
    os.symlink(elsewhere / "Program", windows / "QuilletSetup")
    (windows / "QuilletSetup" / "QuilletSetup.exe").write_bytes((s.build / "QuilletSetup.exe").read_bytes())
    result = s.prefix.run_wine(["C:\\windows\\QuilletSetup\\QuilletSetup.exe", "/quiet", "/schedule"],
                               check=False, timeout=300)
    print(f"/quiet /schedule from a linked program folder: exit code {result.returncode}: {result.stderr.strip()}")
    assert result.returncode == INSTALL_FAILURE and "is a link, junction or other reparse point" in result.stderr
    assert not [p for p in (windows / "system32").rglob("QuilletSetup") if "tasks" in str(p).lower()], "no task"
    assert_tree(s.dump(), before | expect.expected_lines(expect.this_year(), x86=False))

    # /check follows no link on the way to a database.
    (drive / "Brannic").mkdir()
    os.symlink(elsewhere, drive / "Brannic" / "Current")
    code, report = check(s)
    assert "C:\\Brannic\\Current is a link, junction or mount point" in report, report[-800:]


def report(s, *arguments, expected):
    """Runs the program with /json; the document, validated, whose exitCode is the process's."""
    result = s.prefix.run_wine([s.build / "QuilletSetup.exe", *arguments, "/json"], check=False,
                               timeout=300)
    assert result.returncode == expected & 0xFF, (arguments, result.returncode, result.stderr[-300:])
    document = check_report(result.stdout)
    assert document["exitCode"] == expected, document["exitCode"]
    return document


def states(document):
    return {(each["name"], each["view"]): each for each in document["dataSources"]}


def json_reports(s):
    """/check /json on a workstation in each state, and what /repair /json did: documents that
    validate against the schema, each state named exactly; and the event the install reports to
    the Application log, as Wine's trace shows it."""
    fresh = report(s, "/check", "/quiet", expected=1)
    assert set(fresh["counts"]) == {"missing"}, fresh["counts"]
    env = dict(s.prefix.env(), WINEDEBUG="+eventlog")
    traced = subprocess.run([s.prefix.loader(), s.build / "QuilletSetup.exe", "/quiet", "/log", LOG],
                            env=env, capture_output=True, timeout=300)
    assert traced.returncode == 0, traced.returncode
    events = [line for line in traced.stderr.decode(errors="replace").splitlines() if "eventlog" in line]
    print("event:", events[-2:])
    assert any("QuilletSetup install on " in line and "result: success, exit code 0" in line
               for line in events), events[-5:]
    complete = report(s, "/check", "/quiet", expected=0)
    assert set(complete["counts"]) == {"complete"}, complete["counts"]
    print("complete:", complete["summary"])

    native, wow = expect.NATIVE[0], expect.WOW64[0]
    s.prefix.run_tool(["reg", "delete", f"HKLM\\{native}\\Quillet2010-S\\Engines\\Jet", "/v", "Threads", "/f"])
    s.prefix.reg_add(f"HKLM\\{wow}\\Quillet-R", "DBQ", "D:\\Custom \"Łódź\".mdb")
    s.prefix.reg_add(f"HKLM\\{wow}\\Quillet-S1", "Driver", "C:\\WinNT\\System32\\odbcjt32.dll")
    s.prefix.run_tool(["reg", "delete", f"HKLM\\{native}\\Quillet2005-R", "/f"])
    s.prefix.run_tool(["reg", "delete", f"HKLM\\{native}\\ODBC Data Sources", "/v", "Quillet2005-R", "/f"])
    # A text beyond ASCII, as Windows holds it, shows as itself in the document and in the log.
    accented = "C:\\Donn\u00e9es\\\u20acuvre-\u0153.mdb"
    s.prefix.reg_add(f"HKLM\\{wow}\\Quillet-R1", "DBQ", accented)
    mixed = report(s, "/check", "/quiet", "/log", LOG, expected=1)
    found = states(mixed)
    assert found[("Quillet-R1", "32-bit")]["differs"] == ["DBQ"], found[("Quillet-R1", "32-bit")]
    assert f"database {accented} not found (1 data source)" in mixed["warnings"], mixed["warnings"]
    assert any(line.endswith(f"database {accented} not found (1 data source)") for line in log_lines(s)), \
        [line for line in log_lines(s) if "not found" in line]
    print("accented:", [w for w in mixed["warnings"] if "Donn" in w])
    assert found[("Quillet2010-S", "native")] == {"name": "Quillet2010-S", "view": "native", "state": "incomplete",
                                                  "missing": ["Engines\\Jet\\Threads"]}, found[("Quillet2010-S", "native")]
    assert found[("Quillet-R", "32-bit")]["state"] == "customised"
    assert found[("Quillet-R", "32-bit")]["differs"] == ["DBQ"]
    assert found[("Quillet-S1", "32-bit")]["state"] == "earlier-driver"
    assert found[("Quillet2005-R", "native")]["state"] == "missing"
    assert mixed["counts"]["complete"] == len(found) - 5, mixed["counts"]
    print("/check /json:", json.dumps({k: mixed[k] for k in ("mode", "exitCode", "result", "summary", "counts")}))

    repaired = report(s, "/repair", "/quiet", expected=0)
    found = states(repaired)
    assert found[("Quillet2010-S", "native")]["state"] == "repaired", found[("Quillet2010-S", "native")]
    assert found[("Quillet2010-S", "native")]["missing"] == ["Engines\\Jet\\Threads"]
    assert found[("Quillet-S1", "32-bit")]["state"] == "repaired"
    assert found[("Quillet2005-R", "native")]["state"] == "registered"
    assert found[("Quillet-R", "32-bit")]["state"] == "already-present"
    report(s, "/check", "/quiet", expected=0)


def exported_and_retyped(s):
    """Texts are stored as Windows stores them, terminator included: a data source exported with
    reg export, deleted and imported again, and a value typed back by hand with exactly the
    program's text, are still complete, and /uninstall takes them away."""
    native, wow = expect.NATIVE[0], expect.WOW64[0]
    assert run_quietly(s, ["/quiet"]) == 0
    exported = "C:\\quillet2005-r.reg"
    s.prefix.run_tool(["reg", "export", f"HKLM\\{native}\\Quillet2005-R", exported, "/y"])
    s.prefix.run_tool(["reg", "delete", f"HKLM\\{native}\\Quillet2005-R", "/f"])
    s.prefix.run_tool(["reg", "import", exported])
    s.prefix.reg_add(f"HKLM\\{wow}\\Quillet-R1", "DBQ", "C:\\Brannic\\Current\\Quillet-R1.mdb")
    code, report = check(s)
    assert "Quillet2005-R (native view): complete\n" in report, report[:1500]
    assert "Quillet-R1 (32-bit-on-64-bit view): complete\n" in report, report[:1500]
    assert code == 0, report[-500:]
    assert run_quietly(s, ["/uninstall", "/quiet", "/log", LOG]) == 0
    assert log_lines(s)[-2].endswith(" 0 kept, 0 not present, 0 failed"), log_lines(s)[-2]
    assert log_lines(s)[-1] == "Result: success, exit code 0", log_lines(s)[-1]


def wait_for_window(display, title, timeout=300):
    deadline = time.time() + timeout
    while time.time() < deadline:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                               capture_output=True, text=True, env={"DISPLAY": display.name})
        if found.stdout.split():
            return found.stdout.split()
        time.sleep(0.2)
    raise AssertionError(f"no {title!r} window within {timeout} s")


def timed(s, arguments):
    started = time.time()
    result = s.prefix.run_wine([s.build / "QuilletSetup.exe", *arguments], check=False, timeout=300)
    return result.returncode, time.time() - started


def box_left_open(s):
    """A technician leaves the completion message open: the log is already in place, and neither
    an install nor a detection rule started meanwhile waits for that box."""
    process = s.prefix.start_wine([s.build / "QuilletSetup.exe", "/log", LOG])
    try:
        wait_for_window(s.prefix.display, "Quillet Installation")
        assert log_lines(s)[-1] == "Result: success, exit code 0", log_lines(s)[-3:]
        for arguments in (["/quiet"], ["/check", "/quiet"]):
            code, took = timed(s, arguments)
            print(f"{' '.join(arguments)} while the box is open: exit code {code} in {took:.1f} s")
            assert code == 0 and took < 30, (arguments, code, took)
        assert process.poll() is None, "the box is still open"
    finally:
        code = press_ok_when_shown(s.prefix.display, "Quillet Installation", process, timeout=120)
    assert code == 0, code


def uninstall_answered_no(s):
    """The question of /uninstall holds no lock while it waits, and No leaves everything as it was
    and says so in the log."""
    assert run_quietly(s, ["/quiet"]) == 0
    before = s.dump()
    process = s.prefix.start_wine([s.build / "QuilletSetup.exe", "/uninstall", "/log", LOG])
    try:
        wait_for_window(s.prefix.display, "Quillet Installation")
        code, took = timed(s, ["/check", "/quiet"])
        print(f"/check while the question is open: exit code {code} in {took:.1f} s")
        assert code == 0 and took < 30, (code, took)
        answered = press_ok_when_shown(s.prefix.display, "Quillet Installation", process, timeout=60,
                                       key="n")
        assert answered == USER_DECLINED, answered
    finally:
        kill_group(process)
    assert s.dump() == before, "nothing was removed"
    assert log_lines(s)[-2:] == ["The user answered No: nothing was removed.",
                                 "Result: declined by the user, exit code 1602"], log_lines(s)


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def recipes(s):
    """The README's commands for deployment tools, as its scripts are, under Wine's cmd: the
    install command keeps the program in %windir%\\QuilletSetup, detection then passes, and the
    remediation leaves things as they are."""
    deploy = Path(__file__).resolve().parent.parent.parent / "scripts" / "deploy"
    readme = (deploy.parent.parent / "README.md").read_text()
    package = s.prefix.path / "prefix" / "drive_c" / "Package"
    package.mkdir()
    for script in deploy.glob("*.cmd"):
        text = script.read_text().replace("\r\n", "\n")
        assert text.strip() in readme, f"README does not show {script.name} as it is"
        (package / script.name).write_bytes(script.read_bytes())
    (package / "QuilletSetup.exe").write_bytes((s.build / "QuilletSetup.exe").read_bytes())
    windows = s.prefix.path / "prefix" / "drive_c" / "windows"
    before = s.dump()
    for script, expected in (("Check-QuilletSetup.cmd", 1), ("Install-QuilletSetup.cmd", 0),
                             ("Check-QuilletSetup.cmd", 0), ("Repair-QuilletSetup.cmd", 0),
                             ("Install-QuilletSetup.cmd", 0), ("Check-QuilletSetup.cmd", 0)):
        result = s.prefix.run_wine(["cmd", "/c", f"C:\\Package\\{script}"], check=False, timeout=300)
        print(f"{script}: exit code {result.returncode}")
        assert result.returncode == expected, (script, result.returncode, result.stdout[-300:],
                                               result.stderr[-300:])
        if script == "Install-QuilletSetup.cmd":
            assert (windows / "QuilletSetup" / "QuilletSetup.exe").exists()
            tasks = [folder / "QuilletSetup" for folder in (windows / "system32").iterdir()
                     if folder.name.lower() == "tasks"]
            assert tasks and tasks[0].exists(), ("the kept copy's task", result.stdout[-300:])
            assert_tree(s.dump(), before | expect.expected_lines(expect.this_year(), x86=False))
    logs = next(folder for folder in windows.iterdir() if folder.name.lower() == "logs")
    for log in ("QuilletSetup.log", "QuilletSetup-repair.log"):
        lines = (logs / log).read_bytes().decode("utf-8").split("\r\n")
        assert lines[-2] == "Result: success, exit code 0", (log, lines[-3:])

    # Anyone who may list %windir%\Logs may hold it sharing nothing: a logged removal, the install
    # and the remediation still end 0 and do their work. Anyone who may read a copy of the program
    # kept by an earlier version may hold it so: the install's copy stays as it was.
    installed = before | expect.expected_lines(expect.this_year(), x86=False)
    holders = [hold(s, f"C:\\windows\\{logs.name}", windows / f"{logs.name}.held")]
    try:
        for command, registers in (([package / "QuilletSetup.exe", "/uninstall", "/quiet", "/log",
                                     "C:\\windows\\Logs\\QuilletSetup.log"], False),
                                   (["cmd", "/c", "C:\\Package\\Install-QuilletSetup.cmd"], True),
                                   (["cmd", "/c", "C:\\Package\\Repair-QuilletSetup.cmd"], True)):
            result = s.prefix.run_wine(command, check=False, timeout=300)
            print(f"{command} with the logs' folder held: exit code {result.returncode}")
            assert result.returncode == 0, (command, result.stdout[-300:], result.stderr[-300:])
            if registers:
                assert_tree(s.dump(), installed)
            else:
                assert not [line for line in s.dump() if "Quillet" in line], "every data source is removed"
        holders.append(hold(s, "C:\\windows\\QuilletSetup\\QuilletSetup.exe",
                            windows / "QuilletSetup" / "QuilletSetup.exe.held"))
        result = s.prefix.run_wine(["cmd", "/c", "C:\\Package\\Install-QuilletSetup.cmd"], check=False,
                                   timeout=300)
    finally:
        for holder in holders:
            kill_group(holder)
    print(f"Install-QuilletSetup.cmd with the program held too: exit code {result.returncode}: "
          f"{result.stdout.strip()}")
    assert result.returncode == 0 and "is held open by another program" in result.stdout, result


def task_scheduler_not_running(s):
    """A Task Scheduler that cannot be reached (its service disabled, the server restarted) is
    waited for half a minute, then fails /schedule alone. One that starts late: in memory only."""
    s.prefix.reg_add("HKLM\\System\\CurrentControlSet\\Services\\Schedule", "Start", "4", "REG_DWORD")
    s.prefix.stop_server()
    s.prefix.keep_server()
    folder = s.prefix.path / "prefix" / "drive_c" / "windows" / "QuilletSetup"
    folder.mkdir()
    (folder / "QuilletSetup.exe").write_bytes((s.build / "QuilletSetup.exe").read_bytes())
    status = "0x80041315 (the Task Scheduler service is not running)"
    for arguments, code, said in ((["/quiet", "/schedule"], INSTALL_FAILURE, f"could not be registered: {status}"),
                                  (["/uninstall", "/quiet"], 0, f"could not be looked for: {status}; a task")):
        started = time.time()
        result = s.prefix.run_wine(["C:\\windows\\QuilletSetup\\QuilletSetup.exe", *arguments, "/log", LOG],
                                   check=False, timeout=300)
        lines = log_lines(s)
        print(f"{arguments}: exit code {result.returncode} after {time.time() - started:.0f} s: {lines[-3]}")
        assert result.returncode == code and said in lines[-3], (result, lines[-4:])
        assert 25 < time.time() - started < 100, "waited half a minute"


SCENARIOS = {"task_scheduler_not_running": task_scheduler_not_running, "quiet_runs": quiet_runs, "box_left_open": box_left_open,
             "uninstall_answered_no": uninstall_answered_no, "recipes": recipes,
             "old_lock_name_held": old_lock_name_held, "log_below_a_link": log_below_a_link,
             "json_reports": json_reports, "unknown_switch": unknown_switch,
             "log_folders_as_administrators_type_them": log_folders_as_administrators_type_them,
             "check_and_uninstall": check_and_uninstall,
             "killed_part_way": killed_part_way, "incomplete_then_repair": incomplete_then_repair,
             "runs_at_once": runs_at_once, "abandoned_lock": abandoned_lock,
             "exported_and_retyped": exported_and_retyped,
             "planted_beside_the_log": planted_beside_the_log}
YEARS = {"killed_part_way": 3000, "runs_at_once": BUSY_YEAR}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    options = parser.parse_args()
    year = YEARS.get(options.scenario)
    offset = seconds_until(year) if year else None
    with Display() as display, WinePrefix(Path(options.build) / "wine", options.scenario, display,
                                          clock_offset=offset) as prefix:
        SCENARIOS[options.scenario](Scenario(options.build, prefix))
    print(f"{options.scenario}: passed")


if __name__ == "__main__":
    main()
