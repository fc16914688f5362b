#include "setup/report/RunResult.h"

#include <algorithm>

#include "setup/report/ResultText.h"

namespace quillet {

const char* ModeWord(Mode mode) {
  static constexpr const char* kWords[] = {"install", "repair", "check", "uninstall"};
  return kWords[static_cast<int>(mode)];
}

const char* StateWord(SourceState state) {
  static constexpr const char* kWords[] = {
      "registered", "already-present", "incomplete", "repaired", "complete", "customised",
      "earlier-driver", "missing", "unreadable", "removed", "kept", "not-present", "failed"};
  return kWords[static_cast<int>(state)];
}

std::string SourceRow::Who() const { return name + " (" + where + ")"; }

std::string SourceRow::Reason() const {
  return statusText.empty() ? failure : failure + ": " + statusText;
}

std::string SourceRow::Customisation() const {
  std::string text;
  if (!differs.empty()) text = Joined(differs) + (differs.size() == 1 ? " differs" : " differ");
  if (!added.empty()) text += (text.empty() ? "added " : "; added ") + Joined(added);
  return text;
}

int RunResult::Count(SourceState state) const {
  return static_cast<int>(std::count_if(rows.begin(), rows.end(),
                                        [&](const SourceRow& row) { return row.state == state; }));
}

std::vector<std::string> RunResult::Named(SourceState state) const {
  std::vector<std::string> names;
  for (const auto& row : rows) {
    if (row.state == state) names.push_back(row.Who());
  }
  return names;
}

RunResult Refusal(std::optional<Mode> mode, int exitCode, std::string why, std::string shown) {
  RunResult result;
  result.mode = mode;
  result.refused = true;
  result.exitCode = exitCode;
  result.failure = std::move(why);
  result.shown = std::move(shown);
  return result;
}

}  // namespace quillet
