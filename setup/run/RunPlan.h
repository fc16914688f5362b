#pragma once
// What a run decides once, where the program starts, and no mode changes: how this process
// reaches the two registry views, the moment the run started (the one reading of the clock, from
// which the archive years and every time the run gives derive), the view Quillet uses, and the
// plan of data sources.

#include <cstdint>
#include <string>
#include <vector>

#include "odbc/MdlODBC.h"
#include "setup/run/QuilletDataSources.h"

namespace quillet {

struct RunPlan {
  MdlODBC::RegistryAccess access;
  win::LocalDate started;
  std::int16_t lastArchiveYear = 0;
  // The native view on 32-bit x86 Windows, the 32-bit-on-64-bit one elsewhere: for the current
  // data sources, the driver check and every message alike.
  const MdlODBC::RegistryView* quilletView = &MdlODBC::kWow64View;
  std::vector<PlannedDataSource> dataSources;

  // The view as this machine has it, for messages and logs ("native view").
  [[nodiscard]] std::string Where(const MdlODBC::RegistryView& view) const;
};

// What is known without reading the registry: the access, the clock, and the view Windows' kind
// implies, for a run refused before it reads anything.
RunPlan StartRun(win::RegistryApi& registry, win::SystemApi& system);
// Plans every data source, once, before any mode runs. Windows is 32-bit x86 by the processor
// identifier ("x86" anywhere, any letter case), or where none can be read, by Windows' kind.
void PlanRun(RunPlan& plan, win::RegistryApi& registry);

}  // namespace quillet
