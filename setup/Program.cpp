#include "setup/Program.h"

#include <exception>
#include <string>

#include "platform/Application.h"
#include "platform/QuietWindows.h"
#include "setup/CheckMode.h"
#include "setup/CommandLine.h"
#include "setup/RunContext.h"
#include "setup/RunLock.h"
#include "setup/RunLog.h"
#include "setup/UninstallMode.h"
#include "setup/frmQuillet.h"

namespace quillet {
namespace {

CommandLine ReadCommandLine(win::WindowsApi& windows) {
  auto arguments = SplitCommandLine(windows.System().GetCommandLineW());
  if (!arguments.empty()) arguments.erase(arguments.begin());  // the program's own name
  return ParseCommandLine(arguments);
}

int Setup(RunContext& run, const CommandLine& command) {
  win::WindowsApi& windows = run.Windows();
  frmQuillet mainWindow(run, command.repair ? RunMode::Repair : RunMode::Install);
  int exitCode = kExitSuccess;
  std::string stoppedBy;
  try {
    mainWindow.Load();
    exitCode = mainWindow.ExitCode();
  } catch (const std::exception& error) {
    windows.Screen().MessageBoxA(error.what(), app::kTitle, win::kMbOk | win::kMbIconError);
    stoppedBy = error.what();
    exitCode = kExitInstallFailure;
  }
  if (command.logPath &&
      WriteLog(windows, *command.logPath,
               FormatRunLog(windows.System(), mainWindow.Registrations(), run.AccessDriverState(),
                            stoppedBy),
               exitCode)) {
    exitCode = kExitInstallFailure;
  }
  return exitCode;
}

int RunCommand(win::WindowsApi& system, const CommandLine& command) {
  win::QuietWindows quiet(system);
  win::WindowsApi& windows = command.quiet ? quiet : system;

  if (command.notUnderstood) {
    // Said wherever someone may look: standard error, the log, and a box when interactive.
    const std::string reason = "This argument is not understood: " + *command.notUnderstood;
    windows.System().WriteStandardError(reason + "\r\n");
    if (command.logPath) WriteLog(windows, *command.logPath, reason + "\r\n", kExitBadCommandLine);
    const std::string message = reason + "\n\n" + UsageText();
    windows.Screen().MessageBoxA(message.c_str(), app::kTitle, win::kMbOk | win::kMbIconError);
    return kExitBadCommandLine;
  }
  if (command.help) {
    std::string text = UsageText();
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) {
      text.insert(at, "\r");
    }
    if (!windows.System().WriteStandardOutput(text)) {
      windows.Screen().MessageBoxA(UsageText().c_str(), app::kTitle,
                                   win::kMbOk | win::kMbIconInformation);
    }
    return kExitSuccess;
  }
  win::NamedMutex lock(windows.System(), kRunLockName);
  if (const int refused = TakeRunLock(windows, command, lock); refused != kExitSuccess) {
    return refused;
  }
  // Decided once for the whole run, whichever mode it is.
  RunContext run(windows);
  if (command.check) return RunCheck(run, command);
  if (command.uninstall) return RunUninstall(run, command);
  return Setup(run, command);
}

}  // namespace

int RunProgram(win::WindowsApi& system) {
  CommandLine command;
  try {
    command = ReadCommandLine(system);
    return RunCommand(system, command);
  } catch (...) {
    // Nothing ends the program abnormally: a deployment tool reads "failed", and the log says so.
    if (command.logPath) {
      try {
        win::QuietWindows quiet(system);
        WriteLog(command.quiet ? quiet : system, *command.logPath,
                 "Setup stopped by an unexpected error.\r\n", kExitInstallFailure);
      } catch (...) {
        // The exit code still tells.
      }
    }
    return kExitInstallFailure;
  }
}

}  // namespace quillet
