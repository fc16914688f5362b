#include "setup/Program.h"

#include <exception>
#include <string>

#include "platform/Application.h"
#include "platform/QuietWindows.h"
#include "setup/CheckMode.h"
#include "setup/CommandLine.h"
#include "setup/RunContext.h"
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
  try {
    mainWindow.Load();
    return mainWindow.ExitCode();
  } catch (const std::exception& error) {
    if (!run.Concluded()) {
      run.Log().Add(FormatRunLog(windows.System(), mainWindow.Registrations(), {}, error.what()));
      ReportRegistrations(run, mainWindow.Registrations());
      run.Conclude(kExitInstallFailure, std::string("Setup stopped: ") + error.what());
    }
    if (run.Interactive()) {
      windows.Screen().MessageBoxA(error.what(), app::kTitle, win::kMbOk | win::kMbIconError);
    }
    return kExitInstallFailure;
  }
}

int RunTheMode(RunContext& run, const CommandLine& command) {
  if (command.uninstall) return RunUninstall(run);  // asks before it takes the lock
  if (const int refused = run.TakeLock(); refused != kExitSuccess) return refused;
  if (command.check) return RunCheck(run);
  return Setup(run, command);
}

int RunCommand(win::WindowsApi& system, const CommandLine& command) {
  // Where no one can see the screen (session 0, a service), a box would wait for ever.
  const bool unseen = !command.quiet && !system.Screen().IsDesktopVisible();
  win::QuietWindows quiet(system);
  RunContext run(command.quiet || unseen ? quiet : system);
  run.Report().mode = command.check       ? "check"
                      : command.uninstall ? "uninstall"
                      : command.repair    ? "repair"
                                          : "install";
  if (command.json) run.WriteJson();

  if (command.help && !command.notUnderstood) {
    std::string text = UsageText();
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) {
      text.insert(at, "\r");
    }
    if (!run.Windows().System().WriteStandardOutput(text)) {
      run.Windows().Screen().MessageBoxA(UsageText().c_str(), app::kTitle,
                                         win::kMbOk | win::kMbIconInformation);
    }
    return kExitSuccess;
  }
  // Before any file or registry work of the run: junctions a standard user made are not followed.
  const win::Status trust = run.Windows().System().TrustOnlyAdministratorsRedirections();
  run.Log().Add(trust == win::kErrorSuccess
                    ? "Junctions and links made by non-administrators are not followed "
                      "(redirection trust).\r\n"
                    : "Redirection trust is not available here (" +
                          run.Windows().System().ErrorText(trust) + ").\r\n");
  // Before anything changes: a run that cannot keep its record changes nothing. /check's exit
  // code tells the workstation's state alone, and it says where the report goes that it has no log.
  std::optional<std::string> logFailure;
  if (command.logPath) logFailure = run.Log().Start(*command.logPath);
  if (command.notUnderstood) {
    const std::string reason = "This argument is not understood: " + *command.notUnderstood;
    return run.Refuse(kExitBadCommandLine, reason, reason + "\n\n" + UsageText());
  }
  if (logFailure && !command.check) {
    const std::string why = *logFailure + " Nothing was changed.";
    run.Log().Abandon();  // said once, here
    return run.Refuse(kExitLogFailure, why, why);
  }
  if (unseen) {
    run.Log().Add("No one can see this session's screen (its window station is not visible, as "
                  "in a service or session 0): the run is quiet, as with /quiet.\r\n");
  }
  try {
    return RunTheMode(run, command);
  } catch (const std::exception& error) {
    if (run.Concluded()) return kExitInstallFailure;
    const std::string why = std::string("Setup stopped by an unexpected error: ") + error.what();
    return run.Refuse(kExitInstallFailure, why, why);
  }
}

}  // namespace

int RunProgram(win::WindowsApi& system) {
  try {
    return RunCommand(system, ReadCommandLine(system));
  } catch (...) {
    // Nothing ends the program abnormally: a deployment tool reads "failed".
    try {
      system.System().WriteStandardError("QuilletSetup: stopped by an unexpected error (exit code 1603)\r\n");
    } catch (...) {
      // The exit code still tells.
    }
    return kExitInstallFailure;
  }
}

}  // namespace quillet
