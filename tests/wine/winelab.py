"""Throwaway Wine prefixes and X displays for the tests that run the program for real.

Each prefix lives in the build tree with a HOME of its own, runs under its own wineserver, and is
stopped (and deleted, unless asked to keep it) when the `with` block ends.
"""

import datetime
import os
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

WINE = "/usr/lib/wine/wine64"
WINE32 = "/usr/lib/wine/wine"
WINESERVER = "/usr/lib/wine/wineserver64"
WINE_CLIENT_ERROR = "wine client error:"
WINE_FONTS = Path("/usr/share/wine/fonts")
FAKETIME_LIB = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
SKIPPED = 77  # ctest's SKIP_RETURN_CODE for the tests that cannot run on this machine
HKLM_ODBC_VIEWS = ("SOFTWARE\\ODBC\\ODBC.INI", "SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI")


class Display:
    """An Xvfb server on a free display number."""

    def __init__(self, width=1024, height=768, dpi=None):
        self.width, self.height, self.dpi = width, height, dpi
        self.process = None
        self.name = None

    def __enter__(self):
        # Xvfb picks a free display number itself and reports it once it accepts connections, so
        # tests started side by side never share (or lose) a display.
        read_end, write_end = os.pipe()
        args = ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{self.width}x{self.height}x24",
                "-nolisten", "tcp"]
        if self.dpi:
            args += ["-dpi", str(self.dpi)]
        self.process = subprocess.Popen(args, pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as reported:
            number = reported.readline().strip()
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = f":{number}"
        return self

    def __exit__(self, *exc):
        if self.process:
            self.process.terminate()
            self.process.wait(timeout=10)

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.name, "-window", "root", str(path)], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)


def seconds_until(year, month=6, day=15):
    """The FAKETIME offset that moves the clock to a day of the given year."""
    target = datetime.datetime(year, month, day, 12, 0, 0)
    return int((target - datetime.datetime.now()).total_seconds())


def thirty_two_bit_wine():
    """Why 32-bit Windows programs cannot run here, or None when they can: the kernel must execute
    i386 code and 32-bit Wine must be installed."""
    why = thirty_two_bit_kernel()
    if why:
        return why
    if not os.access(WINE32, os.X_OK):
        why = Path(__file__).resolve().parents[2] / "build" / "wine32-unavailable"
        told = f": {why.read_text().strip()}" if why.exists() else ""
        return f"32-bit Wine is not installed ({WINE32} is missing){told}"
    return None


def thirty_two_bit_kernel():
    """Why this machine's kernel cannot execute i386 code (a tiny program of our own tells), or
    None when it can."""
    with tempfile.TemporaryDirectory() as folder:
        source, program = Path(folder) / "exit.s", Path(folder) / "exit"
        source.write_text(".globl _start\n_start:\n movl $1, %eax\n movl $42, %ebx\n int $0x80\n")
        try:
            subprocess.run(["as", "--32", "-o", f"{program}.o", str(source)], check=True,
                           capture_output=True)
            subprocess.run(["ld", "-m", "elf_i386", "-o", str(program), f"{program}.o"], check=True,
                           capture_output=True)
            ran = subprocess.run([str(program)], capture_output=True).returncode
        except (OSError, subprocess.CalledProcessError) as error:
            return f"this machine's kernel cannot execute 32-bit code ({error})"
        if ran != 42:
            return f"this machine's kernel cannot execute 32-bit code (a 32-bit program exited {ran})"
    return None


class WinePrefix:
    def __init__(self, work, name, display=None, keep=False, clock_offset=None, arch="win64"):
        """`clock_offset` (seconds) moves the clock of every Wine process of the prefix once it is
        booted. The boot runs on the real clock: with 32-bit Wine installed it starts 32-bit helper
        processes, whose clock libfaketime cannot move, and a server and a client on different
        clocks can wait for each other forever. `arch` "win32" makes a 32-bit Windows."""
        self.path = Path(work).resolve() / f"{name}-{os.getpid()}"
        self.display = display
        self.keep = keep
        self.clock_offset = clock_offset
        self.clock_faked = False
        self.arch = arch
        self.server_kept = False

    # --- environment -----------------------------------------------------------------------
    def env(self):
        env = dict(os.environ)
        home = self.path / "home"
        env.update({
            "WINEPREFIX": str(self.path / "prefix"),
            "WINEDEBUG": "-all",
            "WINEARCH": self.arch,
            "HOME": str(home),
            "XDG_CONFIG_HOME": str(home / ".config"),
            "XDG_DATA_HOME": str(home / ".local" / "share"),
            "XDG_CACHE_HOME": str(home / ".cache"),
            # No Mono or Gecko installer dialogs in a fresh prefix.
            "WINEDLLOVERRIDES": "mscoree=;mshtml=",
        })
        if self.display is not None:
            env["DISPLAY"] = self.display.name
        else:
            env.pop("DISPLAY", None)
        if self.clock_offset is not None and self.clock_faked:
            env["LD_PRELOAD"] = FAKETIME_LIB
            env["FAKETIME"] = f"{self.clock_offset:+d}"
            env["FAKETIME_DONT_RESET"] = "1"
        else:
            env.pop("LD_PRELOAD", None)
            env.pop("FAKETIME", None)
        return env

    # --- life cycle --------------------------------------------------------------------------
    def __enter__(self):
        if self.path.exists():
            shutil.rmtree(self.path)
        (self.path / "home").mkdir(parents=True)
        self.run_wine(["wineboot", "--init"], timeout=180)
        # wineboot returns while what it started (the 32-bit half of a WOW64 prefix, services,
        # the registry's first save) still runs. A wineserver left to itself then ends a few
        # seconds after its last program, and a program that starts as it goes finds its
        # connection reset, or is killed with exit code 1 saying nothing. So once this one has
        # ended (the prefix is complete), one server is kept for the prefix's whole life.
        self.wait_server()
        self.keep_server()
        # Xvfb has no window manager: let Wine draw the title bars and frames itself.
        self.reg_add("HKCU\\Software\\Wine\\X11 Driver", "Managed", "N")
        # Wine draws the title bar's buttons with the Marlett font, which this packaging of Wine
        # keeps beside its own fonts but does not register: without it they show as "0 1 r".
        fonts = self.path / "prefix" / "drive_c" / "windows" / "Fonts"
        for font in ("marlett.ttf", "tahoma.ttf", "tahomabd.ttf"):
            source = WINE_FONTS / font
            if source.exists() and not (fonts / font).exists():
                shutil.copyfile(source, fonts / font)
        if self.clock_offset is not None:
            self.stop_server()
            self.clock_faked = True
            self.keep_server()
        return self

    def __exit__(self, *exc):
        self.stop_server()
        if not self.keep:
            shutil.rmtree(self.path, ignore_errors=True)

    def wait_server(self):
        """Waits for the prefix to come to rest: for its wineserver to end, unless it is kept."""
        if not self.server_kept:
            subprocess.run([WINESERVER, "-w"], env=self.env(), timeout=120)

    def stop_server(self):
        subprocess.run([WINESERVER, "-k"], env=self.env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        subprocess.run([WINESERVER, "-w"], env=self.env(), timeout=60)
        self.server_kept = False

    def keep_server(self):
        """A wineserver that outlives every process started after it (it keeps volatile keys, and
        the hardware key Wine rebuilds whenever a server starts)."""
        subprocess.run([WINESERVER, "-p"], env=self.env(), check=True, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.server_kept = True


    # --- running -----------------------------------------------------------------------------
    def loader(self, bits=64):
        return WINE32 if bits == 32 or self.arch == "win32" else WINE

    def run_wine(self, args, timeout=300, check=True, bits=64):
        # Output goes through files, not pipes: Wine's helper processes inherit the handles and
        # can outlive the program (under a persistent wineserver), so a pipe may never close.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            process = subprocess.run([self.loader(bits), *map(str, args)], env=self.env(), stdout=out, stderr=err,
                                     stdin=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            err.seek(0)
            result = subprocess.CompletedProcess(process.args, process.returncode,
                                                 out.read().decode(errors="replace"),
                                                 err.read().decode(errors="replace"))
        if check and result.returncode != 0:
            raise RuntimeError(f"wine {args} exited {result.returncode}\n{result.stdout}\n{result.stderr}")
        return result

    def start_wine(self, args, bits=64):
        return subprocess.Popen([self.loader(bits), *map(str, args)], env=self.env(), stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)

    def start_holder(self, args, marker, timeout=180):
        """Starts one of the tests' helpers that holds something until it is killed, and gives it
        back once `marker`, which the helper writes, shows it holds it. A helper's first start in a
        prefix can take long on a loaded machine."""
        holder = self.start_wine(args)
        deadline = time.time() + timeout
        while not Path(marker).exists() and time.time() < deadline and holder.poll() is None:
            time.sleep(0.1)
        if not Path(marker).exists():
            kill_group(holder)
            raise AssertionError(f"{Path(args[0]).name} did not take {args[1:]} (exit code {holder.poll()})")
        return holder

    def reg_add(self, key, name, data, kind="REG_SZ"):
        self.run_tool(["reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"])

    def run_tool(self, args):
        """Runs one of the tests' own tools (reg, regdump), which always say why they fail. One
        that exits nonzero having said nothing, or with Wine's own client error, never ran (a
        wineserver that ended under it, which a kept one should never do): said, then tried once
        more on a prefix at rest, so a red run by chance tells why."""
        first = self.run_wine(args, check=False)
        if first.returncode == 0:
            return first
        if (first.stdout.strip() or first.stderr.strip()) and WINE_CLIENT_ERROR not in first.stderr:
            raise RuntimeError(f"wine {args} exited {first.returncode}\n{first.stdout}\n{first.stderr}")
        self.wait_server()
        second = self.run_wine(args, check=False)
        if second.returncode != 0:
            raise RuntimeError(
                f"wine {args} exited {first.returncode} without running ({first.stderr.strip()!r}), "
                f"and again {second.returncode}\n{second.stdout}\n{second.stderr}")
        print(f"note: wine {args} exited {first.returncode} without running ({first.stderr.strip()!r}); "
              "it worked the second time")
        return second



def press_ok_when_shown(display, title, process, timeout=600, key="Return"):
    """Waits for a message box with this title, presses OK in it (or another key), and returns
    the exit code of the process. Gives up (killing the process) after `timeout` seconds."""
    deadline = time.time() + timeout
    while process.poll() is None and time.time() < deadline:
        found = subprocess.run(["xdotool", "search", "--name", f"^{title}$"], capture_output=True, text=True,
                               env={"DISPLAY": display.name})
        for window in found.stdout.split():
            subprocess.run(["xdotool", "key", "--window", window, key], capture_output=True,
                           env={"DISPLAY": display.name})
        time.sleep(0.2)
    if process.poll() is None:
        kill_group(process)
        raise TimeoutError(f"no {title!r} message box was acknowledged within {timeout} s")
    return process.returncode


def kill_group(process):
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
