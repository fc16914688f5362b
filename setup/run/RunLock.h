#pragma once
// One run at a time on a machine, in every mode, whoever started it (a startup script, a
// deployment tool's retry, a person): a named mutex in the global namespace, held while a run
// reads and writes the registry. A second run waits for the first, then does its own work.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/NamedMutex.h"
#include "platform/SystemApi.h"

namespace quillet {

inline constexpr const char* kRunLockName = "Global\\QuilletSetup.OneRunAtATime";
inline constexpr std::uint32_t kRunLockWaitMs = 60 * 1000;

struct RunLockResult {
  int exitCode = 0;  // 0 once the lock is held; 1618 when the wait ran out; 1603 when it failed
  std::string note;  // why it was refused, or that it was taken over from a run that was killed
};

class RunLock {
 public:
  explicit RunLock(win::SystemApi& system) : system_(system), mutex_(system, kRunLockName) {}

  // Takes the lock, waiting for a run that holds it; `waiting` is told once, when the wait
  // begins, so that whoever may look can be shown why. A lock abandoned by a run that was killed
  // is taken over.
  RunLockResult Take(const std::function<void()>& waiting);
  // Lets the next run in; nothing when it is not held.
  void Release() { mutex_.Release(); }

 private:
  RunLockResult CouldNotMakeSure(win::Status error);

  win::SystemApi& system_;
  win::NamedMutex mutex_;
};

}  // namespace quillet
