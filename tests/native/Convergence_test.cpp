// The deployment cycle on one workstation, drawn at random: installs, repairs, checks and
// removals, some cut off at a random registry call, between an administrator's edits. After
// every step: nothing customised changed, no finished run that writes left a staging key, a finished install
// or repair left nothing to do but what it reported, /check's exit code agrees with what a repair
// would find to do, and the log's last line gives the exit code. RC_PARAMS="seed=N" replays one.

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

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
  machine.System().SetCommandLine("QuilletSetup.exe " + switches.at(mode) + "/quiet /log " + kLog);
  return quillet::RunProgram(machine);
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
    const std::string log = machine.System().Files().at(kLog);
    RC_ASSERT(log.ends_with(", exit code " + std::to_string(exitCode) + "\r\n"));

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
