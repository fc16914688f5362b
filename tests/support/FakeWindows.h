#pragma once
// An in-memory Windows for tests: a registry, a system, a screen and a shell, each of its own
// (FakeRegistry, FakeSystem, FakeScreen, FakeShell), that record their calls in one log, in the
// order made, where tests place faults by what a call hits.

#include "platform/WindowsApi.h"
#include "tests/support/CallLog.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/FakeScreen.h"
#include "tests/support/FakeShell.h"
#include "tests/support/FakeSystem.h"

namespace win {

class FakeWindows : public WindowsApi, public CallLog {
 public:
  FakeWindows()
      : system_(*this), registry_(*this, system_.ProcessKindOfThisProcess()), screen_(*this),
        shell_(*this) {}
  FakeWindows(const FakeWindows&) = delete;
  FakeWindows& operator=(const FakeWindows&) = delete;

  FakeRegistry& Registry() override { return registry_; }
  FakeSystem& System() override { return system_; }
  FakeScreen& Screen() override { return screen_; }
  FakeShell& Shell() override { return shell_; }
  [[nodiscard]] const FakeRegistry& Registry() const { return registry_; }
  [[nodiscard]] const FakeSystem& System() const { return system_; }
  [[nodiscard]] const FakeScreen& Screen() const { return screen_; }

 private:
  FakeSystem system_;
  FakeRegistry registry_;
  FakeScreen screen_;
  FakeShell shell_;
};

}  // namespace win
