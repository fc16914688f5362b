#include "setup/modes/UninstallMode.h"

#include <exception>
#include <string>
#include <vector>

#include "setup/ExitCodes.h"
#include "setup/modes/DataSourceSurvey.h"
#include "setup/modes/ScheduledTask.h"

namespace quillet {
namespace {

// Only a data source holding exactly what this program writes, and nothing more, may go; one
// with parts missing may go too, as long as what is there is the program's.
bool Removable(const SurveyedDataSource& each) {
  return each.readable && each.reading.present && each.row.Customisation().empty();
}

// Takes away the staging key and, when it may go, the data source: its row says what happened.
// Until its removal was tried, a removable data source counts as not removed.
SourceRow Carry(SurveyedDataSource& each, ViewRegistries& registries, win::SystemApi& system) {
  SourceRow& row = each.row;
  if (!each.readable) {
    row.state = SourceState::Failed;
    row.failure = "could not be read: " + row.failure;
    return row;
  }
  const bool removable = Removable(each);
  row.state = !each.reading.present ? SourceState::NotPresent
              : removable           ? SourceState::Failed
                                    : SourceState::Kept;
  if (removable) row.failure = "not removed: the removal stopped before it";
  auto& registry = registries.Of(*each.planned.view);
  win::Status stagingLeft = win::kErrorSuccess;
  if (each.reading.staging) {
    stagingLeft = registry.RemoveStaging(each.planned.spec);
    if (stagingLeft == win::kErrorSuccess) row.note = "its staging key removed";
  }
  if (removable) {
    const auto outcome = registry.Remove(each.planned.spec);
    if (outcome.status == MdlODBC::RegistrationStatus::Failed) {
      Fail(row, outcome.failure, outcome.errorCode, system);
    } else {
      row.state = SourceState::Removed;
      row.failure.clear();
    }
  }
  if (stagingLeft != win::kErrorSuccess) {
    const std::string before = row.state == SourceState::Removed  ? "removed, but "
                               : row.state == SourceState::Failed ? row.Reason() + "; "
                                                                  : "";
    Fail(row, before + "its staging key could not be removed", stagingLeft, system);
  }
  return row;
}

}  // namespace

int CountRemovable(const RunPlan& plan, ViewRegistries& registries, win::SystemApi& system) {
  int removable = 0;
  for (const auto& each : SurveyDataSources(plan, registries, system)) {
    removable += Removable(each) || each.reading.staging ? 1 : 0;
  }
  return removable;
}

RunResult RunUninstall(const RunPlan& plan, ViewRegistries& registries, win::SystemApi& system,
                       const std::string& unsafeProgramFolder) {
  RunResult result;
  result.mode = Mode::Uninstall;
  if (!unsafeProgramFolder.empty()) result.notes.push_back("warning: " + unsafeProgramFolder);
  try {
    for (auto& each : SurveyDataSources(plan, registries, system)) {
      try {
        result.rows.push_back(Carry(each, registries, system));
      } catch (const std::exception& error) {
        Fail(each.row, error.what(), 0, system);  // this data source only; the next one is tried
        result.rows.push_back(std::move(each.row));
      }
    }
    result.accessDriverInstalled = registries.Of(*plan.quilletView).DriverRegistered();
  } catch (const std::exception& error) {
    result.stoppedBy = error.what();
  }
  result.task = RemoveTask(system);
  const bool failed =
      !result.stoppedBy.empty() || result.Count(SourceState::Failed) != 0 || result.task->failed;
  result.exitCode = failed ? kExitInstallFailure : kExitSuccess;
  return result;
}

}  // namespace quillet
