#pragma once
// The calls the in-memory Windows has seen, in the order made, across registry, system, screen
// and shell, with the faults placed on them.

#include <string>
#include <vector>

#include "tests/support/FaultInjection.h"

namespace win {

class CallLog : public FaultInjection {
 public:
  // Notes a call as it begins (after what another process does first).
  RecordedCall& Record(std::string function);
  using FaultInjection::InjectedFault;

  [[nodiscard]] const std::vector<RecordedCall>& Calls() const { return calls_; }
  [[nodiscard]] std::vector<std::string> CallNames() const;
  [[nodiscard]] int CountCalls(const std::string& function) const;
  // The calls of one function, in order.
  [[nodiscard]] std::vector<RecordedCall> CallsOf(const std::string& function) const;
  void ClearCalls() { calls_.clear(); }

 private:
  std::vector<RecordedCall> calls_;
};

// Whether two registry names are the same: letter case does not count.
bool SameName(const std::string& a, const std::string& b);

// A text a call was given, null taken as empty.
inline std::string TextOrEmpty(const char* text) { return text == nullptr ? std::string() : text; }

}  // namespace win
