#include "setup/UninstallMode.h"

#include <exception>
#include <string>
#include <vector>

#include "setup/DataSourceSurvey.h"
#include "setup/ExitCodes.h"
#include "setup/RunLog.h"
#include "setup/Tally.h"

namespace quillet {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kTitle = "Quillet Installation";

enum class Fate { Removed, Kept, NotPresent, Failed };

struct Decision {
  SurveyedDataSource surveyed;
  Fate fate = Fate::NotPresent;
  std::string why;  // kept: how it was changed; failed: what went wrong
};

// Only a data source holding exactly what this program writes, and nothing more, may go; one
// with parts missing may go too, as long as what is there is the program's.
Decision Decide(SurveyedDataSource surveyed) {
  Decision decision{std::move(surveyed), Fate::NotPresent, {}};
  const auto& each = decision.surveyed;
  if (!each.unreadable.empty()) {
    decision.fate = Fate::Failed;
    decision.why = "could not be read: " + each.unreadable;
  } else if (each.reading.present) {
    decision.why = Customisation(each);
    decision.fate = decision.why.empty() ? Fate::Removed : Fate::Kept;
  }
  return decision;
}

std::string Line(const Decision& decision) {
  const auto& each = decision.surveyed;
  std::string line = each.Who() + ": ";
  switch (decision.fate) {
    case Fate::Removed: line += "removed"; break;
    case Fate::Kept: line += "kept: customised, " + decision.why; break;
    case Fate::NotPresent: line += "not present"; break;
    case Fate::Failed: line += "failed: " + decision.why; break;
  }
  if (each.reading.staging) line += "; its staging key removed";
  return line + kLineEnd;
}

std::string Counts(const std::vector<Decision>& decisions) {
  Tally<Fate> tally;
  for (const auto& decision : decisions) tally.Add(decision.fate, decision.surveyed.Who());
  return std::to_string(decisions.size()) + " data sources: " +
         CountsText(tally, {{Fate::Removed, "removed"},
                            {Fate::Kept, "kept"},
                            {Fate::NotPresent, "not present"},
                            {Fate::Failed, "failed"}});
}

}  // namespace

int RunUninstall(RunContext& run, const CommandLine& command) {
  win::WindowsApi& windows = run.Windows();
  std::vector<Decision> decisions;
  int removable = 0;
  try {
    for (auto& each : SurveyDataSources(run)) {
      decisions.push_back(Decide(std::move(each)));
      removable += decisions.back().fate == Fate::Removed ? 1 : 0;
    }
    const std::string question =
        "Remove the " + std::to_string(removable) + " Quillet data sources this setup registered?";
    if (!command.quiet &&
        windows.Screen().MessageBoxA(question.c_str(), kTitle,
                                     win::kMbYesNo | win::kMbIconQuestion) !=
            win::kIdYes) {
      return kExitUserDeclined;
    }
    for (auto& decision : decisions) {
      const auto& each = decision.surveyed;
      auto& registry = run.RegistryOf(*each.planned.view);
      if (each.reading.staging) registry.RemoveStaging(each.planned.spec);
      if (decision.fate != Fate::Removed) continue;
      const auto outcome = registry.Remove(each.planned.spec);
      if (outcome.status == MdlODBC::RegistrationStatus::Failed) {
        decision.fate = Fate::Failed;
        decision.why = outcome.failure + (outcome.errorCode != 0
                                              ? ": " + windows.System().ErrorText(outcome.errorCode)
                                              : std::string());
      }
    }
  } catch (const std::exception& error) {
    Decision failure;
    failure.fate = Fate::Failed;
    failure.why = error.what();
    decisions.push_back(std::move(failure));
  }
  bool failed = false;
  for (const auto& decision : decisions) failed = failed || decision.fate == Fate::Failed;
  std::string log;
  for (const auto& decision : decisions) log += Line(decision);
  const std::string counts = "Quillet " + Counts(decisions);
  log += Counts(decisions) + kLineEnd;
  int exitCode = failed ? kExitInstallFailure : kExitSuccess;
  if (command.logPath && !WriteLog(windows, *command.logPath, log)) exitCode = kExitInstallFailure;
  windows.Screen().MessageBoxA(counts.c_str(), kTitle,
                               win::kMbOk | (failed ? win::kMbIconWarning : win::kMbIconInformation));
  return exitCode;
}

}  // namespace quillet
