#pragma once
// The plain-text log of a run: one line per data source in run order, then the counts.

#include <string>
#include <vector>

#include "platform/WindowsApi.h"
#include "setup/frmQuillet.h"

namespace quillet {

// UTF-8 text with Windows line ends. `stoppedBy` names a failure that ended the run early.
std::string FormatRunLog(win::WindowsApi& windows, const std::vector<RegistrationRecord>& records,
                         const std::string& stoppedBy = {});

// Writes the log file; returns whether it was written, and tells the user when it was not.
bool WriteLog(win::WindowsApi& windows, const std::string& path, const std::string& contents);

}  // namespace quillet
