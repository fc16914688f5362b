#include "setup/report/RunResult.h"

#include <algorithm>

#include "setup/report/ResultText.h"

namespace quillet {

const char* ModeWord(Mode mode) {
  switch (mode) {
    case Mode::Install: return "install";
    case Mode::Repair: return "repair";
    case Mode::Check: return "check";
    case Mode::Uninstall: return "uninstall";
  }
  return "install";
}

const char* StateWord(SourceState state) {
  switch (state) {
    case SourceState::Registered: return "registered";
    case SourceState::AlreadyPresent: return "already-present";
    case SourceState::Incomplete: return "incomplete";
    case SourceState::Repaired: return "repaired";
    case SourceState::Complete: return "complete";
    case SourceState::Customised: return "customised";
    case SourceState::EarlierDriver: return "earlier-driver";
    case SourceState::Missing: return "missing";
    case SourceState::Unreadable: return "unreadable";
    case SourceState::Removed: return "removed";
    case SourceState::Kept: return "kept";
    case SourceState::NotPresent: return "not-present";
    case SourceState::Failed: return "failed";
  }
  return "failed";
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
