#include "tests/support/CallLog.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace win {

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

RecordedCall& CallLog::Record(std::string function) {
  RunPending(function);
  calls_.emplace_back();
  calls_.back().function = std::move(function);
  return calls_.back();
}

std::vector<std::string> CallLog::CallNames() const {
  std::vector<std::string> names;
  for (const auto& call : calls_) names.push_back(call.function);
  return names;
}

int CallLog::CountCalls(const std::string& function) const {
  return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                        [&](const RecordedCall& c) { return c.function == function; }));
}

std::vector<RecordedCall> CallLog::CallsOf(const std::string& function) const {
  std::vector<RecordedCall> found;
  std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(found),
               [&](const RecordedCall& c) { return c.function == function; });
  return found;
}

}  // namespace win
