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

// Who holds the lock's name when it is not this program: a standard user may create an object of
// any name in the global namespace, and must never make every run wait or give up.
std::string SomeoneElse(const win::NamedMutexFinding& found) {
  switch (found.kind) {
    case win::NameFinding::OtherKind:
      return "an object of another kind than a mutex";
    case win::NameFinding::Denied:
      return "a mutex whose security keeps this setup out";
    case win::NameFinding::Existing:
      if (win::IsAdministrativeOwner(found.ownerSid)) return {};
      if (!found.ownerAccount.empty()) return "a mutex owned by " + found.ownerAccount;
      if (!found.ownerSid.empty()) return "a mutex owned by " + found.ownerSid;
      return "a mutex whose owner Windows does not tell";
    case win::NameFinding::Created:
    case win::NameFinding::Failed:
      break;
  }
  return {};
}

RunLockResult CouldNotMakeSure(win::WindowsApi& windows, win::Status error) {
  return {kExitInstallFailure, "This setup could not make sure that no other copy of it is running (" +
                                   windows.System().ErrorText(error) + "); it changed nothing."};
}

}  // namespace

RunLockResult TakeRunLock(win::WindowsApi& windows, win::NamedMutex& lock, bool interactive) {
  const win::NamedMutexFinding found = lock.Open();
  if (found.kind == win::NameFinding::Failed) return CouldNotMakeSure(windows, found.error);
  if (const std::string who = SomeoneElse(found); !who.empty()) {
    lock.Release();
    return {kExitInstallFailure, "The name of this setup's run lock is taken by " + who +
                                     ", which is not this setup; it changed nothing. Find the "
                                     "program that made it, end it, and run this setup again."};
  }
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
      lock.Release();
      return {kExitAlreadyRunning,
              "Another copy of this setup has been running for " +
                  std::to_string(kRunLockWaitMs / 1000) +
                  " seconds; this one changed nothing. Run it again when that one has ended."};
    case win::LockOutcome::Failed:
      break;
  }
  lock.Release();
  return CouldNotMakeSure(windows, lock.Error());
}

}  // namespace quillet
