#pragma once
// /check: where a workstation stands, for detection rules and audits. Reads only: every data
// source of the set as missing, complete, customised or incomplete, a staging key left behind,
// and whether its driver and its database can be found.

#include "setup/ExitCodes.h"
#include "setup/RunContext.h"

namespace quillet {


// The report goes to standard output when the program has one, to the run's log, and in an
// interactive start without standard output, to a message box. Returns 0 when every data source
// is complete or customised, 1 when any is missing or incomplete or holds an earlier version's
// driver path, 1603 when the check failed. The run lock is held when it is called.
int RunCheck(RunContext& run);

}  // namespace quillet
