#include "setup/report/Conclusion.h"

#include <algorithm>
#include <exception>

#include "platform/Application.h"
#include "setup/ExitCodes.h"
#include "setup/report/EventSource.h"
#include "setup/report/ReportJson.h"

namespace quillet {
namespace {

bool RegisteredSome(const RunResult& result) {
  return result.Count(SourceState::Registered) + result.Count(SourceState::Repaired) > 0;
}

// A run that ends well and changed nothing writes no event: the scheduled task runs at every
// start, and would otherwise add one each time.
bool ChangedSomething(const RunResult& result) {
  const bool rowChanged = std::any_of(result.rows.begin(), result.rows.end(), [](const auto& row) {
    return row.state == SourceState::Registered || row.state == SourceState::Repaired ||
           row.state == SourceState::Removed || !row.note.empty();
  });
  return rowChanged ||
         (result.task && (result.task->word == "registered" || result.task->word == "removed"));
}

}  // namespace

Conclusion::Conclusion(win::SystemApi& system, RunLog& log, const RunPlan& plan, bool json,
                       bool interactive, std::function<void()> endRegistryWork)
    : system_(system),
      log_(log),
      plan_(plan),
      json_(json),
      interactive_(interactive),
      endRegistryWork_(std::move(endRegistryWork)) {}

ReportFrame Conclusion::Frame() const {
  return {system_.GetComputerNameW(), app::kVersion, plan_.started,
          plan_.access.sixtyFourBitWindows};
}

// One event for each run of a mode that changes the workstation, and for a command line that is
// not understood; its failure changes nothing but the log.
void Conclusion::WriteEvent(const RunResult& result) {
  const int code = result.exitCode;
  const win::EventKind kind = !MeaningOf(code).failure ? win::EventKind::Information
                              : code == kExitInstallFailure && RegisteredSome(result)
                                  ? win::EventKind::Warning
                                  : win::EventKind::Error;
  const std::uint32_t id = kind == win::EventKind::Information ? kEventSucceeded
                           : kind == win::EventKind::Warning   ? kEventPartly
                                                               : kEventFailed;
  const std::string text = SummaryLine(result, Frame()) + kLineEnd +
                           (log_.Path().empty() ? "No log was asked for." : "Log: " + log_.Path());
  const win::Status status = system_.WriteEvent(kEventSource, kind, id, text);
  if (status != win::kErrorSuccess) {
    log_.Add("The run's event could not be written to the Application log: " +
             system_.ErrorText(status) + kLineEnd);
  }
}

const Concluded& Conclusion::Conclude(const RunResult& result) {
  if (concluded_) return *concluded_;
  concluded_ = Concluded{result.exitCode, {}};
  if (endRegistryWork_) endRegistryWork_();
  const std::string quilletWhere = plan_.Where(*plan_.quilletView);

  std::string lines;
  for (const auto& note : notes_) lines += note + kLineEnd;
  for (const auto& note : result.notes) lines += note + kLineEnd;
  log_.Add(lines + LogSection(result, quilletWhere));
  if (MeaningOf(result.exitCode).failure) {
    const std::string reason = result.failure.empty() ? Summary(result) : result.failure;
    system_.WriteStandardError("QuilletSetup: " + reason + " (exit code " +
                               std::to_string(result.exitCode) + ")" + kLineEnd);
  }
  if (result.mode != Mode::Check && (result.exitCode != kExitSuccess || ChangedSomething(result))) {
    WriteEvent(result);
  }

  // /check's report goes to standard output, unless the document goes there instead.
  bool printed = false;
  if (json_) {
    printed = system_.WriteStandardOutput(ReportJson(result, Frame(), *plan_.quilletView));
  } else if (result.mode == Mode::Check && !result.refused) {
    printed = system_.WriteStandardOutput(CheckReport(result));
  }
  if (const auto problem = log_.Finish(result.exitCode)) {
    system_.WriteStandardError(*problem + kLineEnd);
    // A detection rule reads its output: the report there says its log is missing.
    if (printed && !json_) system_.WriteStandardOutput(*problem + kLineEnd);
    concluded_->boxes.push_back({*problem, app::kTitle, win::kMbOk | win::kMbIconWarning});
  }
  const bool reportShown = result.mode == Mode::Check && !result.refused && (printed || json_);
  if (const auto box = ClosingBox(result, quilletWhere); box && !reportShown) {
    concluded_->boxes.push_back(*box);
  }
  if (!interactive_) concluded_->boxes.clear();
  return *concluded_;
}

void Conclusion::After(const std::string& what) {
  try {
    system_.WriteStandardError("QuilletSetup: after the run was concluded: " + what + kLineEnd);
  } catch (const std::exception&) {
    // The exit code still tells.
  }
}

}  // namespace quillet
