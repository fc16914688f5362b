"""Runs one Windows program in a fresh throwaway Wine prefix and passes on its exit code."""

import argparse
import sys

from winelab import Display, WinePrefix


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--work", required=True, help="folder for the throwaway prefix")
    parser.add_argument("program")
    parser.add_argument("args", nargs=argparse.REMAINDER)
    options = parser.parse_args()
    with Display() as display, WinePrefix(options.work, "run", display) as prefix:
        result = prefix.run_wine([options.program, *options.args], check=False, timeout=600)
        sys.stdout.write(result.stdout)
        sys.stderr.write(result.stderr)
        return result.returncode


if __name__ == "__main__":
    sys.exit(main())
