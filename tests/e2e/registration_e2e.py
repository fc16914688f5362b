"""End-to-end runs of QuilletSetup.exe on throwaway Wine prefixes, comparing the whole ODBC.INI
tree of both registry views with what the run must have written."""

import argparse
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "wine"))

import odbc_expectation as expect  # noqa: E402
from winelab import HKLM_ODBC_VIEWS, Display, WinePrefix, press_ok_when_shown, seconds_until  # noqa: E402

# A Windows exit code reaches Linux in its low 8 bits: 1603 arrives as 67.
INSTALL_FAILURE = 1603 & 0xFF
PROCESSOR_KEY = "HKLM\\Hardware\\Description\\System\\CentralProcessor\\0"


class Scenario:
    def __init__(self, build, prefix):
        self.build = Path(build)
        self.prefix = prefix

    def dump(self):
        result = self.prefix.run_tool([self.build / "regdump.exe", *HKLM_ODBC_VIEWS])
        return {line for line in result.stdout.splitlines() if line and not line.startswith("MISSING")}

    def run_setup(self, expected_exit=0):
        process = self.prefix.start_wine([self.build / "QuilletSetup.exe"])
        exit_code = press_ok_when_shown(self.prefix.display, "Quillet Installation", process)
        if exit_code != expected_exit:
            raise AssertionError(f"QuilletSetup.exe exited {exit_code}, expected {expected_exit}")

    def processor_identifier(self):
        out = self.prefix.run_tool(["reg", "query", PROCESSOR_KEY, "/v", "Identifier"]).stdout
        return next(line for line in out.splitlines() if "Identifier" in line).split("REG_SZ")[-1].strip()


def assert_tree(actual, expected):
    missing = sorted(expected - actual)
    unexpected = sorted(actual - expected)
    if missing or unexpected:
        report = [f"{len(missing)} lines missing, {len(unexpected)} unexpected"]
        report += [f"  - {line}" for line in missing[:15]]
        report += [f"  + {line}" for line in unexpected[:15]]
        raise AssertionError("\n".join(report))


def fresh_prefix(s):
    identifier = s.processor_identifier()
    assert "x86" not in identifier.lower(), identifier
    before = s.dump()
    s.run_setup()
    assert_tree(s.dump(), before | expect.expected_lines(expect.this_year(), x86=False))


def second_run(s):
    s.run_setup()
    first = s.dump()
    s.run_setup()
    assert_tree(s.dump(), first)


def existing_left_alone(s):
    native, wow = expect.NATIVE[0], expect.WOW64[0]
    s.prefix.reg_add(f"HKLM\\{native}\\Quillet2010-S", "DBQ", "D:\\Old\\Quillet-S.mdb")
    s.prefix.reg_add(f"HKLM\\{wow}\\Quillet-R", "Description", "Kept as it was")
    before = s.dump()
    assert before, "the arranged data sources are in place"
    # Present with parts missing: left as they are, and reported, so the run does not pass.
    s.run_setup(expected_exit=INSTALL_FAILURE)
    skip = {(expect.NATIVE, "Quillet2010-S"), (expect.WOW64, "Quillet-R")}
    assert_tree(s.dump(), before | expect.expected_lines(expect.this_year(), x86=False, skip=skip))


def x86_processor(s):
    # Wine rebuilds its hardware key whenever a wineserver starts: the prefix keeps one for the run.
    s.prefix.reg_add(PROCESSOR_KEY, "Identifier", "x86 Family 6 Model 15 Stepping 11")
    assert s.processor_identifier() == "x86 Family 6 Model 15 Stepping 11"
    before = s.dump()
    s.run_setup()
    assert_tree(s.dump(), before | expect.expected_lines(expect.this_year(), x86=True))


def in_year(year):
    def scenario(s):
        before = s.dump()
        s.run_setup()
        assert_tree(s.dump(), before | expect.expected_lines(year, x86=False))
    scenario.year = year
    return scenario


SCENARIOS = {
    "fresh_prefix": fresh_prefix,
    "second_run": second_run,
    "existing_left_alone": existing_left_alone,
    "x86_processor": x86_processor,
    "year_2003": in_year(2003),
    "year_2002": in_year(2002),
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--keep", action="store_true", help="keep the prefix for a look afterwards")
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    options = parser.parse_args()
    year = getattr(SCENARIOS[options.scenario], "year", None)
    offset = seconds_until(year) if year else None
    with Display() as display, WinePrefix(Path(options.build) / "wine", options.scenario, display,
                                          options.keep, clock_offset=offset) as prefix:
        SCENARIOS[options.scenario](Scenario(options.build, prefix))
    print(f"{options.scenario}: passed")


if __name__ == "__main__":
    main()
