"""What the ODBC.INI trees must hold after a run, written out independently of the program, in the
line format of regdump: stored bytes as hex (texts as the registry keeps them, UTF-16LE, with their
terminating NUL unless empty)."""

import datetime

NATIVE = ("SOFTWARE\\ODBC\\ODBC.INI", "C:\\windows\\system32")
# On 64-bit Windows the 32-bit view's driver is in the 32-bit system directory, as Wine names it.
WOW64 = ("SOFTWARE\\WOW6432node\\ODBC\\ODBC.INI", "C:\\windows\\syswow64")
# On 32-bit Windows, where no ODBC reads that key, the fixed table's directory.
TABLE_DRIVER_DIR = "C:\\WinNT\\System32"
VIEWS = (NATIVE, WOW64)

CURRENT = [
    ("Quillet-R", "C:\\Brannic\\Current\\Quillet-R.mdb", "Quillet Current - County"),
    ("Quillet-R1", "C:\\Brannic\\Current\\Quillet-R1.mdb", "Quillet Current - County Interim #1"),
    ("Quillet-S", "C:\\Brannic\\Current\\Quillet-S.mdb", "Quillet Current - School"),
    ("Quillet-S1", "C:\\Brannic\\Current\\Quillet-S1.mdb", "Quillet Current - School Interim #1"),
    ("Quillet-S2", "C:\\Brannic\\Current\\Quillet-S2.mdb", "Quillet Current - School Interim #2"),
]

KINDS = [("R", "County"), ("R1", "County Interim #1"), ("S", "School"), ("S1", "School Interim #1"),
         ("S2", "School Interim #2")]


def archive(year):
    return [(f"Quillet{year:04d}-{kind}", f"C:\\Brannic\\Quillet-{year:04d}\\Quillet-{kind}.mdb",
             f"Quillet {year:04d} - {ending}") for kind, ending in KINDS]


def sz(text):
    return f"1|{(text + chr(0) if text else '').encode('utf-16-le').hex()}"


def dword(number):
    return f"4|{number.to_bytes(4, 'little').hex()}"


def data_source_lines(view, name, path, description):
    base, driver_dir = view
    key = f"{base}\\{name}"
    values = [("DBQ", sz(path)), ("Description", sz(description)),
              ("Driver", sz(driver_dir + "\\odbcjt32.dll")), ("DriverId", dword(25)),
              ("FIL", sz("MS Access;")), ("SafeTransactions", dword(0)), ("UID", sz(""))]
    jet = [("ImplicitCommitSync", sz("")), ("MaxBufferSize", dword(2048)), ("PageTimeout", dword(5)),
           ("Threads", dword(3)), ("UserCommitSync", sz("Yes"))]
    lines = {f"KEY {key}", f"KEY {key}\\Engines", f"KEY {key}\\Engines\\Jet",
             f"KEY {base}", f"KEY {base}\\ODBC Data Sources",
             f"VALUE {base}\\ODBC Data Sources|{name}|{sz('Microsoft Access Driver (*.mdb)')}"}
    lines |= {f"VALUE {key}|{value}|{data}" for value, data in values}
    lines |= {f"VALUE {key}\\Engines\\Jet|{value}|{data}" for value, data in jet}
    return lines


def expected_lines(year, x86, skip=(), wow64_driver_dir=None):
    """Every line a run in `year` must add; data sources named in `skip` ((view, name) pairs)
    existed beforehand and get nothing, not even their list line. `wow64_driver_dir` is the
    32-bit-on-64-bit view's driver directory where it is not SysWOW64 (on 32-bit Windows)."""
    wanted = [(NATIVE if x86 else WOW64, spec) for spec in CURRENT]
    for archive_year in range(2002, year):
        wanted += [(view, spec) for view in VIEWS for spec in archive(archive_year)]
    lines = set()
    for view, (name, path, description) in wanted:
        if (view, name) not in skip:
            written = (view[0], wow64_driver_dir) if view is WOW64 and wow64_driver_dir else view
            lines |= data_source_lines(written, name, path, description)
    return lines


def this_year():
    return datetime.date.today().year
