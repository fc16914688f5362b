"""The program as the user sees it, under wine64 and Xvfb: its windows, where they are, what the
progress label looks like, the completion message, and the end of the program when OK is pressed.
Screenshots are kept in build/win64/screenshots."""

import argparse
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "wine"))

from winelab import WINE, Display, WinePrefix, kill_group, seconds_until  # noqa: E402

LABEL_TEXT = "   ***  Installing  ***   ***  Please Wait  ***"
COMPLETE = "Setup Complete - DO NOT run this setup again."
YEAR = 3000


def twips_to_pixels(twips, dpi):
    return int(twips * dpi / 1440 + 0.5) if twips >= 0 else -int(-twips * dpi / 1440 + 0.5)


class Desktop:
    """Parsed output of wininspect.exe."""

    def __init__(self, text):
        self.windows, self.dpi, self.year, self.colours = [], None, None, {}
        for line in text.splitlines():
            kind, _, rest = line.partition(" ")
            if kind == "WINDOW":
                title, cls, rect, visible, pid, client = rest.split("|")
                self.windows.append({"title": title, "class": cls, "rect": tuple(map(int, rect.split(","))),
                                     "visible": visible == "1", "client": tuple(map(int, client.split(","))),
                                     "children": []})
            elif kind == "CHILD":
                cls, rect, style, text = rest.split("|", 3)
                self.windows[-1]["children"].append({"class": cls, "rect": tuple(map(int, rect.split(","))),
                                                     "style": int(style, 16), "text": text})
            elif kind == "DPI":
                self.dpi = int(rest.split(",")[0])
            elif kind == "YEAR":
                self.year = int(rest)
            elif kind == "COLORS":
                self.colours = dict(zip(("appworkspace", "captiontext", "btntext", "window"),
                                        (bytes.fromhex(c) for c in rest.split())))

    def find(self, title):
        return next((w for w in self.windows if w["title"] == title and w["visible"]), None)


def pixels(path, crop=None):
    """Raw RGB bytes of an image (optionally a WxH+X+Y crop), through ImageMagick."""
    args = ["convert", str(path)] + (["-crop", crop, "+repage"] if crop else []) + ["rgb:-"]
    return subprocess.run(args, check=True, capture_output=True).stdout


def differing(a, b):
    return sum(1 for i in range(0, min(len(a), len(b)), 3) if a[i:i + 3] != b[i:i + 3])


class Run:
    def __init__(self, build, prefix, display, shots):
        self.build, self.prefix, self.display, self.shots = Path(build), prefix, display, shots

    def desktop(self):
        return Desktop(self.prefix.run_wine([self.build / "wininspect.exe"]).stdout)

    def wait_for(self, title, timeout=120):
        deadline = time.time() + timeout
        last = None
        while time.time() < deadline:
            last = self.prefix.run_wine([self.build / "wininspect.exe"], check=False)
            desktop = Desktop(last.stdout)
            if desktop.find(title):
                return desktop
            time.sleep(0.2)
        raise AssertionError(f"no window titled {title!r} appeared; wininspect exited {last.returncode}:\n"
                             f"{last.stdout}\n{last.stderr[-1500:]}")

    def start_inspector(self, title):
        output = self.shots / f"inspect-{self.prefix.path.name}.txt"
        output.unlink(missing_ok=True)
        command = [self.build / "wininspect.exe", "wait", title, 120]
        process = subprocess.Popen([WINE, *map(str, command)], env=self.prefix.env(),
                                   stdin=subprocess.DEVNULL, stdout=output.open("wb"),
                                   stderr=subprocess.DEVNULL)
        time.sleep(3)  # under way before the program starts
        return process, output

    def inspector_result(self, inspector, title):
        process, output = inspector
        if process.wait(timeout=180) != 0:
            raise AssertionError(f"no window titled {title!r} appeared")
        return Desktop(output.read_text())

    def render_label(self, label, dpi, points=18, weight=700, face="MS Sans Serif", out="designed"):
        width, height = label["rect"][2], label["rect"][3]
        path = self.shots / f"{out}-label-{dpi}dpi.bmp"
        self.prefix.run_wine([self.build / "wininspect.exe", "render", width, height, points, weight, 0, face,
                              "0xFFFFFF", "0x000000", path, LABEL_TEXT])
        return pixels(path)


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def scenario(run, dpi):
    prefix, build = run.prefix, run.build
    prefix.reg_add("HKCU\\Control Panel\\Desktop", "LogPixels", str(dpi), "REG_DWORD")
    # The program keeps the wineserver busy: a Windows process started while it registers may only
    # get going once it is done. So the inspector is running, and waiting, before the program starts.
    inspector = run.start_inspector("Searching")
    process = prefix.start_wine([build / "QuilletSetup.exe"])
    try:
        desktop = run.inspector_result(inspector, "Searching")
        during = run.shots / f"progress-{dpi}dpi.png"
        time.sleep(0.5)  # drawn at once, on the display at the next flush
        run.display.screenshot(during)
        check(desktop.dpi == dpi, f"display DPI {desktop.dpi}, expected {dpi}")
        check(desktop.year == YEAR, f"the prefix's clock says {desktop.year}, expected {YEAR}")

        main, progress = desktop.find("Quillet Setup"), desktop.find("Searching")
        check(main is not None and main["class"] == "QuilletFrame", "the main window is on the screen")
        check(any(c["class"] == "MDIClient" for c in main["children"]), "the main window is an MDI frame")

        # Outer size 4740 x 2475 twips, placed by the two windows' real outer sizes.
        _, _, width, height = progress["rect"]
        check((width, height) == (twips_to_pixels(4740, dpi), twips_to_pixels(2475, dpi)),
              f"progress window is {width}x{height} px")
        main_w, main_h = main["rect"][2] * 1440 / dpi, main["rect"][3] * 1440 / dpi
        own_w, own_h = width * 1440 / dpi, height * 1440 / dpi
        expected_left = twips_to_pixels((main_w - own_w) / 2, dpi)
        expected_top = twips_to_pixels((main_h - own_h) / 2, dpi)
        check(abs(progress["rect"][0] - expected_left) <= 1 and abs(progress["rect"][1] - expected_top) <= 1,
              f"progress window at {progress['rect'][:2]}, expected about {(expected_left, expected_top)}")

        labels = progress["children"]
        check(len(labels) == 1 and labels[0]["class"] == "Static", f"one label: {labels}")
        label = labels[0]
        check(label["text"] == LABEL_TEXT, f"label text {label['text']!r}")
        check(label["style"] & 0x3 == 0x1, "label text is centred (SS_CENTER, which wraps at words)")
        expected_rect = tuple(twips_to_pixels(v, dpi) for v in (240, 480, 4095, 975))
        check(label["rect"] == expected_rect, f"label at {label['rect']}, expected {expected_rect}")

        # Font and colours: the screenshot's label must match the label drawn as designed, black
        # on the window colour (Wine's caption-text and button-text colours are both black), and
        # must not match the same text in a smaller, regular font.
        x, y = progress["client"][0] + label["rect"][0], progress["client"][1] + label["rect"][1]
        crop = f"{label['rect'][2]}x{label['rect'][3]}+{x}+{y}"
        shown = pixels(during, crop)
        designed = run.render_label(label, dpi)
        other = run.render_label(label, dpi, points=12, weight=400, out="other-font")
        total = len(shown) // 3
        mismatched = differing(shown, designed)
        check(mismatched <= total // 100, f"{mismatched} of {total} label pixels differ from the design")
        print(f"label: {mismatched} of {total} pixels differ from the design, {differing(shown, other)} from a 12-point regular font")
        check(differing(shown, other) > total // 50, "the comparison tells fonts apart")
        colours = desktop.colours
        # Wine's caption-text and button-text colours are the same (black): the label falls back
        # to the window colour behind its text.
        expected_background = colours["window"] if colours["captiontext"] == colours["btntext"] \
            else colours["captiontext"]
        check(shown[0:3] == expected_background,
              f"label background {shown[0:3].hex()}, expected {expected_background.hex()}")
        client_x, client_y = main["client"]
        workspace = pixels(during, f"1x1+{client_x + 8}+{client_y + 8}")
        check(workspace == colours["appworkspace"],
              f"main window's client area is {workspace.hex()}, expected COLOR_APPWORKSPACE "
              f"{colours['appworkspace'].hex()}")
        dark = sum(1 for i in range(0, len(shown), 3) if shown[i:i + 3] == b"\0\0\0")
        check(dark > total // 20, f"only {dark} black text pixels: the label is not readable")

        desktop = run.wait_for("Quillet Installation", timeout=300)
        run.display.screenshot(run.shots / f"completion-{dpi}dpi.png")
        check(desktop.find("Searching") is None, "the progress window is gone before the message")
        box = desktop.find("Quillet Installation")
        texts = [c["text"] for c in box["children"] if c["class"] == "Static"]
        check(COMPLETE in texts, f"completion message text: {texts}")
        buttons = [c["text"] for c in box["children"] if c["class"] == "Button"]
        check(buttons == ["OK"], f"buttons {buttons}")

        found = subprocess.run(["xdotool", "search", "--name", "Quillet Installation"], capture_output=True,
                               text=True, env={"DISPLAY": run.display.name})
        subprocess.run(["xdotool", "key", "--window", found.stdout.split()[0], "Return"],
                       env={"DISPLAY": run.display.name}, capture_output=True)
        check(process.wait(timeout=60) == 0, f"exit code {process.returncode}")
        left = [w["title"] for w in run.desktop().windows if w["title"] in ("Quillet Setup", "Searching",
                                                                               "Quillet Installation")]
        check(not left, f"windows left after OK: {left}")
    finally:
        if process.poll() is None:
            kill_group(process)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--dpi", type=int, default=96)
    options = parser.parse_args()
    shots = (Path(options.build) / "screenshots").resolve()
    shots.mkdir(exist_ok=True)
    # In the year 3000 the run registers ~10000 data sources: long enough to look at the window.
    with Display() as display, WinePrefix(Path(options.build) / "wine", f"windows-{options.dpi}", display,
                                          clock_offset=seconds_until(YEAR)) as prefix:
        scenario(Run(options.build, prefix, display, shots), options.dpi)
    print(f"windows at {options.dpi} DPI: passed; screenshots in {shots}")


if __name__ == "__main__":
    main()
