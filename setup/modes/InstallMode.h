#pragma once
// The plain run and /repair: every data source of the plan registered in its view, what is
// already there left as it is (a repair completes what is missing), and the Application log's
// source registered after the last data source.

#include "platform/RegistryApi.h"
#include "platform/SystemApi.h"
#include "setup/report/RunResult.h"
#include "setup/run/RunPlan.h"
#include "setup/run/ViewRegistries.h"

namespace quillet {

// Registers every data source of the plan, in its order; one that fails costs only itself; then,
// with `schedule`, the scheduled task. Exit code 0 when every one is registered, repaired, or was
// already there and complete, and the task asked for is registered. A run that does not succeed,
// or a program folder a standard user could have changed, registers no task. The run lock is held;
// the views' keys are closed when it returns.
RunResult RunInstall(const RunPlan& plan, ViewRegistries& registries, win::RegistryApi& registry,
                     win::SystemApi& system, Mode mode, bool schedule,
                     const std::string& unsafeProgramFolder);

}  // namespace quillet
