#include "setup/RunLock.h"

#include <exception>
#include <string>

#include "platform/Application.h"
#include "setup/ExitCodes.h"
#include "setup/RunLog.h"
#include "setup/frmMessage.h"

namespace quillet {
namespace {

constexpr const char* kLineEnd = "\r\n";

win::LockOutcome WaitShowingProgress(win::WindowsApi& windows, win::NamedMutex& lock) {
  frmMessage progress(windows.Screen());
  try {
    progress.Show(windows.Screen().GetWorkArea());
    progress.Refresh();
  } catch (const std::exception&) {
    // Waiting matters more than the window that says so.
  }
  return lock.Wait(kRunLockWaitMs);
}

int Refuse(win::WindowsApi& windows, const CommandLine& command, const std::string& why,
           int exitCode) {
  if (command.logPath) WriteLog(windows, *command.logPath, why + kLineEnd, exitCode);
  windows.Screen().MessageBoxA(why.c_str(), app::kTitle, win::kMbOk | win::kMbIconWarning);
  return exitCode;
}

}  // namespace

int TakeRunLock(win::WindowsApi& windows, const CommandLine& command, win::NamedMutex& lock) {
  win::LockOutcome outcome = lock.Wait(0);
  if (outcome == win::LockOutcome::TimedOut) {
    outcome = command.quiet ? lock.Wait(kRunLockWaitMs) : WaitShowingProgress(windows, lock);
  }
  switch (outcome) {
    case win::LockOutcome::Taken:
    case win::LockOutcome::TakenOver:
      return kExitSuccess;
    case win::LockOutcome::TimedOut:
      return Refuse(windows, command,
                    "Another copy of this setup has been running for " +
                        std::to_string(kRunLockWaitMs / 1000) +
                        " seconds; this one changed nothing. Run it again when that one has ended.",
                    kExitAlreadyRunning);
    case win::LockOutcome::Failed:
      break;
  }
  return Refuse(windows, command,
                "This setup could not make sure that no other copy of it is running (" +
                    windows.System().ErrorText(lock.Error()) + "); it changed nothing.",
                kExitInstallFailure);
}

}  // namespace quillet
