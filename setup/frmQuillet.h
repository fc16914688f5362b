#pragma once
// The main window: runs the registration of every Quillet data source.

#include <cstdint>
#include <string>
#include <vector>

#include "odbc/MdlODBC.h"
#include "platform/WindowsApi.h"
#include "setup/ProgressWindow.h"

namespace quillet {

// What became of one writer call, in run order.
struct RegistrationRecord {
  std::string name;
  const MdlODBC::RegistryView* view = nullptr;
  MdlODBC::RegistrationOutcome outcome;
};

class frmQuillet {
 public:
  frmQuillet(win::WindowsApi& windows, ProgressWindow& progress);

  // Registers the five current data sources in the view the processor calls for, then the five
  // archive data sources of every year from 2002 to last year in both views. A step that fails
  // is skipped and the run goes on with the next one.
  void SetupDataSources();

  [[nodiscard]] const std::vector<RegistrationRecord>& Registrations() const {
    return registrations_;
  }
  [[nodiscard]] int CountRegistrations(MdlODBC::RegistrationStatus status) const;

  std::string strProcessorId;  // the processor identifier, as read at the start of the run
  std::int16_t intYear = 0;    // the archive year being registered

 private:
  void ReadProcessorId();
  void Register(const MdlODBC::RegistryView& view, const MdlODBC::DataSourceSpec& spec);
  void RegisterAll(const MdlODBC::RegistryView& view,
                   const std::vector<MdlODBC::DataSourceSpec>& specs);
  [[nodiscard]] std::int16_t LastArchiveYear();

  win::WindowsApi& windows_;
  ProgressWindow& progress_;
  std::vector<RegistrationRecord> registrations_;
};

// Whether the processor identifier names a 32-bit x86 machine ("x86" anywhere, any letter case).
bool IsX86Processor(const std::string& processorId);

}  // namespace quillet
