#pragma once
// The plain-text log of a run: one line per data source in run order, then the counts.

#include <optional>
#include <string>
#include <vector>

#include "platform/WindowsApi.h"
#include "setup/RunContext.h"

namespace quillet {

// UTF-8 text with Windows line ends: a line per data source, whether the Access driver is there,
// every count. `stoppedBy` names a failure that ended the run early.
std::string FormatRunLog(win::SystemApi& system, const std::vector<RegistrationRecord>& records,
                         const std::string& driverState, const std::string& stoppedBy = {});


// "a, b, c": a list in a log line or a message.
std::string Joined(const std::vector<std::string>& parts);

// The log's first line: the computer, the local date and time, the program's version, the command
// line and the archive years the run covers.
std::string LogHeader(win::SystemApi& system);

// Writes the log file: its first line, `contents`, and the result with the exit code. Tells the
// user (in a box) when it could not, and returns why; nothing when it was written.
std::optional<std::string> WriteLog(win::WindowsApi& windows, const std::string& path,
                                    const std::string& contents, int exitCode);

}  // namespace quillet
