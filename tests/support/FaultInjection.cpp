#include "tests/support/FaultInjection.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace win {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool Hits(const FaultTarget& target, const RecordedCall& call) {
  if (target.function != call.function) return false;
  const std::string where = Lower(target.where);
  const bool placed = where.empty() || Lower(call.keyPath).find(where) != std::string::npos ||
                      Lower(call.caption).find(where) != std::string::npos;
  return placed && (target.valueName.empty() || Lower(target.valueName) == Lower(call.valueName));
}

}  // namespace

void FaultInjection::RunPending(const std::string& function) {
  const auto pending = std::find_if(pending_.begin(), pending_.end(),
                                    [&](const auto& each) { return each.first == function; });
  if (pending == pending_.end()) return;
  const auto action = std::move(pending->second);
  pending_.erase(pending);
  action();
}

std::optional<Status> FaultInjection::InjectedFault(const RecordedCall& call) {
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (!Hits(it->target, call) || --it->target.occurrence > 0) continue;
    const auto status = it->status;
    faults_.erase(it);
    if (!status) throw std::runtime_error("injected failure of " + call.function);
    return status;
  }
  return std::nullopt;
}

}  // namespace win
