"""Runs one Windows program in a fresh throwaway Wine prefix and passes on its exit code."""

import argparse
import sys

from winelab import Display, WinePrefix


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--work", required=True, help="folder for the throwaway prefix")
    parser.add_argument("--expect-desktop-folder",
                        help="a folder the program leaves on its desktop, looked for from Linux")
    parser.add_argument("program")
    parser.add_argument("args", nargs=argparse.REMAINDER)
    options = parser.parse_args()
    with Display() as display, WinePrefix(options.work, "run", display) as prefix:
        result = prefix.run_wine([options.program, *options.args], check=False, timeout=600)
        sys.stdout.write(result.stdout)
        sys.stderr.write(result.stderr)
        if result.returncode == 0 and options.expect_desktop_folder:
            return check_desktop_folder(prefix, options.expect_desktop_folder)
        return result.returncode


def check_desktop_folder(prefix, name):
    """The folder must be on the Windows desktop, and so (through Wine's link) in the Linux home."""
    home = (prefix.path / "home").resolve()
    for desktop in (prefix.path / "prefix" / "drive_c" / "users").glob("*/Desktop"):
        folder = (desktop / name).resolve()
        if folder.is_dir() and folder.is_relative_to(home):
            print(f"{name!r} on the desktop is {folder} on Linux")
            return 0
    print(f"{name!r} was not found on the desktop inside {home}")
    return 1


if __name__ == "__main__":
    sys.exit(main())
