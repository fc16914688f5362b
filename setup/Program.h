#pragma once

#include "platform/WindowsApi.h"

namespace quillet {

// The program from start to end: loads the main window, which does all the work. A failure that
// reaches this level is reported in a message box and ends the program. Returns the exit code.
int RunProgram(win::WindowsApi& windows);

}  // namespace quillet
