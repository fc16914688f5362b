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
  bool removable = false;   // exactly as this program writes it: to be removed
  Fate fate = Fate::NotPresent;
  std::string why;          // kept: how it was changed; failed: what went wrong
  std::string stagingNote;  // what became of a staging key left behind
};

// Only a data source holding exactly what this program writes, and nothing more, may go; one
// with parts missing may go too, as long as what is there is the program's. Its fate is known
// only once its removal was tried: until then it counts as not removed.
Decision Decide(SurveyedDataSource surveyed) {
  Decision decision{std::move(surveyed), false, Fate::NotPresent, {}, {}};
  const auto& each = decision.surveyed;
  if (!each.unreadable.empty()) {
    decision.fate = Fate::Failed;
    decision.why = "could not be read: " + each.unreadable;
  } else if (each.reading.present) {
    decision.why = Customisation(each);
    decision.removable = decision.why.empty();
    decision.fate = decision.removable ? Fate::Failed : Fate::Kept;
    if (decision.removable) decision.why = "not removed: the removal stopped before it";
  }
  return decision;
}

std::string Line(const Decision& decision) {
  std::string line = decision.surveyed.Who() + ": ";
  switch (decision.fate) {
    case Fate::Removed: line += "removed"; break;
    case Fate::Kept: line += "kept: customised, " + decision.why; break;
    case Fate::NotPresent: line += "not present"; break;
    case Fate::Failed: line += "failed: " + decision.why; break;
  }
  return line + decision.stagingNote + kLineEnd;
}

std::string Failed(win::SystemApi& system, const MdlODBC::RegistrationOutcome& outcome) {
  return outcome.failure +
         (outcome.errorCode != 0 ? ": " + system.ErrorText(outcome.errorCode) : std::string());
}

// Takes away the staging key and, when it may go, the data source; records what happened.
void Carry(RunContext& run, Decision& decision) {
  win::SystemApi& system = run.Windows().System();
  const auto& each = decision.surveyed;
  auto& registry = run.RegistryOf(*each.planned.view);
  std::string stagingLeft;  // why a staging key could not be removed
  if (each.reading.staging) {
    const win::Status status = registry.RemoveStaging(each.planned.spec);
    if (status == win::kErrorSuccess) {
      decision.stagingNote = "; its staging key removed";
    } else {
      stagingLeft = "its staging key could not be removed: " + system.ErrorText(status);
    }
  }
  if (decision.removable) {
    const auto outcome = registry.Remove(each.planned.spec);
    const bool removed = outcome.status != MdlODBC::RegistrationStatus::Failed;
    decision.fate = removed ? Fate::Removed : Fate::Failed;
    decision.why = removed ? "removed" : Failed(system, outcome);
  }
  if (!stagingLeft.empty()) {
    const bool removed = decision.fate == Fate::Removed;
    decision.why = (decision.why.empty() || removed ? "" : decision.why + "; ") +
                   (removed ? "removed, but " : "") + stagingLeft;
    decision.fate = Fate::Failed;
  }
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
  std::string stoppedBy;
  try {
    int removable = 0;
    for (auto& each : SurveyDataSources(run)) {
      decisions.push_back(Decide(std::move(each)));
      removable += decisions.back().removable ? 1 : 0;
    }
    const std::string question =
        "Remove the " + std::to_string(removable) + " Quillet data sources this setup registered?";
    if (!command.quiet &&
        windows.Screen().MessageBoxA(question.c_str(), kTitle,
                                     win::kMbYesNo | win::kMbIconQuestion) != win::kIdYes) {
      return kExitUserDeclined;
    }
    for (auto& decision : decisions) {
      try {
        Carry(run, decision);
      } catch (const std::exception& error) {
        decision.fate = Fate::Failed;  // this data source only; the next one is tried
        decision.why = error.what();
      }
    }
  } catch (const std::exception& error) {
    stoppedBy = error.what();
  }
  bool failed = !stoppedBy.empty();
  for (const auto& decision : decisions) failed = failed || decision.fate == Fate::Failed;
  std::string log;
  for (const auto& decision : decisions) log += Line(decision);
  if (!stoppedBy.empty()) log += "Uninstall stopped: " + stoppedBy + kLineEnd;
  const std::string counts = "Quillet " + Counts(decisions);
  log += Counts(decisions) + kLineEnd;
  int exitCode = failed ? kExitInstallFailure : kExitSuccess;
  if (command.logPath && WriteLog(windows, *command.logPath, log, exitCode)) {
    exitCode = kExitInstallFailure;
  }
  windows.Screen().MessageBoxA(counts.c_str(), kTitle,
                               win::kMbOk | (failed ? win::kMbIconWarning : win::kMbIconInformation));
  return exitCode;
}

}  // namespace quillet
