#pragma once
// Faults the in-memory Windows injects, placed by what a call hits (the key path and value name
// of a registry call, the caption of a window, the text of a message box), not by how many calls
// came before it: reordering the program's calls does not move a fault.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/WindowsTypes.h"

namespace win {

// One call made through the fake, in the order made. Key paths are full ("HKLM\...").
struct RecordedCall {
  std::string function;
  std::string keyPath;    // the key addressed (registry functions), the file or folder asked for
  std::string valueName;  // the value, or the text of a message box
  std::uint32_t type = 0;  // value type, access, or message box style
  std::vector<std::uint8_t> data;
  std::string caption;    // message boxes and windows
  WindowHandle window = 0;  // window functions
  double number = 0;        // twips passed to a window function
  std::vector<std::string> texts;  // texts passed to a toolkit or automation call
};

// Where a fault lands: the `occurrence`-th call of `function` whose key path (or window caption)
// contains `where` and, when one is given, whose value name (or message text) is `valueName`;
// letter case is ignored, as the registry ignores it.
struct FaultTarget {
  std::string function{};
  std::string where{};
  std::string valueName{};
  int occurrence = 1;
};

class FaultInjection {
 public:
  void FailAt(FaultTarget target, Status status) { faults_.push_back({std::move(target), status}); }
  void ThrowAt(FaultTarget target) { faults_.push_back({std::move(target), std::nullopt}); }
  // Something another process does just before the next call of a function.
  void BeforeNextCall(const std::string& function, std::function<void()> action) {
    pending_.push_back({function, std::move(action)});
  }

 protected:
  // As a call begins: what another process does first.
  void RunPending(const std::string& function);
  // Once the call knows what it hits: the status it fails with, if a fault lands on it. A fault
  // placed to throw is thrown here as std::runtime_error.
  std::optional<Status> InjectedFault(const RecordedCall& call);

 private:
  struct Fault {
    FaultTarget target;
    std::optional<Status> status;  // empty: throw
  };

  std::vector<Fault> faults_;
  std::vector<std::pair<std::string, std::function<void()>>> pending_;
};

}  // namespace win
