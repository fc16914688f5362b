#include "setup/UninstallMode.h"

#include <exception>
#include <string>
#include <vector>

#include "setup/DataSourceSurvey.h"
#include "setup/EventSource.h"
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

ReportedDataSource Reported(const Decision& decision) {
  const auto& each = decision.surveyed;
  ReportedDataSource reported{each.planned.spec.name, RunContext::ReportedView(*each.planned.view),
                              {}, {}, {}, {}};
  switch (decision.fate) {
    case Fate::Removed: reported.state = "removed"; break;
    case Fate::Kept:
      reported.state = "kept";
      reported.differs = each.differing;
      break;
    case Fate::NotPresent: reported.state = "not-present"; break;
    case Fate::Failed:
      reported.state = "failed";
      reported.reason = decision.why;
      break;
  }
  return reported;
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

namespace {

// What a removal would take away: data sources exactly as written, and staging keys.
int Removable(const std::vector<Decision>& decisions) {
  int removable = 0;
  for (const auto& decision : decisions) {
    removable += decision.removable || decision.surveyed.reading.staging ? 1 : 0;
  }
  return removable;
}

std::vector<Decision> DecideAll(RunContext& run) {
  std::vector<Decision> decisions;
  for (auto& each : SurveyDataSources(run)) decisions.push_back(Decide(std::move(each)));
  return decisions;
}

}  // namespace

int RunUninstall(RunContext& run) {
  win::WindowsApi& windows = run.Windows();
  // The question comes first, from a reading without the lock, so that no other run waits while
  // it is open; what is removed is decided again under the lock, from what is there then.
  if (run.Interactive()) {
    const int removable = Removable(DecideAll(run));
    run.CloseRegistries();
    if (removable > 0) {
      const std::string question = "Remove the " + std::to_string(removable) +
                                   " Quillet data sources this setup registered?";
      if (windows.Screen().MessageBoxA(question.c_str(), kTitle,
                                       win::kMbYesNo | win::kMbIconQuestion) != win::kIdYes) {
        run.Log().Add("The user answered No: nothing was removed." + std::string(kLineEnd));
        run.Conclude(kExitUserDeclined);
        return kExitUserDeclined;
      }
    }
  }
  if (const int refused = run.TakeLock(); refused != kExitSuccess) return refused;

  std::vector<Decision> decisions;
  std::string stoppedBy;
  try {
    decisions = DecideAll(run);
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
  const bool nothingToRemove = stoppedBy.empty() && Removable(decisions) == 0;
  bool allGone = stoppedBy.empty();
  bool failed = !stoppedBy.empty();
  std::string log;
  for (const auto& decision : decisions) {
    allGone = allGone && (decision.fate == Fate::Removed || decision.fate == Fate::NotPresent);
    failed = failed || decision.fate == Fate::Failed;
    log += Line(decision);
    run.Report().dataSources.push_back(Reported(decision));
  }
  run.Report().summary = Counts(decisions);
  // With every data source gone, the Application log's source goes too; this run's own event
  // is still written.
  if (allGone) RemoveEventSource(windows.Registry(), run.Access().viewFlag);
  if (!stoppedBy.empty()) log += "Uninstall stopped: " + stoppedBy + kLineEnd;
  if (nothingToRemove && !failed) log += std::string("Nothing to remove.") + kLineEnd;
  log += Counts(decisions) + kLineEnd;
  run.Log().Add(log);
  const int exitCode = failed ? kExitInstallFailure : kExitSuccess;
  run.Conclude(exitCode, Counts(decisions));
  if (run.Interactive()) {
    const std::string said = nothingToRemove && !failed
                                 ? "Nothing to remove: no Quillet data source is as this setup "
                                   "registered it."
                                 : "Quillet " + Counts(decisions);
    windows.Screen().MessageBoxA(said.c_str(), kTitle,
                                 win::kMbOk | (failed ? win::kMbIconWarning : win::kMbIconInformation));
  }
  return exitCode;
}

}  // namespace quillet
