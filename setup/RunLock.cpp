#include "setup/RunLock.h"

#include <exception>

#include "setup/ExitCodes.h"
#include "setup/frmMessage.h"

namespace quillet {
namespace {

win::LockOutcome WaitShowingWhy(win::WindowsApi& windows, win::NamedMutex& lock) {
  frmMessage waiting(windows.Screen(), kWaitingCaption);
  try {
    waiting.Show(windows.Screen().GetWorkArea());
    waiting.Refresh();
  } catch (const std::exception&) {
    // Waiting matters more than the window that says so.
  }
  return lock.Wait(kRunLockWaitMs);
}

}  // namespace

RunLockResult TakeRunLock(win::WindowsApi& windows, win::NamedMutex& lock, bool interactive) {
  win::LockOutcome outcome = lock.Wait(0);
  if (outcome == win::LockOutcome::TimedOut) {
    outcome = interactive ? WaitShowingWhy(windows, lock) : lock.Wait(kRunLockWaitMs);
  }
  switch (outcome) {
    case win::LockOutcome::Taken:
      return {kExitSuccess, {}};
    case win::LockOutcome::TakenOver:
      return {kExitSuccess,
              "The run lock was left by a copy of this setup that ended without releasing it "
              "(it was stopped or crashed); this run took it over."};
    case win::LockOutcome::TimedOut:
      return {kExitAlreadyRunning,
              "Another copy of this setup has been running for " +
                  std::to_string(kRunLockWaitMs / 1000) +
                  " seconds; this one changed nothing. Run it again when that one has ended."};
    case win::LockOutcome::Failed:
      break;
  }
  return {kExitInstallFailure, "This setup could not make sure that no other copy of it is running (" +
                                   windows.System().ErrorText(lock.Error()) +
                                   "); it changed nothing."};
}

}  // namespace quillet
