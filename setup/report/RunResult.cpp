#include "setup/report/RunResult.h"

#include <algorithm>

#include "setup/report/ResultText.h"

namespace quillet {

const char* ModeWord(Mode mode) {
  static constexpr const char* kWords[] = {"install", "repair", "check", "uninstall"};
  return kWords[static_cast<int>(mode)];
}

const std::vector<StateName>& StatesOf(std::optional<Mode> mode) {
  static const std::vector<StateName> kInstall = {
      {SourceState::Registered, "registered", "registered"},
      {SourceState::AlreadyPresent, "already-present", "already present"},
      {SourceState::Incomplete, "incomplete", "present but incomplete"},
      {SourceState::Repaired, "repaired", "repaired"},
      {SourceState::Failed, "failed", "failed"}};
  static const std::vector<StateName> kCheck = {
      {SourceState::Complete, "complete", "complete"},
      {SourceState::Customised, "customised", "customised"},
      {SourceState::EarlierDriver, "earlier-driver", "with an earlier version's driver path"},
      {SourceState::Incomplete, "incomplete", "incomplete"},
      {SourceState::Missing, "missing", "missing"},
      {SourceState::Unreadable, "unreadable", "unreadable"}};
  static const std::vector<StateName> kUninstall = {
      {SourceState::Removed, "removed", "removed"},
      {SourceState::Kept, "kept", "kept"},
      {SourceState::NotPresent, "not-present", "not present"},
      {SourceState::Failed, "failed", "failed"}};
  return mode == Mode::Check ? kCheck : mode == Mode::Uninstall ? kUninstall : kInstall;
}

const char* StateWord(SourceState state) {
  for (const auto mode : {Mode::Install, Mode::Check, Mode::Uninstall}) {
    for (const auto& each : StatesOf(mode)) {
      if (each.state == state) return each.word;
    }
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
