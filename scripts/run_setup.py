"""Runs QuilletSetup.exe on a throwaway Wine prefix and prints what it registered.

With a display (DISPLAY set and reachable) the windows appear there and you press OK yourself.
Without one the program runs on a private Xvfb display: this script takes screenshots of the
progress window and the completion message, then presses OK."""

import argparse
import contextlib
import os
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "wine"))

from winelab import HKLM_ODBC_VIEWS, Display, WinePrefix  # noqa: E402


class UserDisplay:
    name = os.environ.get("DISPLAY")


def user_display_works():
    if not UserDisplay.name:
        return False
    return subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True).returncode == 0


def find_window(display, title):
    found = subprocess.run(["xdotool", "search", "--name", f"^{title}$"], capture_output=True, text=True,
                           env={"DISPLAY": display.name})
    return found.stdout.split()[0] if found.stdout.split() else None


def attend(display, process, shots):
    """Screenshots of what the program shows, then OK on the completion message."""
    seen_progress = False
    while process.poll() is None:
        if not seen_progress and find_window(display, "Searching"):
            display.screenshot(shots / "progress.png")
            seen_progress = True
        box = find_window(display, "Quillet Installation")
        if box:
            time.sleep(0.3)
            display.screenshot(shots / "completion.png")
            subprocess.run(["xdotool", "key", "--window", box, "Return"], capture_output=True,
                           env={"DISPLAY": display.name})
        time.sleep(0.1)


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
    parser.add_argument("arguments", nargs=argparse.REMAINDER, help="passed on to QuilletSetup.exe")
    options = parser.parse_args()
    build = Path(options.build).resolve()
    interactive = user_display_works()
    shots = build / "screenshots" / "run-setup"
    shots.mkdir(parents=True, exist_ok=True)
    with contextlib.ExitStack() as stack:
        display = UserDisplay() if interactive else stack.enter_context(Display())
        prefix = stack.enter_context(WinePrefix(build / "wine", "run-setup", display, options.keep))
        print(f"prefix: {prefix.path}")
        if interactive:
            print(f"the windows appear on display {display.name}: press OK when setup is complete")
        process = prefix.start_wine([build / "QuilletSetup.exe", *options.arguments])
        if not interactive:
            attend(display, process, shots)
            print(f"screenshots of what it showed: {shots}")
        process.wait()
        print(f"QuilletSetup.exe exited with {process.returncode}")
        dump = prefix.run_wine([build / "regdump.exe", *HKLM_ODBC_VIEWS]).stdout.splitlines()
        describe(dump)
        return process.returncode


if __name__ == "__main__":
    sys.exit(main())
