#include "setup/RunLog.h"

namespace quillet {
namespace {

constexpr const char* kLineEnd = "\r\n";

std::string Outcome(win::WindowsApi& windows, const MdlODBC::RegistrationOutcome& outcome) {
  switch (outcome.status) {
    case MdlODBC::RegistrationStatus::Registered:
      return "registered";
    case MdlODBC::RegistrationStatus::AlreadyPresent:
      return "already present";
    case MdlODBC::RegistrationStatus::Failed:
      break;
  }
  std::string text = "failed: " + outcome.failure;
  if (outcome.errorCode != 0) text += ": " + windows.ErrorText(outcome.errorCode);
  return text;
}

}  // namespace

std::string FormatRunLog(win::WindowsApi& windows, const std::vector<RegistrationRecord>& records,
                         const std::string& stoppedBy) {
  std::string log;
  int counts[3] = {0, 0, 0};
  for (const auto& record : records) {
    log += record.name + " (" + record.where + "): " +
           Outcome(windows, record.outcome) + kLineEnd;
    ++counts[static_cast<int>(record.outcome.status)];
  }
  if (!stoppedBy.empty()) log += "Setup stopped: " + stoppedBy + kLineEnd;
  log += std::to_string(records.size()) + " data sources: " + std::to_string(counts[0]) +
         " registered, " + std::to_string(counts[1]) + " already present, " +
         std::to_string(counts[2]) + " failed" + kLineEnd;
  return log;
}

}  // namespace quillet
