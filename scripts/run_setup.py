"""Runs QuilletSetup.exe on a throwaway Wine prefix and prints what it registered."""

import argparse
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "wine"))

from winelab import HKLM_ODBC_VIEWS, Display, WinePrefix  # noqa: E402


def describe(dump):
    """One line per data source: view, name, database path."""
    for root in HKLM_ODBC_VIEWS:
        names = sorted({line.split("|")[1] for line in dump
                        if line.startswith(f"VALUE {root}\\ODBC Data Sources|")})
        print(f"{root}: {len(names)} data sources")
        for name in names:
            dbq = next((line for line in dump if line.startswith(f"VALUE {root}\\{name}|DBQ|")), None)
            path = bytes.fromhex(dbq.split("|")[-1]).decode("utf-16-le") if dbq else "?"
            print(f"  {name:<16} {path}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--keep", action="store_true", help="keep the prefix afterwards")
    options = parser.parse_args()
    build = Path(options.build).resolve()
    with Display() as display, WinePrefix(build / "wine", "run-setup", display, options.keep) as prefix:
        print(f"prefix: {prefix.path}")
        result = prefix.run_wine([build / "QuilletSetup.exe"], check=False, timeout=600)
        print(f"QuilletSetup.exe exited with {result.returncode}")
        dump = prefix.run_wine([build / "regdump.exe", *HKLM_ODBC_VIEWS]).stdout.splitlines()
        describe(dump)
        return result.returncode


if __name__ == "__main__":
    sys.exit(main())
