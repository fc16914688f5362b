#pragma once
// The program's exit codes, as software-deployment tools read them.

namespace quillet {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitSomethingToDo = 1;  // /check: a data source is missing or incomplete
inline constexpr int kExitBadCommandLine = 87;    // ERROR_INVALID_PARAMETER
inline constexpr int kExitInstallFailure = 1603;  // ERROR_INSTALL_FAILURE: "installation failed"
inline constexpr int kExitUserDeclined = 1602;  // ERROR_INSTALL_USEREXIT
// ERROR_INSTALL_ALREADY_RUNNING: another run held on for too long; deployment tools retry it.
inline constexpr int kExitAlreadyRunning = 1618;
// ERROR_INSTALL_LOG_FAILURE, as Windows Installer ends when it cannot open its log: the log asked
// for could not be started, and nothing was changed.
inline constexpr int kExitLogFailure = 1622;

}  // namespace quillet
