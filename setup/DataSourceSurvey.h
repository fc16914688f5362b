#pragma once
// What the check and the removal start from: every data source of the run's plan in the view the
// plain run writes it to, read thoroughly through the run's registry of that view.

#include <string>
#include <vector>

#include "odbc/DataSourceRegistry.h"
#include "setup/RunContext.h"

namespace quillet {

struct SurveyedDataSource {
  PlannedDataSource planned;
  std::string where;                   // "native view", as messages and logs name it
  MdlODBC::DataSourceReading reading;  // empty when it could not be read
  std::string unreadable;              // why it could not be read; empty when it was
  std::vector<std::string> differing;  // values that hold something else than this program writes
  std::string earlierDriver;  // the "Driver" path of an earlier version it holds, if any

  // "Quillet-R (native view)": how messages and logs name it.
  [[nodiscard]] std::string Who() const { return planned.spec.name + " (" + where + ")"; }
};

// Reads every data source of the run's plan, in its order.
std::vector<SurveyedDataSource> SurveyDataSources(RunContext& run);

// "DBQ differs", "DBQ, Driver differ; added Engines\Extra": how a data source differs from what
// this program writes; empty when it does not.
std::string Customisation(const SurveyedDataSource& surveyed);

}  // namespace quillet
