#pragma once
// Owner of a named mutex this process created or opened: released, when it was taken, and closed
// with its owner.

#include <string>

#include "platform/SystemApi.h"

namespace win {

class NamedMutex {
 public:
  NamedMutex(SystemApi& system, std::string name) : system_(system), name_(std::move(name)) {}
  ~NamedMutex() { Release(); }
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // Creates the mutex or opens the one of that name; what was there.
  NamedMutexFinding Open() {
    Release();
    return system_.CreateNamedMutex(name_, &handle_);
  }
  // Waits up to `timeoutMs` for the mutex opened; once held, it stays held.
  LockOutcome Wait(std::uint32_t timeoutMs) {
    if (handle_ == 0) {
      error_ = kErrorInvalidHandle;
      return LockOutcome::Failed;
    }
    if (held_) return LockOutcome::Taken;
    const LockOutcome outcome = system_.WaitForNamedMutex(handle_, timeoutMs, &error_);
    held_ = outcome == LockOutcome::Taken || outcome == LockOutcome::TakenOver;
    return outcome;
  }
  // Lets the next waiting run in; nothing when it is not open.
  void Release() {
    if (handle_ != 0) system_.ReleaseNamedMutex(handle_);
    handle_ = 0;
    held_ = false;
  }
  // Why the last wait failed.
  [[nodiscard]] Status Error() const noexcept { return error_; }

 private:
  SystemApi& system_;
  std::string name_;
  MutexHandle handle_ = 0;
  bool held_ = false;
  Status error_ = kErrorSuccess;
};

}  // namespace win
