#include "setup/RunLog.h"

#include <cstdio>

#include "platform/Application.h"
#include "setup/ExitCodes.h"
#include "setup/QuilletDataSources.h"
#include "setup/Tally.h"

namespace quillet {
namespace {

using MdlODBC::RegistrationStatus;

constexpr const char* kLineEnd = "\r\n";

std::string Outcome(win::SystemApi& system, const MdlODBC::RegistrationOutcome& outcome) {
  const std::string note = outcome.note.empty() ? "" : "; " + outcome.note;
  switch (outcome.status) {
    case RegistrationStatus::Registered:
      return "registered" + note;
    case RegistrationStatus::AlreadyPresent:
      return "already present" + note;
    case RegistrationStatus::Incomplete:
      return "present but incomplete, missing " + Joined(outcome.parts) + note +
             "; run this setup with /repair to complete it";
    case RegistrationStatus::Repaired: {
      std::string text = "repaired";
      if (!outcome.note.empty()) text += ": " + outcome.note;
      if (!outcome.parts.empty()) {
        text += (outcome.note.empty() ? ", added " : "; added ") + Joined(outcome.parts);
      }
      return text;
    }
    case RegistrationStatus::Failed:
      break;
  }
  std::string text = "failed: " + outcome.failure;
  if (outcome.errorCode != 0) text += ": " + system.ErrorText(outcome.errorCode);
  return text;
}

}  // namespace

std::string ResultWords(int exitCode) {
  const char* result = "failed";
  switch (exitCode) {
    case kExitLogFailure: result = "the log could not be written"; break;
    case kExitSuccess: result = "success"; break;
    case kExitSomethingToDo: result = "something to do"; break;
    case kExitBadCommandLine: result = "command line not understood"; break;
    case kExitUserDeclined: result = "declined by the user"; break;
    case kExitAlreadyRunning: result = "another copy was running"; break;
    default: break;
  }
  return result;
}

namespace {

// The log's last line: "Result: success, exit code 0".
std::string ResultLine(int exitCode) {
  return "Result: " + ResultWords(exitCode) + ", exit code " + std::to_string(exitCode) + kLineEnd;
}

}  // namespace

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

std::string RegistrationCounts(const std::vector<RegistrationRecord>& records) {
  Tally<RegistrationStatus> tally;
  for (const auto& record : records) tally.Add(record.outcome.status, record.Who());
  // Every count, zeros included: "grep failed" across a hundred logs finds what it should.
  const std::vector<OutcomeLabel<RegistrationStatus>> labels = {
      {RegistrationStatus::Registered, "registered"},
      {RegistrationStatus::AlreadyPresent, "already present"},
      {RegistrationStatus::Incomplete, "present but incomplete"},
      {RegistrationStatus::Repaired, "repaired"},
      {RegistrationStatus::Failed, "failed"}};
  return std::to_string(records.size()) + " data sources: " + CountsText(tally, labels);
}

std::string FormatRunLog(win::SystemApi& system, const std::vector<RegistrationRecord>& records,
                         const std::string& driverState, const std::string& stoppedBy) {
  std::string log;
  for (const auto& record : records) {
    log += record.Who() + ": " + Outcome(system, record.outcome) + kLineEnd;
  }
  if (!stoppedBy.empty()) log += "Setup stopped: " + stoppedBy + kLineEnd;
  if (!driverState.empty()) log += driverState + kLineEnd;
  return log + RegistrationCounts(records) + kLineEnd;
}


std::string LogHeader(win::SystemApi& system) {
  const win::LocalDate now = system.GetLocalDate();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  const int lastArchiveYear = LastArchiveYear(now);
  const std::string years = lastArchiveYear < kFirstArchiveYear
                                ? "no archive years"
                                : "archive years " + std::to_string(kFirstArchiveYear) + "-" +
                                      std::to_string(lastArchiveYear);
  return std::string("QuilletSetup ") + app::kVersion + " on " + system.GetComputerNameW() +
         ", " + stamp + ", " + years + ", command line: " + system.GetCommandLineW() + kLineEnd;
}

std::optional<std::string> RunLog::Start(const std::string& requested) {
  requested_ = requested;
  const std::string target = LogFile::TargetFor(system_, requested);
  win::Status status = target.empty() ? win::kErrorInvalidParameter : file_.Create(target);
  if (status == win::kErrorSuccess) {
    status = file_.Append(LogHeader(system_) + "Log file: " + target + kLineEnd);
  }
  if (status == win::kErrorSuccess) {
    // Not a refusal: the folder is the administrator's choice, but whoever else may write there
    // may prepare what the log's name meets next time.
    if (const auto others = file_.OtherWriters(); !others.empty()) {
      text_ += "warning: the log's folder may also be written by " + Joined(others) +
               "; keep the log in a folder only administrators can write, such as "
               "%windir%\\Logs" + kLineEnd;
    }
    return std::nullopt;
  }
  if (file_.IsOpen()) file_.Discard();
  const std::string why = status == win::kErrorStoppedOnSymlink
                              ? "its folder, or a folder above it, is a link or junction; write "
                                "the log to a folder reached without one."
                              : system_.ErrorText(status);
  startFailure_ = "The log file " + requested + " could not be written: " + why;
  return startFailure_;
}

void RunLog::Add(const std::string& lines) { text_ += lines; }

std::optional<std::string> RunLog::Finish(int exitCode) {
  if (finished_ || !requested_) return std::nullopt;
  finished_ = true;
  if (startFailure_) return startFailure_;
  const std::string where = "The log file " + file_.Target();
  win::Status status = file_.Append(text_ + ResultLine(exitCode));
  if (status == win::kErrorSuccess) {
    status = file_.PutInPlace();
  } else {
    file_.Close();
  }
  if (status == win::kErrorSuccess) return std::nullopt;
  if (status == win::kErrorStoppedOnSymlink) {
    // Someone gave the new file another name meanwhile: what it holds is no longer ours to keep.
    const win::Status deleted = file_.Discard();
    return where + " was not written: its new file was linked elsewhere while it was written" +
           (deleted == win::kErrorSuccess
                ? ", and was deleted."
                : "; it could not be deleted (" + system_.ErrorText(deleted) + "): " +
                      file_.Current());
  }
  return where + " could not be put in place (" + system_.ErrorText(status) +
         "); the log of this run is kept as " + file_.Current();
}

}  // namespace quillet
