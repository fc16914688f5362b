#include "setup/modes/InstallMode.h"

#include <exception>

#include "setup/ExitCodes.h"
#include "setup/report/EventSource.h"

namespace quillet {
namespace {

SourceState StateOf(MdlODBC::RegistrationStatus status) {
  switch (status) {
    case MdlODBC::RegistrationStatus::Registered: return SourceState::Registered;
    case MdlODBC::RegistrationStatus::AlreadyPresent: return SourceState::AlreadyPresent;
    case MdlODBC::RegistrationStatus::Incomplete: return SourceState::Incomplete;
    case MdlODBC::RegistrationStatus::Repaired: return SourceState::Repaired;
    case MdlODBC::RegistrationStatus::Failed: break;
  }
  return SourceState::Failed;
}

}  // namespace

InstallMode::InstallMode(const RunPlan& plan, ViewRegistries& registries, win::WindowsApi& windows,
                         Mode mode)
    : plan_(plan), registries_(registries), windows_(windows) {
  result_.mode = mode;
}

void InstallMode::RegisterAll() {
  for (const auto& planned : plan_.dataSources) {
    result_.rows.push_back(Register(planned));
    if (result_.rows.back().state == SourceState::Failed ||
        result_.rows.back().state == SourceState::Incomplete) {
      result_.exitCode = kExitInstallFailure;
    }
  }
  try {
    const win::Status status = RegisterEventSource(windows_.Registry(), plan_.access.viewFlag);
    if (status == win::kErrorAlreadyExists) {
      result_.notes.push_back("The Application log's source \"QuilletSetup\" is another program's; "
                              "it was left as it is.");
    } else if (status != win::kErrorSuccess) {
      result_.notes.push_back("The Application log's source \"QuilletSetup\" could not be registered: " +
                              windows_.System().ErrorText(status));
    }
    result_.accessDriverInstalled = registries_.Of(*plan_.quilletView).DriverRegistered();
  } catch (const std::exception& error) {
    result_.notes.push_back(std::string("After the data sources: ") + error.what());
  }
  registries_.Close();  // the views' keys stay open for the registration alone
}

SourceRow InstallMode::Register(const PlannedDataSource& planned) {
  SourceRow row = plan_.RowOf(planned);
  MdlODBC::RegistrationOutcome outcome;
  try {
    auto& registry = registries_.Of(*planned.view);
    outcome = result_.mode == Mode::Repair ? registry.Repair(planned.spec)
                                           : registry.Register(planned.spec);
  } catch (const MdlODBC::RegistryError& error) {
    outcome = {MdlODBC::RegistrationStatus::Failed, error.what(), error.Status(), {}};
  } catch (const std::exception& error) {
    outcome = {MdlODBC::RegistrationStatus::Failed, error.what(), 0, {}};
  }
  row.state = StateOf(outcome.status);
  row.note = outcome.note;
  if (row.state == SourceState::Incomplete || row.state == SourceState::Repaired) {
    row.missing = outcome.parts;
  }
  if (row.state == SourceState::Failed) {
    row.failure = outcome.failure;
    row.status = outcome.errorCode;
    if (outcome.errorCode != 0) row.statusText = windows_.System().ErrorText(outcome.errorCode);
  }
  return row;
}

}  // namespace quillet
