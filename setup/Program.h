#pragma once

#include "platform/WindowsApi.h"
#include "setup/ExitCodes.h"

namespace quillet {

// The program from start to end: reads the command line once, plans the run, runs its one mode
// and concludes it. Returns exactly the exit code the conclusion gives, which the log, /json, the
// event and standard error give too; 1603 for a failure nothing else caught.
int RunProgram(win::WindowsApi& windows);

}  // namespace quillet
