#pragma once
// /check: where a workstation stands, for detection rules and audits. Reads only: every data
// source of the set as missing, complete, customised or incomplete, a staging key left behind,
// and whether its driver and its database can be found.

#include "platform/SystemApi.h"
#include "setup/report/RunResult.h"
#include "setup/run/RunPlan.h"
#include "setup/run/ViewRegistries.h"

namespace quillet {

// Exit code 0 when every data source is complete or customised, 1 when any is missing or
// incomplete or holds an earlier version's driver path, 1603 when the check failed. The run lock
// is held, or `unlocked` (an account that may not take it), which its first warning says.
RunResult RunCheck(const RunPlan& plan, ViewRegistries& registries, win::SystemApi& system,
                   bool unlocked, const std::string& unsafeProgramFolder);

}  // namespace quillet
