#include "setup/frmQuillet.h"

#include <algorithm>
#include <cctype>
#include <exception>

#include "platform/basRegistry.h"
#include "setup/QuilletDataSources.h"

namespace quillet {
namespace {

constexpr const char* kProcessorKey = "Hardware\\Description\\System\\CentralProcessor\\0";
constexpr const char* kProcessorValue = "Identifier";

}  // namespace

bool IsX86Processor(const std::string& processorId) {
  const std::string_view wanted = "x86";
  return std::search(processorId.begin(), processorId.end(), wanted.begin(), wanted.end(),
                     [](unsigned char a, unsigned char b) {
                       return std::tolower(a) == std::tolower(b);
                     }) != processorId.end();
}

frmQuillet::frmQuillet(win::WindowsApi& windows, ProgressWindow& progress)
    : windows_(windows), progress_(progress) {}

void frmQuillet::SetupDataSources() {
  // Showing and repainting are not covered by skip-on-failure: their failures go to the caller.
  progress_.Show();
  progress_.Repaint();

  ReadProcessorId();
  RegisterAll(IsX86Processor(strProcessorId) ? MdlODBC::kNativeView : MdlODBC::kWow64View,
              CurrentDataSources());

  const std::int16_t lastArchiveYear = LastArchiveYear();
  for (intYear = kFirstArchiveYear; intYear <= lastArchiveYear; ++intYear) {
    const auto archive = ArchiveDataSources(intYear);
    RegisterAll(MdlODBC::kNativeView, archive);
    RegisterAll(MdlODBC::kWow64View, archive);
  }

  try {
    progress_.Unload();
  } catch (const std::exception&) {
    // Skipped like any other failing step: the run is over either way.
  }
}

int frmQuillet::CountRegistrations(MdlODBC::RegistrationStatus status) const {
  return static_cast<int>(std::count_if(registrations_.begin(), registrations_.end(),
                                        [&](const auto& r) { return r.outcome.status == status; }));
}

void frmQuillet::ReadProcessorId() {
  try {
    strProcessorId = basRegistry::ToText(
        basRegistry::GetRegistryString(windows_, win::kLocalMachine, kProcessorKey, kProcessorValue));
  } catch (const std::exception&) {
    // Left as it was: an unreadable identifier means "not x86".
  }
}

void frmQuillet::Register(const MdlODBC::RegistryView& view, const MdlODBC::DataSourceSpec& spec) {
  RegistrationRecord record{spec.name, &view, {}};
  try {
    record.outcome = MdlODBC::RegisterDataSource(windows_, view, spec);
  } catch (const std::exception& error) {
    record.outcome = {MdlODBC::RegistrationStatus::Failed, error.what(), 0};
  }
  registrations_.push_back(std::move(record));
}

void frmQuillet::RegisterAll(const MdlODBC::RegistryView& view,
                             const std::vector<MdlODBC::DataSourceSpec>& specs) {
  for (const auto& spec : specs) Register(view, spec);
}

std::int16_t frmQuillet::LastArchiveYear() {
  return static_cast<std::int16_t>(windows_.GetLocalDate().year - 1);
}

}  // namespace quillet
