#pragma once

#include "platform/WindowsApi.h"
#include "setup/ExitCodes.h"

namespace quillet {

// The program from start to end. Reads the command line once; then loads the main window, which
// does all the work. A failure that reaches this level is reported in a message box and ends the
// program. Returns the exit code: 0 when every data source is registered or was already there,
// 1603 when any could not be registered or the run failed, 87 for a command line not understood.
int RunProgram(win::WindowsApi& windows);

}  // namespace quillet
