#include "setup/run/RunLock.h"

#include <exception>

#include "setup/ExitCodes.h"

namespace quillet {
namespace {

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

}  // namespace

RunLockResult RunLock::CouldNotMakeSure(win::Status error) {
  return {kExitInstallFailure, "This setup could not make sure that no other copy of it is running (" +
                                   system_.ErrorText(error) + "); it changed nothing."};
}

RunLockResult RunLock::Take(const std::function<void()>& waiting) {
  const win::NamedMutexFinding found = mutex_.Open();
  if (found.kind == win::NameFinding::Failed) return CouldNotMakeSure(found.error);
  if (const std::string who = SomeoneElse(found); !who.empty()) {
    mutex_.Release();
    return {kExitInstallFailure, "The name of this setup's run lock is taken by " + who +
                                     ", which is not this setup; it changed nothing. Find the "
                                     "program that made it, end it, and run this setup again."};
  }
  win::LockOutcome outcome = mutex_.Wait(0);
  if (outcome == win::LockOutcome::TimedOut) {
    try {
      if (waiting) waiting();
    } catch (const std::exception&) {
      // Waiting matters more than the window that says so.
    }
    outcome = mutex_.Wait(kRunLockWaitMs);
  }
  switch (outcome) {
    case win::LockOutcome::Taken:
      return {kExitSuccess, {}};
    case win::LockOutcome::TakenOver:
      return {kExitSuccess,
              "The run lock was left by a copy of this setup that ended without releasing it "
              "(it was stopped or crashed); this run took it over."};
    case win::LockOutcome::TimedOut:
      mutex_.Release();
      return {kExitAlreadyRunning,
              "Another copy of this setup has been running for " +
                  std::to_string(kRunLockWaitMs / 1000) +
                  " seconds; this one changed nothing. Run it again when that one has ended."};
    case win::LockOutcome::Failed:
      break;
  }
  mutex_.Release();
  return CouldNotMakeSure(mutex_.Error());
}

}  // namespace quillet
