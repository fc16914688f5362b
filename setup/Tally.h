#pragma once
// How many data sources came to each outcome, and which: what a mode's log, message box and
// report count from.

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quillet {

template <typename Outcome>
class Tally {
 public:
  void Add(Outcome outcome, std::string who) {
    named_[outcome].push_back(std::move(who));
    ++total_;
  }
  [[nodiscard]] int Count(Outcome outcome) const { return static_cast<int>(Named(outcome).size()); }
  // Who came to the outcome, in the order they were added.
  [[nodiscard]] const std::vector<std::string>& Named(Outcome outcome) const {
    static const std::vector<std::string> none;
    const auto found = named_.find(outcome);
    return found == named_.end() ? none : found->second;
  }
  [[nodiscard]] int Total() const { return total_; }

 private:
  std::map<Outcome, std::vector<std::string>> named_;
  int total_ = 0;
};

// How people call one outcome in a log or a message ("already present").
template <typename Outcome>
struct OutcomeLabel {
  Outcome outcome;
  const char* label;
};

// "5 registered, 0 already present, 1 failed": the count of each labelled outcome, in order.
template <typename Outcome>
std::string CountsText(const Tally<Outcome>& tally, const std::vector<OutcomeLabel<Outcome>>& labels) {
  std::string text;
  for (const auto& each : labels) {
    text += (text.empty() ? "" : ", ") + std::to_string(tally.Count(each.outcome)) + " " + each.label;
  }
  return text;
}

}  // namespace quillet
