"""Runs QuilletSetup.exe on a throwaway Wine prefix, prints what it wrote to standard output and
what it registered.

The program users get is the shipped 32-bit exe on 64-bit Windows: it runs under 32-bit Wine in a
64-bit prefix wherever this machine executes 32-bit code, otherwise the x86-64 build of the same
sources runs under wine64; the script says which. With a display (DISPLAY set and reachable) the
windows appear there and you answer them yourself. Without one the program runs on a private Xvfb
display: this script takes a screenshot of every window it shows and answers every message box
that belongs to it. Either way it ends within a time limit."""

import argparse
import contextlib
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "wine"))

from winelab import HKLM_ODBC_VIEWS, Display, WinePrefix, kill_group, thirty_two_bit_wine  # noqa: E402

TIME_LIMIT = 600  # seconds; a run of this year's data sources takes a few


class UserDisplay:
    name = os.environ.get("DISPLAY")


def user_display_works():
    if not UserDisplay.name:
        return False
    return subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True).returncode == 0


def xdotool(display, *args):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True,
                            env={"DISPLAY": display.name})
    return result.stdout.strip()


def windows_of(display, pid):
    """The visible windows of the program's process; on a display of our own, every visible one
    (Wine does not always mark a window with its process)."""
    found = xdotool(display, "search", "--onlyvisible", "--pid", str(pid), "").split()
    return found or xdotool(display, "search", "--onlyvisible", "--name", ".").split()


def attend(display, process, shots):
    """A screenshot of every window the program shows, then Return in each one that is not the
    main window or the progress window: whatever message box it is, it is answered."""
    shown = set()
    own = {"Quillet Setup", "Searching"}
    while process.poll() is None:
        for window in windows_of(display, process.pid):
            title = xdotool(display, "getwindowname", window)
            if not title:
                continue
            if window not in shown:
                time.sleep(0.3)
                shown.add(window)
                name = "".join(c if c.isalnum() else "-" for c in title).strip("-").lower()
                display.screenshot(shots / f"{len(shown):02d}-{name}.png")
            if title not in own:
                xdotool(display, "key", "--window", window, "Return")
        time.sleep(0.2)


def describe(dump):
    """One line per data source: view, name, database path."""
    for root in HKLM_ODBC_VIEWS:
        names = sorted({line.split("|")[1] for line in dump
                        if line.startswith(f"VALUE {root}\\ODBC Data Sources|")})
        print(f"{root}: {len(names)} data sources")
        for name in names:
            dbq = next((line for line in dump if line.startswith(f"VALUE {root}\\{name}|DBQ|")), None)
            path = bytes.fromhex(dbq.split("|")[-1]).decode("utf-16-le").rstrip("\0") if dbq else "?"
            print(f"  {name:<16} {path}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build64", required=True, help="the x86-64 build (its regdump reads the registry)")
    parser.add_argument("--build32", required=True, help="the shipped 32-bit build")
    parser.add_argument("--keep", action="store_true", help="keep the prefix afterwards")
    parser.add_argument("arguments", nargs=argparse.REMAINDER, help="passed on to QuilletSetup.exe")
    options = parser.parse_args()
    build64, build32 = Path(options.build64).resolve(), Path(options.build32).resolve()
    why_not_32 = thirty_two_bit_wine()
    if why_not_32 is None and (build32 / "QuilletSetup.exe").exists():
        exe, bits = build32 / "QuilletSetup.exe", 32
        print(f"running the shipped 32-bit {exe} under 32-bit Wine on 64-bit Windows (a 64-bit prefix)")
    else:
        exe, bits = build64 / "QuilletSetup.exe", 64
        print(f"running the x86-64 build {exe} under wine64: {why_not_32 or 'no 32-bit build'}")
    interactive = user_display_works()
    shots = build64 / "screenshots" / "run-setup"
    shots.mkdir(parents=True, exist_ok=True)
    for old in shots.glob("*.png"):
        old.unlink()
    with contextlib.ExitStack() as stack:
        display = UserDisplay() if interactive else stack.enter_context(Display())
        prefix = stack.enter_context(WinePrefix(build64 / "wine", "run-setup", display, options.keep))
        print(f"prefix: {prefix.path}")
        if interactive:
            print(f"the windows appear on display {display.name}: answer them there")
        output = stack.enter_context(tempfile.TemporaryFile())
        process = subprocess.Popen([prefix.loader(bits), str(exe), *options.arguments], env=prefix.env(),
                                   stdin=subprocess.DEVNULL, stdout=output, stderr=output,
                                   start_new_session=True)
        deadline = time.time() + TIME_LIMIT
        try:
            if not interactive:
                attend(display, process, shots)
            process.wait(timeout=max(1, deadline - time.time()))
        except subprocess.TimeoutExpired:
            kill_group(process)
            print(f"QuilletSetup.exe did not end within {TIME_LIMIT} s and was stopped")
            return 1
        output.seek(0)
        said = output.read().decode("utf-8", errors="replace").replace("\r\n", "\n")
        if said.strip():
            print("--- what it wrote to standard output and standard error")
            print(said.rstrip("\n"))
            print("---")
        if not interactive:
            print(f"screenshots of what it showed: {shots}")
        print(f"QuilletSetup.exe exited with {process.returncode}")
        dump = prefix.run_wine([build64 / "regdump.exe", *HKLM_ODBC_VIEWS]).stdout.splitlines()
        describe(dump)
        return process.returncode


if __name__ == "__main__":
    sys.exit(main())
