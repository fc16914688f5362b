#pragma once
// What a run decides once, where the program starts, and no mode changes: how this process
// reaches the two registry views, the moment the run started (the one reading of the clock, from
// which the archive years and every time the run gives derive), the processor and the view
// Quillet uses, and the plan of data sources.

#include <cstdint>
#include <string>
#include <vector>

#include "odbc/MdlODBC.h"
#include "platform/WindowsApi.h"
#include "setup/report/RunResult.h"
#include "setup/run/QuilletDataSources.h"

namespace quillet {

// Whether the processor identifier names a 32-bit x86 machine ("x86" anywhere, any letter case).
bool IsX86Processor(const std::string& processorId);

// The machine's processor identifier as text ("" when it cannot be read).
std::string ReadProcessorIdentifier(win::RegistryApi& registry);

struct RunPlan {
  MdlODBC::RegistryAccess access;
  win::LocalDate started;
  std::int16_t lastArchiveYear = 0;
  std::string processorId;  // "" until read, or when it cannot be read
  // Whether the machine runs 32-bit x86 Windows: by the processor identifier, or where none can
  // be read, by what the process knows of the Windows it runs on. It alone decides the view
  // Quillet uses, for the current data sources, the driver check and every message alike.
  bool x86Windows = false;
  const MdlODBC::RegistryView* quilletView = &MdlODBC::kWow64View;
  std::vector<PlannedDataSource> dataSources;

  // The view as this machine has it, for messages and logs ("native view").
  [[nodiscard]] std::string Where(const MdlODBC::RegistryView& view) const;
  // A row for the planned data source, its state yet to be told.
  [[nodiscard]] SourceRow RowOf(const PlannedDataSource& planned) const;
};

// What is known without the registry: the access, the clock, and the view Windows' kind implies.
RunPlan StartRun(win::WindowsApi& windows);
// Reads the processor identifier and plans every data source, once, before any mode runs.
void PlanRun(RunPlan& plan, win::RegistryApi& registry);

}  // namespace quillet
