#include "setup/RunLog.h"

#include <cstdio>

#include "platform/Application.h"
#include "setup/ExitCodes.h"
#include "setup/LogFile.h"
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
    case RegistrationStatus::Repaired:
      return "repaired" + (outcome.parts.empty() ? "" : ", added " + Joined(outcome.parts)) + note;
    case RegistrationStatus::Failed:
      break;
  }
  std::string text = "failed: " + outcome.failure;
  if (outcome.errorCode != 0) text += ": " + system.ErrorText(outcome.errorCode);
  return text;
}

// The log's last line: "Result: success, exit code 0".
std::string ResultLine(int exitCode) {
  const char* result = "failed";
  switch (exitCode) {
    case kExitSuccess: result = "success"; break;
    case kExitSomethingToDo: result = "something to do"; break;
    case kExitBadCommandLine: result = "command line not understood"; break;
    case kExitUserDeclined: result = "declined by the user"; break;
    case kExitAlreadyRunning: result = "another copy was running"; break;
    default: break;
  }
  return std::string("Result: ") + result + ", exit code " + std::to_string(exitCode) + kLineEnd;
}

}  // namespace

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

std::string FormatRunLog(win::SystemApi& system, const std::vector<RegistrationRecord>& records,
                         const std::string& driverState, const std::string& stoppedBy) {
  std::string log;
  Tally<RegistrationStatus> tally;
  for (const auto& record : records) {
    log += record.Who() + ": " + Outcome(system, record.outcome) + kLineEnd;
    tally.Add(record.outcome.status, record.Who());
  }
  if (!stoppedBy.empty()) log += "Setup stopped: " + stoppedBy + kLineEnd;
  if (!driverState.empty()) log += driverState + kLineEnd;
  // Every count, zeros included: "grep failed" across a hundred logs finds what it should.
  const std::vector<OutcomeLabel<RegistrationStatus>> labels = {
      {RegistrationStatus::Registered, "registered"},
      {RegistrationStatus::AlreadyPresent, "already present"},
      {RegistrationStatus::Incomplete, "present but incomplete"},
      {RegistrationStatus::Repaired, "repaired"},
      {RegistrationStatus::Failed, "failed"}};
  return log + std::to_string(records.size()) + " data sources: " + CountsText(tally, labels) +
         kLineEnd;
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

std::optional<std::string> WriteLog(win::WindowsApi& windows, const std::string& path,
                                    const std::string& contents, int exitCode) {
  const win::Status status = ReplaceFileContents(
      windows.System(), path, LogHeader(windows.System()) + contents + ResultLine(exitCode));
  if (status == win::kErrorSuccess) return std::nullopt;
  const std::string why = status == win::kErrorStoppedOnSymlink
                              ? "Its folder is a link or junction; write the log to a folder "
                                "that is not one."
                              : windows.System().ErrorText(status);
  const std::string message = "The log file could not be written:\n" + path + "\n\n" + why;
  windows.Screen().MessageBoxA(message.c_str(), app::kTitle, win::kMbOk | win::kMbIconWarning);
  return "The log file " + path + " could not be written: " + why;
}

}  // namespace quillet
