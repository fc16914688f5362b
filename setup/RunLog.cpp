#include "setup/RunLog.h"

#include <cstdio>

#include "platform/Application.h"
#include "setup/QuilletDataSources.h"

namespace quillet {
namespace {

using MdlODBC::RegistrationStatus;

constexpr const char* kLineEnd = "\r\n";

std::string Outcome(win::WindowsApi& windows, const MdlODBC::RegistrationOutcome& outcome) {
  switch (outcome.status) {
    case RegistrationStatus::Registered:
      return "registered";
    case RegistrationStatus::AlreadyPresent:
      return "already present";
    case RegistrationStatus::Incomplete:
      return "present but incomplete, missing " + Joined(outcome.parts);
    case RegistrationStatus::Repaired:
      return "repaired, added " + Joined(outcome.parts);
    case RegistrationStatus::Failed:
      break;
  }
  std::string text = "failed: " + outcome.failure;
  if (outcome.errorCode != 0) text += ": " + windows.ErrorText(outcome.errorCode);
  return text;
}

}  // namespace

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

std::string FormatRunLog(win::WindowsApi& windows, const std::vector<RegistrationRecord>& records,
                         const std::string& stoppedBy) {
  std::string log;
  int counts[5] = {0, 0, 0, 0, 0};
  for (const auto& record : records) {
    log += record.name + " (" + record.where + "): " + Outcome(windows, record.outcome) + kLineEnd;
    ++counts[static_cast<int>(record.outcome.status)];
  }
  if (!stoppedBy.empty()) log += "Setup stopped: " + stoppedBy + kLineEnd;
  const auto count = [&](RegistrationStatus status) {
    return std::to_string(counts[static_cast<int>(status)]);
  };
  log += std::to_string(records.size()) + " data sources: " + count(RegistrationStatus::Registered) +
         " registered, " + count(RegistrationStatus::AlreadyPresent) + " already present, ";
  // Only a run that met them counts incomplete and repaired data sources.
  if (counts[static_cast<int>(RegistrationStatus::Incomplete)] != 0) {
    log += count(RegistrationStatus::Incomplete) + " present but incomplete, ";
  }
  if (counts[static_cast<int>(RegistrationStatus::Repaired)] != 0) {
    log += count(RegistrationStatus::Repaired) + " repaired, ";
  }
  return log + count(RegistrationStatus::Failed) + " failed" + kLineEnd;
}

std::string LogHeader(win::WindowsApi& windows) {
  const win::LocalDate now = windows.GetLocalDate();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  const int lastArchiveYear = now.year - 1;
  const std::string years = lastArchiveYear < kFirstArchiveYear
                                ? "no archive years"
                                : "archive years " + std::to_string(kFirstArchiveYear) + "-" +
                                      std::to_string(lastArchiveYear);
  return std::string("QuilletSetup ") + app::kVersion + " on " + windows.GetComputerNameW() +
         ", " + stamp + ", " + years + ", command line: " + windows.GetCommandLineW() + kLineEnd;
}

bool WriteLog(win::WindowsApi& windows, const std::string& path, const std::string& contents) {
  const win::Status status = windows.WriteFileContents(path, LogHeader(windows) + contents);
  if (status == win::kErrorSuccess) return true;
  const std::string message =
      "The log file could not be written:\n" + path + "\n\n" + windows.ErrorText(status);
  windows.MessageBoxA(message.c_str(), app::kTitle, win::kMbOk | win::kMbIconWarning);
  return false;
}

}  // namespace quillet
