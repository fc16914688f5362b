"""Checks what a released QuilletSetup.exe carries in its resources: a manifest that asks for
administrator rights, and a version resource whose strings give the version being released."""

import argparse
import re
import subprocess
import sys


def section_bytes(objdump, exe, section):
    """The raw bytes of a section, from objdump's hex dump."""
    dump = subprocess.run([objdump, "-s", "-j", section, exe], check=True, capture_output=True,
                          text=True).stdout
    data = bytearray()
    for line in dump.splitlines():
        match = re.match(r"^ [0-9a-f]+ ((?:[0-9a-f]{2,8} ?){1,4})", line)
        if match:
            data += bytes.fromhex(match.group(1).replace(" ", ""))
    return bytes(data)


def utf16(text):
    return text.encode("utf-16-le")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("exe")
    options = parser.parse_args()
    resources = section_bytes(options.objdump, options.exe, ".rsrc")
    failures = []
    if b'requestedExecutionLevel level="requireAdministrator"' not in resources:
        failures.append("the manifest does not ask for administrator rights")
    if utf16("VS_VERSION_INFO") not in resources:
        failures.append("no version resource")
    for name in ("FileVersion", "ProductVersion"):
        # A string of the version resource: its name, padding to 32 bits, its value.
        pattern = re.escape(utf16(name)) + b"\x00\x00(?:\x00\x00)?" + re.escape(utf16(options.version)) + b"\x00\x00"
        if not re.search(pattern, resources):
            failures.append(f"{name} is not {options.version}")
    if failures:
        print("\n".join(failures))
        return 1
    print(f"{options.exe}: manifest asks for administrator rights, version {options.version}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
