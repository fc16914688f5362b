#pragma once
// The program's exit codes, as software-deployment tools read them, and what each one means to
// everything that tells of a run.

#include <string_view>

namespace quillet {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitSomethingToDo = 1;      // /check: a data source is missing or incomplete
inline constexpr int kExitBadCommandLine = 87;    // ERROR_INVALID_PARAMETER
inline constexpr int kExitInstallFailure = 1603;  // ERROR_INSTALL_FAILURE: "installation failed"
inline constexpr int kExitUserDeclined = 1602;    // ERROR_INSTALL_USEREXIT
// ERROR_INSTALL_ALREADY_RUNNING: another run held on for too long; deployment tools retry it.
inline constexpr int kExitAlreadyRunning = 1618;
// ERROR_INSTALL_LOG_FAILURE, as Windows Installer ends when it cannot open its log: the log asked
// for could not be started, and nothing was changed.
inline constexpr int kExitLogFailure = 1622;

struct ExitCodeMeaning {
  int code;
  std::string_view words;  // the log's last line, the summary line and /json's "result"
  std::string_view usage;  // what /? says of it
  bool failure;            // said on standard error (deployment tools capture it), an error event
};

// In the order /? lists them.
inline constexpr ExitCodeMeaning kExitCodes[] = {
    {kExitSuccess, "success", "done: every data source is there (/check: all complete)", false},
    {kExitSomethingToDo, "something to do",
     "/check: something to do (missing, incomplete, old driver path)", false},
    {kExitBadCommandLine, "command line not understood",
     "the command line was not understood; nothing was changed", true},
    {kExitUserDeclined, "declined by the user", "/uninstall: the user answered No", false},
    {kExitInstallFailure, "failed", "failed: a data source or the check (the log says why)", true},
    {kExitAlreadyRunning, "another copy was running",
     "another copy was still running after a minute: retry later", true},
    {kExitLogFailure, "the log could not be written",
     "the log could not be written; nothing was changed", true},
};

// The meaning of an exit code; any code not listed means what 1603 means: "failed".
constexpr const ExitCodeMeaning& MeaningOf(int exitCode) {
  for (const auto& meaning : kExitCodes) {
    if (meaning.code == exitCode) return meaning;
  }
  return MeaningOf(kExitInstallFailure);
}

}  // namespace quillet
