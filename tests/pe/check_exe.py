"""Checks a built QuilletSetup.exe from its PE headers: the machine it is for, the GUI subsystem,
imports from Windows' known DLLs only, the registry and system functions bound to their ANSI names,
people's texts to the UTF-16 ones, and what early Windows lacks bound by name at run time. With
--version, also what a release carries in its resources: a manifest that asks for administrator
rights, and a version resource whose strings give that version."""

import argparse
import re
import subprocess
import sys

# Windows' known DLLs (HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs), which the
# loader takes from the system directory alone: a DLL of another name, such as comctl32.dll or
# version.dll, would be looked for beside the exe first, before the program's first line runs.
WINDOWS_DLLS = {"kernel32.dll", "advapi32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll",
                "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "comdlg32.dll",
                "imm32.dll", "rpcrt4.dll", "sechost.dll", "ws2_32.dll"}
ANSI_FUNCTIONS = ["RegOpenKeyExA", "RegCreateKeyExA", "RegSetValueExA", "RegCloseKey", "RegOpenKeyA",
                  "RegQueryValueExA", "GetVersionExA", "GetSystemDirectoryA",
                  "GetWindowsDirectoryA", "CreateWindowExA", "RegisterClassExA", "CreateFontA",
                  "GetFileAttributesA", "RegEnumKeyExA", "RegEnumValueA", "RegDeleteKeyA",
                  "RegDeleteValueA"]
# Texts that come from people and go to people, in any language: the command line, the log file,
# message boxes and the system's error texts go through the UTF-16 entry points.
WIDE_FUNCTIONS = ["GetCommandLineW", "CreateFileW", "MoveFileExW", "MessageBoxW", "FormatMessageW"]
# Called by the program in their A form, but the statically linked C++ runtime imports the W form
# for its own use.
ANSI_ALSO_WIDE_IN_RUNTIME = ["LoadLibraryExA"]
# Missing from early Windows: bound by name at run time, so the program still starts there.
BOUND_BY_NAME = ["IsWow64Process", "GetSystemWow64DirectoryA", "RegRenameKey", "RegDeleteKeyExA",
                 "Wow64DisableWow64FsRedirection", "Wow64RevertWow64FsRedirection", "AttachConsole",
                 "SetDefaultDllDirectories", "SetDllDirectoryW", "GetProcessWindowStation",
                 "GetUserObjectInformationW", "SetProcessMitigationPolicy",
                 "RegisterEventSourceW", "ReportEventW", "DeregisterEventSource", "GetLongPathNameW",
                 "GetFinalPathNameByHandleW", "SetFileInformationByHandle", "CheckTokenMembership"]
FORMATS = {"x86": "pei-i386", "x86_64": "pei-x86-64"}


def imports(dump):
    """{dll: [function, ...]} from the import tables objdump prints."""
    table, current = {}, None
    for line in dump.splitlines():
        match = re.match(r"\s*DLL Name: (\S+)", line)
        if match:
            current = match.group(1).lower()
            table[current] = []
        elif current and re.match(r"\s+[0-9a-f]+\s+\d+\s+\S+$", line):
            table[current].append(line.split()[-1])
        elif not line.strip():
            current = None if current and table[current] else current
    return table


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


def resource_failures(objdump, exe, version):
    resources = section_bytes(objdump, exe, ".rsrc")
    failures = []
    if b'requestedExecutionLevel level="requireAdministrator"' not in resources:
        failures.append("the manifest does not ask for administrator rights")
    if "VS_VERSION_INFO".encode("utf-16-le") not in resources:
        failures.append("no version resource")
    for name in ("FileVersion", "ProductVersion"):
        # A string of the version resource: its name, padding to 32 bits, its value.
        pattern = (re.escape(name.encode("utf-16-le")) + b"\x00\x00(?:\x00\x00)?" +
                   re.escape(version.encode("utf-16-le")) + b"\x00\x00")
        if not re.search(pattern, resources):
            failures.append(f"{name} is not {version}")
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--arch", required=True, choices=sorted(FORMATS))
    parser.add_argument("--version", help="the version the release's resources must give")
    parser.add_argument("exe")
    options = parser.parse_args()
    dump = subprocess.run([options.objdump, "-p", options.exe], check=True, capture_output=True,
                          text=True).stdout
    failures = []
    if f"file format {FORMATS[options.arch]}" not in dump:
        failures.append(f"not a {FORMATS[options.arch]} program")
    if not re.search(r"^Subsystem\s+0*2\s", dump, re.M):
        failures.append("not a Windows GUI subsystem program")
    if "TERMINAL_SERVICE_AWARE" not in dump:
        failures.append("not Terminal Server aware: a session host may give it a Windows directory of "
                        "the user's own")
    table = imports(dump)
    foreign = sorted(set(table) - WINDOWS_DLLS)
    if foreign:
        failures.append(f"imports DLLs that are not Windows' known DLLs: {foreign}")
    functions = {name for names in table.values() for name in names}
    for name in ANSI_ALSO_WIDE_IN_RUNTIME:
        if name not in functions:
            failures.append(f"{name} is not imported")
    for name in ANSI_FUNCTIONS:
        if name not in functions:
            failures.append(f"{name} is not imported")
        wide = name[:-1] + "W" if name.endswith("A") else None
        if wide and wide in functions:
            failures.append(f"{wide} is imported: texts must go through the ANSI entry point")
    for name in WIDE_FUNCTIONS:
        if name not in functions:
            failures.append(f"{name} is not imported")
    for name in BOUND_BY_NAME:
        if name in functions:
            failures.append(f"{name} is imported: early Windows lacks it, bind it by name")
    if options.version:
        failures += resource_failures(options.objdump, options.exe, options.version)
    if failures:
        print("\n".join(failures))
        return 1
    released = f", manifest for administrators, version {options.version}" if options.version else ""
    print(f"{options.exe}: {FORMATS[options.arch]}, GUI, imports {sorted(table)}{released}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
