#pragma once
// Owner of a named mutex this process waited for: released and closed with its owner.

#include <string>

#include "platform/SystemApi.h"

namespace win {

class NamedMutex {
 public:
  NamedMutex(SystemApi& system, std::string name) : system_(system), name_(std::move(name)) {}
  ~NamedMutex() { Release(); }
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  // Waits up to `timeoutMs` for the mutex; once held, it stays held.
  LockOutcome Wait(std::uint32_t timeoutMs) {
    if (handle_ != 0) return LockOutcome::Taken;
    const LockOutcome outcome = system_.WaitForNamedMutex(name_, timeoutMs, &handle_, &error_);
    if (outcome != LockOutcome::Taken && outcome != LockOutcome::TakenOver) handle_ = 0;
    return outcome;
  }
  // Lets the next waiting run in; nothing when it is not held.
  void Release() {
    if (handle_ != 0) system_.ReleaseNamedMutex(handle_);
    handle_ = 0;
  }
  [[nodiscard]] bool Held() const noexcept { return handle_ != 0; }
  // Why the last wait failed.
  [[nodiscard]] Status Error() const noexcept { return error_; }

 private:
  SystemApi& system_;
  std::string name_;
  MutexHandle handle_ = 0;
  Status error_ = kErrorSuccess;
};

}  // namespace win
