#pragma once
// Which Quillet data sources exist: the five current databases, and the same five for every
// archive year.

#include <cstdint>
#include <vector>

#include "odbc/MdlODBC.h"
#include "platform/WindowsTypes.h"

namespace quillet {

inline constexpr std::int16_t kFirstArchiveYear = 2002;

// The last archive year on a given day: the year before it.
std::int16_t LastArchiveYear(const win::LocalDate& today);

// One data source of a run, in the view it goes to.
struct PlannedDataSource {
  const MdlODBC::RegistryView* view = nullptr;
  MdlODBC::DataSourceSpec spec;
  std::int16_t archiveYear = 0;  // 0 for the current data sources
};

// Every data source a run registers, in its order: the five current ones in the view Quillet
// uses, then for every year from 2002 to the last archive year its five in the native view and
// the same five in the other.
std::vector<PlannedDataSource> PlanDataSources(const MdlODBC::RegistryView* quilletView,
                                               std::int16_t lastArchiveYear);

}  // namespace quillet
