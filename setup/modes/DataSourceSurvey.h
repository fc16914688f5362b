#pragma once
// What every mode decides over: each data source of the run's plan in the view the plain run
// writes it to, read once, thoroughly, through the run's registry of that view.

#include <vector>

#include "odbc/DataSourceRegistry.h"
#include "setup/report/RunResult.h"
#include "setup/run/RunPlan.h"
#include "setup/run/ViewRegistries.h"

namespace quillet {

struct SurveyedDataSource {
  PlannedDataSource planned;
  MdlODBC::DataSourceReading reading;  // empty when it could not be read
  bool readable = true;
  // Its row, its state yet to be decided: how it differs from what this program writes, what
  // was added, an earlier version's driver path; why it could not be read.
  SourceRow row;
};

// A row for the planned data source, its state yet to be told.
SourceRow RowOf(const RunPlan& plan, const PlannedDataSource& planned);

// The row's data source failed, for Windows' `status` where it is not 0.
void Fail(SourceRow& row, std::string failure, win::Status status, win::SystemApi& system);

// Reads every data source of the run's plan, in its order.
// `additions`: what was added below each one, which only /check and /uninstall need.
std::vector<SurveyedDataSource> SurveyDataSources(const RunPlan& plan, ViewRegistries& registries,
                                                  win::SystemApi& system, bool additions = true);

}  // namespace quillet
