#pragma once
// /uninstall: takes away the data sources of the program's set that are still exactly as it
// wrote them, and keeps every one that someone changed or added to.

#include "platform/SystemApi.h"
#include "setup/report/RunResult.h"
#include "setup/run/RunPlan.h"
#include "setup/run/ViewRegistries.h"

namespace quillet {

// What a removal would take away now: data sources exactly as written, and staging keys. Read
// without the lock, for the question asked before it is taken.
int CountRemovable(const RunPlan& plan, ViewRegistries& registries, win::SystemApi& system);

// Decides again from what is there, and removes. Exit code 0 when every data source of the set is
// gone or kept because it was customised, 1603 when a removal failed. The run lock is held.
RunResult RunUninstall(const RunPlan& plan, ViewRegistries& registries, win::SystemApi& system,
                       const std::string& unsafeProgramFolder);

}  // namespace quillet
