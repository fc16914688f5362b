"""Times QuilletSetup.exe under wine64 against regedit importing the identical tree.

In one fresh prefix with a warm wineserver, each round times, in turn: the first quiet run on an
empty ODBC.INI, a rerun with everything present, `/check` of that workstation (what detection
runs every hour), and `regedit /s` importing a .reg file of exactly the tree the run writes
(generated from the tests' expectation). Prints the medians and ratios: a rerun and /check each
read what the first run writes, so their budget is the first run's time (/check's twice that)."""

import argparse
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "wine"))
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

import odbc_expectation as expect  # noqa: E402
from winelab import HKLM_ODBC_VIEWS, WINE, WinePrefix  # noqa: E402


def reg_file(lines):
    """A .reg file of the same keys and values."""
    keys = {}
    for line in sorted(lines):
        kind, _, rest = line.partition(" ")
        if kind == "KEY":
            keys.setdefault(rest, [])
        else:
            path, name, kind_code, data = rest.split("|")
            keys.setdefault(path, []).append((name, int(kind_code), data))
    out = ["Windows Registry Editor Version 5.00", ""]
    for path in sorted(keys, key=lambda p: p.count("\\")):
        out.append(f"[HKEY_LOCAL_MACHINE\\{path}]")
        for name, kind, data in keys[path]:
            if kind == 4:
                out.append(f'"{name}"=dword:{int.from_bytes(bytes.fromhex(data), "little"):08x}')
            else:
                # The expected data hold the terminating NUL the program stores; regedit adds its own.
                text = bytes.fromhex(data).decode("utf-16-le").removesuffix("\0")
                text = text.replace("\\", "\\\\").replace('"', '\\"')
                out.append(f'"{name}"="{text}"')
        out.append("")
    return "\r\n".join(out)


def timed(prefix, args, expected=(0,)):
    start = time.perf_counter()
    result = subprocess.run([WINE, *map(str, args)], env=prefix.env(), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if result.returncode not in expected:
        raise RuntimeError(f"{args} exited {result.returncode}")
    return elapsed


def clear(prefix):
    for view in HKLM_ODBC_VIEWS:
        prefix.run_wine(["reg", "delete", f"HKLM\\{view}", "/f"], check=False)


def dump(prefix, build):
    """The tree, texts without a terminating NUL: regedit stores one after every text, empty ones
    included, where the program stores none after an empty text."""
    lines = prefix.run_wine([build / "regdump.exe", *HKLM_ODBC_VIEWS]).stdout.splitlines()
    return {line[:-4] if "|1|" in line and line.endswith("0000") and len(line.rsplit("|", 1)[1]) % 4 == 0
            else line for line in lines}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=str(ROOT / "build" / "win64"))
    parser.add_argument("--rounds", type=int, default=7)
    options = parser.parse_args()
    build = Path(options.build)
    exe = build / "QuilletSetup.exe"
    with WinePrefix(build / "wine", "bench") as prefix, tempfile.TemporaryDirectory() as folder:
        clear(prefix)
        regfile = Path(folder) / "odbc.reg"
        regfile.write_text(reg_file(expect.expected_lines(expect.this_year(), x86=False)),
                           encoding="utf-16")
        # The import must give exactly the program's tree, or the comparison means nothing.
        prefix.run_wine(["regedit", "/s", regfile])
        imported = dump(prefix, build)
        clear(prefix)
        prefix.run_wine([exe, "/quiet"])
        if dump(prefix, build) != imported:
            raise SystemExit("the .reg file does not give the program's tree")
        first, rerun, check, regedit = [], [], [], []
        for _ in range(options.rounds):
            clear(prefix)
            first.append(timed(prefix, [exe, "/quiet"]))
            rerun.append(timed(prefix, [exe, "/quiet"]))
            # No Access driver in a fresh prefix: /check says what is missing, and exits 0.
            check.append(timed(prefix, [exe, "/check", "/quiet"], expected=(0, 1)))
            clear(prefix)
            regedit.append(timed(prefix, ["regedit", "/s", regfile]))
        medians = {name: statistics.median(times)
                   for name, times in (("first run", first), ("rerun", rerun), ("check", check),
                                       ("regedit", regedit))}
    for name, value in medians.items():
        print(f"{name:10s} median {value * 1000:7.1f} ms over {options.rounds} rounds")
    print(f"first run / regedit import: {medians['first run'] / medians['regedit']:.2f} (budget 1.0)")
    print(f"rerun / first run:          {medians['rerun'] / medians['first run']:.2f} (budget 1.0)")
    print(f"/check / first run:         {medians['check'] / medians['first run']:.2f} (budget 2.0)")
    print(f"/check / rerun:             {medians['check'] / medians['rerun']:.2f}")


if __name__ == "__main__":
    main()
