#include "setup/RunLog.h"

#include <cstdio>

#include "platform/Application.h"
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
      return "present but incomplete, missing " + Joined(outcome.parts) + note;
    case RegistrationStatus::Repaired:
      return "repaired" + (outcome.parts.empty() ? "" : ", added " + Joined(outcome.parts)) + note;
    case RegistrationStatus::Failed:
      break;
  }
  std::string text = "failed: " + outcome.failure;
  if (outcome.errorCode != 0) text += ": " + system.ErrorText(outcome.errorCode);
  return text;
}

}  // namespace

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

std::string FormatRunLog(win::SystemApi& system, const std::vector<RegistrationRecord>& records,
                         const std::string& stoppedBy) {
  std::string log;
  Tally<RegistrationStatus> tally;
  for (const auto& record : records) {
    log += record.Who() + ": " + Outcome(system, record.outcome) + kLineEnd;
    tally.Add(record.outcome.status, record.Who());
  }
  if (!stoppedBy.empty()) log += "Setup stopped: " + stoppedBy + kLineEnd;
  std::vector<OutcomeLabel<RegistrationStatus>> labels = {
      {RegistrationStatus::Registered, "registered"},
      {RegistrationStatus::AlreadyPresent, "already present"}};
  // Only a run that met them counts incomplete and repaired data sources.
  if (tally.Count(RegistrationStatus::Incomplete) != 0) {
    labels.push_back({RegistrationStatus::Incomplete, "present but incomplete"});
  }
  if (tally.Count(RegistrationStatus::Repaired) != 0) {
    labels.push_back({RegistrationStatus::Repaired, "repaired"});
  }
  labels.push_back({RegistrationStatus::Failed, "failed"});
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

bool WriteLog(win::WindowsApi& windows, const std::string& path, const std::string& contents) {
  const win::Status status =
      ReplaceFileContents(windows.System(), path, LogHeader(windows.System()) + contents);
  if (status == win::kErrorSuccess) return true;
  const std::string why = status == win::kErrorStoppedOnSymlink
                              ? "Its folder is a link or junction; write the log to a folder "
                                "that is not one."
                              : windows.System().ErrorText(status);
  const std::string message = "The log file could not be written:\n" + path + "\n\n" + why;
  windows.Screen().MessageBoxA(message.c_str(), app::kTitle, win::kMbOk | win::kMbIconWarning);
  return false;
}

}  // namespace quillet
