#pragma once
// /uninstall: takes away the data sources of the program's set that are still exactly as it
// wrote them, and keeps every one that someone changed or added to.

#include "setup/ExitCodes.h"
#include "setup/RunContext.h"

namespace quillet {

// An interactive run asks once, before it takes the run lock, and only when there is something to
// remove. Returns 0 when every data source of the set is gone or kept because it was customised,
// 1603 when a removal failed, 1602 when the user said No, 1618 when another run held the lock.
int RunUninstall(RunContext& run);

}  // namespace quillet
