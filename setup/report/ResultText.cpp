#include "setup/report/ResultText.h"

#include <cstdio>

#include "platform/Application.h"
#include "platform/WindowsTypes.h"
#include "setup/ExitCodes.h"

namespace quillet {
namespace {

// "5 registered, 0 already present, 1 failed".
std::string StateCounts(const RunResult& result) {
  std::string text;
  for (const auto& each : StatesOf(result.mode)) {
    text +=
        (text.empty() ? "" : ", ") + std::to_string(result.Count(each.state)) + " " + each.label;
  }
  return text;
}

// Registry text (a DBQ, a value name) as a line shows it: a control character in the form
// <0x0D>, which no path holds, so that nothing read from the registry begins a line of its own.
std::string Printable(const std::string& text) {
  std::string shown;
  for (const char c : text) {
    char escaped[8] = {c, '\0'};
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::snprintf(escaped, 8, "<0x%02X>", c);
    shown += escaped;
  }
  return shown;
}

// "nothing may run as SYSTEM ...", after `first` ("nothing", "Nothing").
std::string UnsafeSentence(const RunResult& result, const char* first) {
  return std::string(first) +
         " may run as SYSTEM from the program's folder: " + result.unsafeProgramFolder +
         "; give it to SYSTEM and the Administrators alone, and run this setup again";
}

constexpr const char* kSetupComplete = "Setup Complete - DO NOT run this setup again.";
constexpr std::size_t kFailuresNamed = 5;
constexpr std::size_t kNamesInTheCheckBox = 3;

std::string Listed(const std::vector<std::string>& names, const char* what) {
  std::string text = "\n\n" + std::to_string(names.size()) +
                     (names.size() == 1 ? " data source " : " data sources ") + what + ":\n";
  for (std::size_t i = 0; i < names.size() && i < kFailuresNamed; ++i) text += "\n" + names[i];
  if (names.size() > kFailuresNamed) {
    text += "\n... and " + std::to_string(names.size() - kFailuresNamed) + " more";
  }
  return text;
}

// The completion message of a plain run or a repair that could not register the data sources
// named in `failed`, or found those in `incomplete` present with parts missing.
std::string FailureSummary(const std::vector<std::string>& failed,
                           const std::vector<std::string>& incomplete) {
  std::string text = "Setup did not complete.";
  if (!failed.empty()) text += Listed(failed, "could not be registered");
  if (!incomplete.empty()) text += Listed(incomplete, "are present but incomplete");
  if (!failed.empty()) {
    text += "\n\nRun this setup again with administrator rights to add what is missing.";
  }
  if (!incomplete.empty()) {
    text += "\n\nRun this setup with /repair to complete the incomplete data sources.";
  }
  return text;
}

// "the scheduled task "QuilletSetup" was removed", after `article` ("the", "The").
std::string TaskSentence(const RunResult& result, const char* article = "the") {
  // What it says may be a pupil's: a task of the name is anyone's to register.
  return std::string(article) + " scheduled task \"QuilletSetup\" " + Printable(result.task->said);
}

std::string TaskLine(const RunResult& result) {
  return result.task ? TaskSentence(result, "The") + "." + kLineEnd : std::string();
}

std::string WarningLines(const RunResult& result) {
  std::string text;
  for (const auto& warning : result.warnings) text += "warning: " + Printable(warning) + kLineEnd;
  if (result.nativeDriverExpected) {
    text +=
        "note: the native view names no Access driver that exists, as expected on 64-bit "
        "Windows: the Access driver of this kind is 32-bit only, and Quillet uses the "
        "32-bit view" +
        std::string(kLineEnd);
  }
  return text;
}

bool NothingRemoved(const RunResult& result) {
  for (const auto& row : result.rows) {
    if (row.state == SourceState::Removed || row.state == SourceState::Failed ||
        !row.note.empty()) {
      return false;
    }
  }
  return result.stoppedBy.empty();
}

std::string CheckBoxText(const RunResult& result) {
  if (!result.stoppedBy.empty()) return CheckReport(result);
  std::string text = std::to_string(result.rows.size()) + " Quillet data sources checked.\n";
  for (const auto& kind : StatesOf(result.mode)) {
    const auto names = result.Named(kind.state);
    if (names.empty()) continue;
    text += "\n" + std::to_string(names.size()) + " " + kind.label + ": ";
    for (std::size_t i = 0; i < names.size() && i < kNamesInTheCheckBox; ++i) {
      text += (i == 0 ? "" : ", ") + names[i];
    }
    if (names.size() > kNamesInTheCheckBox) text += ", ...";
  }
  if (!result.warnings.empty()) {
    text += "\n\n" + std::to_string(result.warnings.size()) + " warnings (see /log).";
  }
  return text;
}

std::string CompletionText(const RunResult& result, const std::string& quilletWhere) {
  const auto failed = result.Named(SourceState::Failed);
  const auto incomplete = result.Named(SourceState::Incomplete);
  std::string text = failed.empty() && incomplete.empty() ? std::string(kSetupComplete)
                                                          : FailureSummary(failed, incomplete);
  if (!result.unsafeProgramFolder.empty()) text += "\n\n" + UnsafeSentence(result, "Nothing") + ".";
  for (const auto& row : result.rows) {
    if (row.state == SourceState::Failed && row.failure == MdlODBC::kDriverDirectoryUnknown) {
      text += std::string("\n\n") + MdlODBC::kFailedToGetOsVersion + ": " +
              MdlODBC::kDriverDirectoryUnknown + " for " + row.Who() +
              (failed.size() > 1 ? " and others." : ".");
      break;
    }
  }
  if (result.accessDriverInstalled == false) {
    text += "\n\n" + DriverSentence(quilletWhere, false);
  }
  if (result.task && result.task->failed) text += "\n\n" + TaskSentence(result, "The") + ".";
  return text;
}

}  // namespace

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

std::string ResultWords(int exitCode) { return std::string(MeaningOf(exitCode).words); }

std::string RowLine(const SourceRow& row, std::optional<Mode> mode) {
  const std::string note = row.note.empty() ? "" : "; " + row.note;
  const std::string customised = row.Customisation();
  std::string text;
  switch (row.state) {
    case SourceState::Registered: text = "registered" + note; break;
    case SourceState::AlreadyPresent: text = "already present" + note; break;
    case SourceState::Incomplete:
      text = mode == Mode::Check ? "incomplete, missing " + Joined(row.missing)
                                 : "present but incomplete, missing " + Joined(row.missing) + note +
                                       "; run this setup with /repair to complete it";
      break;
    case SourceState::Repaired:
      text = "repaired";
      if (!row.note.empty()) text += ": " + row.note;
      if (!row.missing.empty())
        text += (row.note.empty() ? ", added " : "; added ") + Joined(row.missing);
      break;
    case SourceState::Complete: text = "complete"; break;
    case SourceState::Customised: text = "customised: " + customised; break;
    case SourceState::EarlierDriver:
      text = "driver path of an earlier version: " + row.earlierDriver +
             " (this setup rewrites it when run again)" +
             (customised.empty() ? "" : "; customised: " + customised);
      break;
    case SourceState::Missing: text = "missing"; break;
    case SourceState::Unreadable: text = "could not be read: " + row.Reason(); break;
    case SourceState::Removed: text = "removed" + note; break;
    case SourceState::Kept: text = "kept: customised, " + customised + note; break;
    case SourceState::NotPresent: text = "not present" + note; break;
    case SourceState::Failed: text = "failed: " + row.Reason() + note; break;
  }
  if (row.stagingLeft) text += "; a staging key left by a cut-off run";
  return row.Who() + ": " + Printable(text);
}

std::string Counts(const RunResult& result) {
  return std::to_string(result.rows.size()) + " data sources: " + StateCounts(result);
}

std::string Summary(const RunResult& result) {
  if (result.refused) {
    // A phrase within the summary line, which goes on after it.
    return result.failure.ends_with('.') ? result.failure.substr(0, result.failure.size() - 1)
                                         : result.failure;
  }
  if (result.mode == Mode::Check && !result.stoppedBy.empty()) {
    return "the check could not be done: " + result.stoppedBy;
  }
  std::string text = Counts(result);
  if (!result.unsafeProgramFolder.empty()) text += "; " + UnsafeSentence(result, "nothing");
  if (result.task && result.task->failed) text += "; " + TaskSentence(result);
  return text;
}

std::string DriverSentence(const std::string& where, bool installed) {
  const std::string driver = "\"Microsoft Access Driver (*.mdb)\"";
  if (installed) return driver + " is installed for the " + where + ", which Quillet uses.";
  return driver + " is not installed for the " + where +
         ", which Quillet uses: Quillet cannot open its databases until it is.";
}

std::string CheckReport(const RunResult& result) {
  if (!result.stoppedBy.empty()) {
    return "The check could not be done: " + result.stoppedBy + kLineEnd;
  }
  std::string text;
  int staging = 0;
  for (const auto& row : result.rows) {
    text += RowLine(row, result.mode) + kLineEnd;
    staging += row.stagingLeft ? 1 : 0;
  }
  return text + WarningLines(result) + TaskLine(result) + StateCounts(result) + "; " +
         std::to_string(staging) + " staging keys left; " + std::to_string(result.warnings.size()) +
         " warnings" + kLineEnd;
}

std::string LogSection(const RunResult& result, const std::string& quilletWhere) {
  if (result.refused) return result.failure.empty() ? "" : result.failure + kLineEnd;
  if (result.mode == Mode::Check) return CheckReport(result);
  std::string text;
  for (const auto& row : result.rows) text += RowLine(row, result.mode) + kLineEnd;
  if (result.mode == Mode::Uninstall) {
    if (!result.stoppedBy.empty()) text += "Uninstall stopped: " + result.stoppedBy + kLineEnd;
    if (NothingRemoved(result)) text += std::string("Nothing to remove.") + kLineEnd;
    text += TaskLine(result);
  } else {
    if (!result.stoppedBy.empty()) text += "Setup stopped: " + result.stoppedBy + kLineEnd;
    if (result.accessDriverInstalled) {
      text += DriverSentence(quilletWhere, *result.accessDriverInstalled) + kLineEnd;
    }
    if (!result.unsafeProgramFolder.empty())
      text += UnsafeSentence(result, "Nothing") + "." + kLineEnd;
    text += TaskLine(result);
  }
  return text + Counts(result) + kLineEnd;
}

std::optional<Box> ClosingBox(const RunResult& result, const std::string& quilletWhere) {
  const std::uint32_t warning = win::kMbOk | win::kMbIconWarning;
  const std::uint32_t information = win::kMbOk | win::kMbIconInformation;
  if (result.refused) {
    if (result.exitCode == kExitUserDeclined) return std::nullopt;
    return Box{result.shown.empty() ? result.failure : result.shown, app::kTitle,
               result.exitCode == kExitAlreadyRunning ? warning : win::kMbOk | win::kMbIconError};
  }
  const bool failed = result.exitCode == kExitInstallFailure;
  switch (*result.mode) {
    case Mode::Check:
      return Box{CheckBoxText(result), "Quillet Check",
                 result.exitCode == kExitSuccess ? information : warning};
    case Mode::Uninstall:
      return Box{!failed && NothingRemoved(result)
                     ? "Nothing to remove: no Quillet data source is as this setup registered it."
                     : "Quillet " + Counts(result),
                 kInstallationTitle, failed ? warning : information};
    case Mode::Install:
    case Mode::Repair: break;
  }
  if (!result.stoppedBy.empty()) {
    return Box{result.stoppedBy, app::kTitle, win::kMbOk | win::kMbIconError};
  }
  return Box{CompletionText(result, quilletWhere), kInstallationTitle,
             failed ? warning : win::kMbOk};
}

}  // namespace quillet
