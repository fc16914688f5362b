#pragma once
// /uninstall: takes away the data sources of the program's set that are still exactly as it
// wrote them, and keeps every one that someone changed or added to.

#include "setup/CommandLine.h"
#include "setup/ExitCodes.h"
#include "setup/RunContext.h"

namespace quillet {


// Asks once before it deletes anything (not with /quiet). Returns 0 when every data source of the
// set is gone or kept because it was customised, 1603 when a removal failed, 1602 when the user
// said No.
int RunUninstall(RunContext& run, const CommandLine& command);

}  // namespace quillet
