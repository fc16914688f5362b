"""The scheduled task's definition (packaging/QuilletSetup.task.xml), against what it promises: as
SYSTEM with the highest privileges, at every start and once a day, as soon as possible after a
missed start, never two at once, a short time limit, and the plain quiet run of the program in the
folder only administrators may change, with a log in %windir%\\Logs."""

import re
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

DEFINITION = Path(__file__).resolve().parent.parent.parent / "packaging" / "QuilletSetup.task.xml"
NS = {"t": "http://schemas.microsoft.com/windows/2004/02/mit/task"}


def text(task, path):
    found = task.find(path, NS)
    assert found is not None, f"{path} is missing"
    return (found.text or "").strip()


def main():
    task = ElementTree.parse(DEFINITION).getroot()
    principal = task.find("t:Principals/t:Principal", NS)
    assert text(principal, "t:UserId") == "S-1-5-18", "SYSTEM"
    assert text(principal, "t:RunLevel") == "HighestAvailable"
    assert task.find("t:Actions", NS).get("Context") == principal.get("id")
    assert text(task, "t:Triggers/t:BootTrigger/t:Enabled") == "true"
    assert text(task, "t:Triggers/t:CalendarTrigger/t:ScheduleByDay/t:DaysInterval") == "1"
    assert text(task, "t:Triggers/t:CalendarTrigger/t:Enabled") == "true"
    assert text(task, "t:Settings/t:StartWhenAvailable") == "true"
    assert text(task, "t:Settings/t:MultipleInstancesPolicy") == "IgnoreNew"
    assert text(task, "t:Settings/t:DisallowStartIfOnBatteries") == "false"
    limit = re.fullmatch(r"PT(?:(\d+)H)?(?:(\d+)M)?", text(task, "t:Settings/t:ExecutionTimeLimit"))
    assert limit and 0 < int(limit[1] or 0) * 60 + int(limit[2] or 0) <= 15, "a short time limit"
    assert text(task, "t:Settings/t:Enabled") == "true"
    actions = task.findall("t:Actions/t:Exec", NS)
    assert len(actions) == 1, "one action"
    # Quoted, as a path that holds a space needs.
    assert text(actions[0], "t:Command") == '"%windir%\\QuilletSetup\\QuilletSetup.exe"'
    arguments = text(actions[0], "t:Arguments").split()
    assert arguments[:1] == ["/quiet"] and arguments[1:2] == ["/log"], arguments
    assert arguments[2].lower().startswith('"%windir%\\logs\\') and arguments[2].endswith('"'), arguments
    assert len(arguments) == 3, arguments
    assert "/schedule" not in arguments and "/repair" not in arguments, "the plain run"
    print("definition:", {"command": text(actions[0], "t:Command"), "arguments": " ".join(arguments),
                          "limit": text(task, "t:Settings/t:ExecutionTimeLimit")})
    return 0


if __name__ == "__main__":
    sys.exit(main())
