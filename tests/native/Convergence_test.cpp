// The deployment cycle on one workstation, drawn at random: installs, repairs, checks and
// removals, some cut off at a random registry call, between an administrator's edits. After
// every step: nothing customised changed, no finished run that writes left a staging key, a finished install
// or repair left nothing to do but what it reported, /check's exit code agrees with what a repair
// would find to do, and every record of the run tells the same: the exit code, the log's result
// line, the /json document, the event and standard error. RC_PARAMS="seed=N" replays one.

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "setup/ExitCodes.h"
#include "setup/Program.h"
#include "setup/run/QuilletDataSources.h"
#include "tests/support/FakeWindows.h"

namespace {

constexpr win::LocalDate kToday{2004, 6, 15};  // archive years 2002 and 2003: 25 data sources
constexpr const char* kLog = "C:\\run.log";
constexpr const char* kStaging = "{QuilletSetup staging}";

enum class Mode { Install, Repair, Check, Uninstall };
enum class Edit { CustomiseDbq, RetypeDbq, DeleteJetKey, DeleteListLine, EarlierDriver };

struct Step {
  bool isEdit = false;
  Mode mode = Mode::Install;
  int cutAt = 0;  // the registry call the run is killed at; 0: it runs to its end
  Edit edit = Edit::CustomiseDbq;
  std::size_t dataSource = 0;  // an index into the plan
};

std::ostream& operator<<(std::ostream& out, const Step& step) {
  if (step.isEdit) return out << "edit " << static_cast<int>(step.edit) << " of #" << step.dataSource;
  return out << "mode " << static_cast<int>(step.mode) << " cut at " << step.cutAt;
}

const std::vector<quillet::PlannedDataSource>& Plan() {
  static const auto plan = quillet::PlanDataSources(&MdlODBC::kWow64View, kToday.year - 1);
  return plan;
}

void Prepare(win::FakeWindows& machine) {
  machine.System().SetLocalDate(kToday);
  machine.System().GiveStandardOutput();
  machine.System().GiveStandardError();
}

int Run(win::FakeWindows& machine, Mode mode) {
  static const std::map<Mode, std::string> switches = {
      {Mode::Install, ""}, {Mode::Repair, "/repair "}, {Mode::Check, "/check "},
      {Mode::Uninstall, "/uninstall "}};
  Prepare(machine);
  machine.System().SetCommandLine("QuilletSetup.exe " + switches.at(mode) + "/quiet /json /log " + kLog);
  return quillet::RunProgram(machine);
}

// The run's log: in place, or kept under its temporary name when it could not be put there.
std::string LogOf(win::FakeWindows& machine) {
  for (const auto& [path, contents] : machine.System().Files()) {
    if (path == kLog || path.starts_with(std::string(kLog) + ".")) return contents;
  }
  return {};
}

// How the log's line of a data source begins for each state the document gives.
bool LogSays(const std::string& text, const std::string& state) {
  static const std::map<std::string, std::vector<std::string>> phrases = {
      {"registered", {"registered"}}, {"already-present", {"already present"}},
      {"incomplete", {"incomplete", "present but incomplete"}}, {"repaired", {"repaired"}},
      {"failed", {"failed: "}}, {"complete", {"complete"}}, {"customised", {"customised: "}},
      {"earlier-driver", {"driver path of an earlier version"}}, {"missing", {"missing"}},
      {"unreadable", {"could not be read"}}, {"removed", {"removed"}},
      {"kept", {"kept: customised"}}, {"not-present", {"not present"}}};
  const auto found = phrases.find(state);
  if (found == phrases.end()) return false;
  for (const auto& phrase : found->second) {
    if (text.starts_with(phrase) && (text.size() == phrase.size() || phrase.ends_with(' ') ||
                                     text[phrase.size()] == ';' || text[phrase.size()] == ',' ||
                                     text[phrase.size()] == ':')) {
      return true;
    }
  }
  return false;
}

// Where the records of the run just ended disagree with its exit code or with each other; "" when
// they all tell the same.
std::string Disagreement(win::FakeWindows& machine, int exitCode, std::size_t eventsBefore,
                         bool writesEvent) {
  const std::string code = ", exit code " + std::to_string(exitCode);
  const std::string log = LogOf(machine);
  if (!log.ends_with(code + "\r\n")) return "the log's result line: " + log.substr(log.rfind("\r\n", log.size() - 3));
  const std::string json = machine.System().StandardOutput().value_or("");
  if (json.find("\"exitCode\": " + std::to_string(exitCode) + ",") == std::string::npos) {
    return "the document's exitCode: " + json.substr(0, 400);
  }
  bool registeredSome = false;
  const std::string entry = "{\"name\": \"";
  for (std::size_t at = json.find(entry); at != std::string::npos; at = json.find(entry, at + 1)) {
    const auto field = [&](const std::string& name) {
      const std::size_t start = json.find("\"" + name + "\": \"", at) + name.size() + 5;
      return json.substr(start, json.find('"', start) - start);
    };
    const std::string state = field("state");
    registeredSome = registeredSome || state == "registered" || state == "repaired";
    const std::string where = field("view") == "native" ? "native view" : "32-bit-on-64-bit view";
    const std::string line = "\r\n" + field("name") + " (" + where + "): ";
    const std::size_t inLog = log.find(line);
    if (inLog == std::string::npos) return "no log line for " + line;
    const std::size_t text = inLog + line.size();
    if (!LogSays(log.substr(text, log.find("\r\n", text) - text), state)) {
      return "the document says " + state + ", the log " + log.substr(text, log.find("\r\n", text) - text);
    }
  }
  const auto events = machine.CallsOf("WriteEvent");
  if (events.size() != eventsBefore + (writesEvent ? 1 : 0)) return "events: " + std::to_string(events.size());
  if (writesEvent) {
    const auto& event = events.back();
    const auto kind = exitCode == quillet::kExitSuccess ? win::EventKind::Information
                      : exitCode == quillet::kExitInstallFailure && registeredSome ? win::EventKind::Warning
                                                                                  : win::EventKind::Error;
    const std::uint32_t id = kind == win::EventKind::Information ? 1 : kind == win::EventKind::Warning ? 2 : 3;
    if (event.type != static_cast<std::uint32_t>(kind) || event.number != id ||
        event.valueName.find(code + "\r\n") == std::string::npos) {
      return "the event: " + std::to_string(event.type) + " " + std::to_string(event.number) + " " + event.valueName;
    }
  }
  const std::string error = machine.System().StandardError().value_or("");
  const bool said = exitCode != quillet::kExitSuccess && exitCode != quillet::kExitSomethingToDo;
  if (said != error.ends_with("(exit code " + std::to_string(exitCode) + ")\r\n")) {
    return "standard error: " + error;
  }
  return {};
}

// The data sources' part of the registry.
win::RegistryTree DataSources(win::RegistryTree tree) {
  std::erase_if(tree, [](const auto& key) { return !key.first.starts_with("SOFTWARE"); });
  return tree;
}

// Another workstation holding the same registry: where a probe may run without changing this one.
win::RegistryTree Repaired(const win::RegistryTree& tree) {
  win::FakeWindows copy;
  Prepare(copy);
  for (const auto& [path, values] : tree) {
    copy.Registry().CreateKey(path);
    for (const auto& value : values) copy.Registry().SetValue(path, value.name, value.type, value.data);
  }
  Run(copy, Mode::Repair);
  return DataSources(copy.Registry().Tree());
}

// An administrator's edit, and what it makes customised: values no run may change afterwards.
void Apply(win::FakeWindows& machine, const Step& step,
           std::map<std::pair<std::string, std::string>, std::vector<std::uint8_t>>& customised) {
  const auto& planned = Plan()[step.dataSource];
  const std::string base(planned.view->basePath);
  const std::string key = base + planned.spec.name;
  auto& registry = machine.Registry();
  const bool present = registry.KeyExists(key);
  switch (step.edit) {
    case Edit::CustomiseDbq:
      registry.SetString(key, "DBQ", "D:\\Custom\\" + planned.spec.name + ".mdb");
      customised[{key, "DBQ"}] = registry.Value(key, "DBQ")->data;
      break;
    case Edit::RetypeDbq:  // typed back as `reg add` stores it: the program's text, no terminator
      if (!present) break;
      registry.SetValue(key, "DBQ", win::kRegSz, win::Bytes(planned.spec.databasePath));
      customised.erase({key, "DBQ"});
      break;
    case Edit::DeleteJetKey:
      if (registry.KeyExists(key + "\\Engines\\Jet")) registry.RemoveKey(key + "\\Engines\\Jet");
      break;
    case Edit::DeleteListLine:
      if (registry.Value(base + "ODBC Data Sources", planned.spec.name)) {
        registry.RemoveValue(base + "ODBC Data Sources", planned.spec.name);
      }
      break;
    case Edit::EarlierDriver:  // an earlier version's own value: the program's to rewrite
      if (!present || planned.view != &MdlODBC::kWow64View) break;
      registry.SetValue(key, "Driver", win::kRegSz, win::Bytes("C:\\WinNT\\System32\\odbcjt32.dll"));
      customised.erase({key, "Driver"});
      break;
  }
}

rc::Gen<Step> AnyStep() {
  const auto edit = rc::gen::build<Step>(
      rc::gen::set(&Step::isEdit, rc::gen::just(true)),
      rc::gen::set(&Step::edit, rc::gen::element(Edit::CustomiseDbq, Edit::RetypeDbq,
                                                 Edit::DeleteJetKey, Edit::DeleteListLine,
                                                 Edit::EarlierDriver)),
      rc::gen::set(&Step::dataSource, rc::gen::inRange<std::size_t>(0, Plan().size())));
  const auto run = rc::gen::build<Step>(
      rc::gen::set(&Step::mode,
                   rc::gen::element(Mode::Install, Mode::Repair, Mode::Check, Mode::Uninstall)),
      rc::gen::set(&Step::cutAt, rc::gen::weightedOneOf<int>({{2, rc::gen::just(0)},
                                                              {1, rc::gen::inRange(1, 500)}})));
  return rc::gen::weightedOneOf<Step>({{2, edit}, {3, run}});
}

bool HasStagingKey(const win::RegistryTree& tree) {
  for (const auto& [path, values] : tree) {
    if (path.find(kStaging) != std::string::npos) return true;
  }
  return false;
}

RC_GTEST_PROP(Convergence, TheCycleConvergesWhateverHappensBetweenRuns, ()) {
  const auto steps = *rc::gen::container<std::vector<Step>>(AnyStep()).as("steps");
  win::FakeWindows machine;
  Prepare(machine);
  std::map<std::pair<std::string, std::string>, std::vector<std::uint8_t>> customised;
  for (const auto& step : steps) {
    if (step.isEdit) {
      Apply(machine, step, customised);
      continue;
    }
    const int callsBefore = machine.Registry().RegistryCallCount();
    const std::size_t eventsBefore = machine.CallsOf("WriteEvent").size();
    const auto treeBefore = machine.Registry().Tree();
    if (step.cutAt != 0) machine.Registry().KillAtRegistryCall(step.cutAt);
    const int exitCode = Run(machine, step.mode);
    const bool cut =
        step.cutAt != 0 && machine.Registry().RegistryCallCount() - callsBefore >= step.cutAt;
    machine.Registry().StartNewProcess();
    const auto tree = machine.Registry().Tree();

    for (const auto& [where, data] : customised) {
      const auto now = machine.Registry().Value(where.first, where.second);
      RC_ASSERT(now.has_value());
      RC_ASSERT(now->data == data);
    }
    if (cut) continue;
    RC_ASSERT(step.mode == Mode::Check || !HasStagingKey(tree));  // /check only reads
    // An event for every run that writes, but for one that ends well having changed nothing.
    const bool writesEvent = step.mode != Mode::Check &&
                             (exitCode != quillet::kExitSuccess || !(tree == treeBefore));
    RC_ASSERT(Disagreement(machine, exitCode, eventsBefore, writesEvent) == "");

    const bool nothingToDo = Repaired(tree) == DataSources(tree);
    if (step.mode == Mode::Check) {
      RC_ASSERT((exitCode == quillet::kExitSuccess) == nothingToDo);
      RC_ASSERT(exitCode == quillet::kExitSuccess || exitCode == quillet::kExitSomethingToDo);
    } else if (step.mode == Mode::Repair) {
      RC_ASSERT(exitCode == quillet::kExitSuccess);
      RC_ASSERT(nothingToDo);
    } else if (step.mode == Mode::Install) {
      // Done, or it reported the incomplete data sources it leaves for /repair.
      RC_ASSERT(exitCode == quillet::kExitSuccess || exitCode == quillet::kExitInstallFailure);
      RC_ASSERT((exitCode == quillet::kExitSuccess) == nothingToDo);
    } else {
      RC_ASSERT(exitCode == quillet::kExitSuccess);
    }
  }
}

}  // namespace

namespace {

struct LateFault {
  const char* what;
  std::function<void(win::FakeWindows&)> place;
  const char* arguments;
  const char* said;  // where the fault is told: on standard error, or in the log
};

// What fails once the run is concluded, or while it is, changes none of its records: the process
// ends with the code the log, the document and the event give.
TEST(RunRecords, AFaultPlacedLateChangesNoRecordOfTheRun) {
  const LateFault cases[] = {
      {"a main window that cannot be destroyed",
       [](win::FakeWindows& w) { w.ThrowAt({"DestroyWindow", "Quillet Setup"}); }, "",
       "QuilletSetup: after the run was concluded: injected failure of DestroyWindow\r\n"},
      {"a log that cannot be put in place",
       [](win::FakeWindows& w) { w.FailAt({"RenameOpenFile"}, win::kErrorSharingViolation); },
       "/quiet ", "could not be put in place"},
      {"an event that cannot be written",
       [](win::FakeWindows& w) { w.FailAt({"WriteEvent"}, win::kErrorAccessDenied); }, "/quiet ",
       "The run's event could not be written to the Application log: Access is denied.\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    win::FakeWindows machine;
    Prepare(machine);
    c.place(machine);
    machine.System().SetCommandLine(std::string("QuilletSetup.exe ") + c.arguments + "/json /log " + kLog);
    const int exitCode = quillet::RunProgram(machine);
    EXPECT_EQ(exitCode, quillet::kExitSuccess);
    EXPECT_EQ(Disagreement(machine, exitCode, 0, true), "");
    const std::string told = *machine.System().StandardError() + LogOf(machine);
    EXPECT_NE(told.find(c.said), std::string::npos) << told;
  }
}

}  // namespace
