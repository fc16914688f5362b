#include "setup/modes/InstallMode.h"

#include <exception>
#include <string>
#include <vector>

#include "setup/ExitCodes.h"
#include "setup/modes/DataSourceSurvey.h"
#include "setup/modes/ScheduledTask.h"
#include "setup/report/EventSource.h"

namespace quillet {
namespace {

using MdlODBC::DataSourcePart;

// What a write did to the row: a failure costs the data source its state, and says why.
void Apply(SourceRow& row, const MdlODBC::RegistrationOutcome& outcome, win::SystemApi& system) {
  if (outcome.status == MdlODBC::RegistrationStatus::Failed) {
    row.missing.clear();
    row.note.clear();
    Fail(row, outcome.failure, outcome.errorCode, system);
  } else if (outcome.status == MdlODBC::RegistrationStatus::AlreadyPresent) {
    row.state = SourceState::AlreadyPresent;  // another run made it meanwhile
  }
}

// A data source that is there. The path an earlier version of this program wrote is its own
// value, not a customisation, and names a folder any user may create: it is rewritten in every
// case. Beyond it, the plain run adds only the list line of a data source otherwise exactly as
// written (a registration cut off before its last step) and leaves the rest for /repair, which
// adds exactly what is missing, with the values this program writes.
void Decide(SurveyedDataSource& each, MdlODBC::DataSourceRegistry& registry, Mode mode,
            win::SystemApi& system) {
  SourceRow& row = each.row;
  const auto& reading = each.reading;
  const std::string& earlier = row.earlierDriver;
  const bool onlyTheListLine =
      reading.missing == std::vector<DataSourcePart>{{"", row.name, true}} && row.differs.empty();
  auto written = reading.missing;
  if (!earlier.empty()) written.push_back({"", "Driver", false});

  if (mode == Mode::Install && !reading.missing.empty() && !onlyTheListLine) {
    row.state = SourceState::Incomplete;
    row.missing = reading.MissingNames();
    if (earlier.empty()) return;
    Apply(row, registry.Write(each.planned.spec, {{"", "Driver", false}}), system);
    if (row.state == SourceState::Incomplete) {
      row.note = "driver path of an earlier version rewritten, \"Driver\" was " + earlier;
    }
    return;
  }
  if (written.empty()) {
    row.state = SourceState::AlreadyPresent;
    return;
  }
  if (onlyTheListLine && earlier.empty()) {
    row.state = SourceState::Registered;
    row.note = "only its line in \"ODBC Data Sources\" was missing, and was added";
  } else {
    row.state = SourceState::Repaired;
    row.missing = reading.MissingNames();
    if (!earlier.empty()) row.note = "driver path of an earlier version, \"Driver\" was " + earlier;
  }
  Apply(row, registry.Write(each.planned.spec, written), system);
}

// A staging key beside a data source that is there was left by a run cut off after someone else
// (another run, a person) had made the data source: it is taken away, and the log says so.
void SweepStaging(SurveyedDataSource& each, MdlODBC::DataSourceRegistry& registry,
                  win::SystemApi& system) {
  const win::Status status = registry.RemoveStaging(each.planned.spec);
  const std::string said =
      status == win::kErrorSuccess
          ? "a staging key left by a cut-off run was removed"
          : "a staging key left by a cut-off run could not be removed: " + system.ErrorText(status);
  each.row.note += (each.row.note.empty() ? "" : "; ") + said;
}

SourceRow Install(SurveyedDataSource& each, MdlODBC::DataSourceRegistry& registry, Mode mode,
                  win::SystemApi& system) {
  if (!each.readable) {
    each.row.state = SourceState::Failed;
  } else if (!each.reading.present) {
    each.row.state = SourceState::Registered;
    Apply(each.row, registry.Publish(each.planned.spec), system);
  } else {
    Decide(each, registry, mode, system);
    if (each.reading.staging) SweepStaging(each, registry, system);
  }
  // Its records tell what the run did; how a data source differs is /check's to say.
  each.row.differs.clear();
  each.row.added.clear();
  each.row.earlierDriver.clear();
  return each.row;
}

// Registered after the data sources, for the events of the runs that follow.
void RegisterOurEventSource(const RunPlan& plan, RunResult& result, win::RegistryApi& registry,
                            win::SystemApi& system) {
  const win::Status status = RegisterEventSource(registry, plan.access.viewFlag);
  if (status == win::kErrorAlreadyExists) {
    result.notes.push_back(
        "The Application log's source \"QuilletSetup\" is another program's; "
        "it was left as it is.");
  } else if (status != win::kErrorSuccess) {
    result.notes.push_back(
        "The Application log's source \"QuilletSetup\" could not be registered: " +
        system.ErrorText(status));
  }
}

}  // namespace

RunResult RunInstall(const RunPlan& plan, ViewRegistries& registries, win::RegistryApi& registry,
                     win::SystemApi& system, Mode mode, bool schedule,
                     const std::string& unsafeProgramFolder) {
  RunResult result;
  result.mode = mode;
  for (auto& each : SurveyDataSources(plan, registries, system, false)) {
    try {
      result.rows.push_back(Install(each, registries.Of(*each.planned.view), mode, system));
    } catch (const std::exception& error) {
      each.row = RowOf(plan, each.planned);  // this data source only; the next one is tried
      each.row.failure = error.what();
      result.rows.push_back(std::move(each.row));
    }
  }
  try {
    RegisterOurEventSource(plan, result, registry, system);
    result.accessDriverInstalled = registries.Of(*plan.quilletView).DriverRegistered();
  } catch (const std::exception& error) {
    result.notes.push_back(std::string("After the data sources: ") + error.what());
  }
  registries.Close();  // the views' keys stay open for the registration alone
  result.unsafeProgramFolder = unsafeProgramFolder;
  bool failed = result.Count(SourceState::Failed) != 0 ||
                result.Count(SourceState::Incomplete) != 0 || !unsafeProgramFolder.empty();
  // No SYSTEM task may point at a program that the package then rolls back.
  if (schedule) {
    result.task = ScheduleTask(system, !unsafeProgramFolder.empty()
                                           ? "nothing may run as SYSTEM from the program's folder"
                                       : failed ? "not every data source is registered"
                                                : "");
  }
  failed = failed || (schedule && result.task->failed);
  result.exitCode = failed ? kExitInstallFailure : kExitSuccess;
  return result;
}

}  // namespace quillet
